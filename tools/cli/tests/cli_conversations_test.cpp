// Conversations and search from the command line, on messages imported as
// a user's backup would bring them.
#include <fcntl.h>
#include <pty.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testing/files.h"
#include "testing/log_file.h"
#include "testing/phonesim_process.h"
#include "tools/cli/tests/cli_fixture.h"

namespace {

nlohmann::json Received(const std::string& aNumber, const std::string& aText, const std::string& aDate) {
  return {{"folder", "inbox"}, {"name", ""}, {"number", aNumber}, {"text", aText}, {"date_sent", aDate}};
}

class CliConversationsTest : public CliTest {
 protected:
  void Import(const nlohmann::json& aMessages) {
    const std::string file = iDir.Path() + "/messages.json";
    WriteFile(file, aMessages.dump());
    TChildResult imported = Cli({"messages", "import", file});
    ASSERT_EQ(imported.iStatus, 0) << imported.iErr;
  }
  // A phone whose SIM (aImsi) holds one message from aFrom, written as the
  // sender's phone wrote it.
  static nlohmann::json PhoneWith(const std::string& aImsi, const std::string& aCentre, const std::string& aFrom) {
    nlohmann::json profile = SmallProfile();
    profile["identity"]["imsi"] = aImsi;
    profile["sms"]["smsc"] = aCentre;
    // Unread on the phone, so that it counts as unread once downloaded.
    profile["sms"]["stores"]["SM"]["messages"] = nlohmann::json::array(
        {{{"index", 1}, {"status", 0}, {"from", aFrom}, {"text", "from the phone"}, {"time", "2024-05-01T10:00:00+00:00"}}});
    return profile;
  }
  // The conversations' keys once the phone's messages are in.
  std::vector<std::string> KeysAfterDownload(const nlohmann::json& aProfile) {
    StartPhone(aProfile);
    TChildResult download = Cli({"messages", "download"});
    EXPECT_EQ(download.iStatus, 0) << download.iErr;
    StopPhone();
    std::vector<std::string> keys;
    for (const nlohmann::json& conversation : CliJson({"conversations", "list"})) keys.push_back(conversation["key"]);
    return keys;
  }
  int CountLogged(const std::string& aMessage) const {
    int count = 0;
    for (const std::string& message : LogMessages(iRoot)) count += message == aMessage;
    return count;
  }
  std::vector<std::string> FoundTexts(const std::vector<std::string>& aArgs) {
    std::vector<std::string> texts;
    for (const nlohmann::json& message : CliJson(aArgs)) texts.push_back(message["text"]);
    return texts;
  }
};

TEST_F(CliConversationsTest, OneConversationHoweverTheNumberWasWrittenAndAnAlphanumericSenderItsOwn) {
  ASSERT_EQ(Cli({"settings", "--home-country", "GB"}).iStatus, 0);
  Import(nlohmann::json::array({Received("07700 900123", "national", "2024-05-01T10:00:00Z"),
                                Received("+44 7700 900123", "international", "2024-05-01T11:00:00Z"),
                                Received("MyBank", "Your code is 1234", "2024-05-01T12:00:00Z"),
                                Received("0044 7700900123", "double zero", "2024-05-01T09:00:00Z")}));
  ASSERT_EQ(Cli({"contacts", "add", "--name", "Anna Müller", "--number", "+447700900123"}).iStatus, 0);

  nlohmann::json list = CliJson({"conversations", "list"});
  ASSERT_EQ(list.size(), 2u) << list.dump(2);
  EXPECT_EQ(list[0]["title"], "Anna Müller") << "the last stored first, titled with the contact";
  EXPECT_EQ(list[0]["key"], "+447700900123");
  EXPECT_EQ(list[0]["messages"], 3);
  EXPECT_EQ(list[0]["last"]["text"], "double zero");
  EXPECT_EQ(list[1]["title"], "MyBank");
  EXPECT_EQ(list[1]["messages"], 1);
  EXPECT_EQ(list[0]["unread"], 0) << "a backup brought in is not news";

  // Oldest first, by the contact's name or by any form of the number.
  const std::vector<std::string> inOrder = {"double zero", "national", "international"};
  for (const char* party : {"Anna Müller", "07700 900123", "+447700900123", "0044 7700 900 123"}) {
    nlohmann::json shown = CliJson({"conversations", "show", party});
    std::vector<std::string> texts;
    for (const nlohmann::json& message : shown["messages"]) texts.push_back(message["text"]);
    EXPECT_EQ(texts, inOrder) << party;
  }
  EXPECT_EQ(CliJson({"conversations", "show", "mybank"})["messages"].size(), 1u);

  TChildResult plain = Cli({"conversations", "show", "Anna Müller"});
  ASSERT_EQ(plain.iStatus, 0);
  EXPECT_EQ(plain.iOut.rfind("Anna Müller\n", 0), 0u) << plain.iOut;
  EXPECT_NE(plain.iOut.find("received\ndouble zero\n"), std::string::npos) << plain.iOut;

  TChildResult none = Cli({"conversations", "show", "+15551234567"});
  EXPECT_EQ(none.iStatus, 1);
  EXPECT_NE(none.iErr.find("no conversation with +15551234567"), std::string::npos) << none.iErr;
  EXPECT_EQ(Cli({"conversations", "show", std::string(300, '1')}).iStatus, 2) << "too long";
  EXPECT_EQ(Cli({"conversations", "show", "  "}).iStatus, 2) << "blank";
}

TEST_F(CliConversationsTest, SearchFindsWordsInEveryScriptWithoutTheirAccents) {
  Import(nlohmann::json::array({Received("+79161234567", "Привет! Встречаемся завтра", "2024-05-01T10:00:00Z"),
                                Received("+33612345678", "Le café est fermé à l'école", "2024-05-01T10:01:00Z"),
                                Received("+8613812345678", "我们明天去北京吃烤鸭", "2024-05-01T10:02:00Z"),
                                Received("+447700900124", "Meet me at the Station tonight", "2024-05-01T10:03:00Z"),
                                Received("+4915112345678", "Viele Grüße aus der Straße", "2024-05-01T10:04:00Z")}));

  EXPECT_EQ(FoundTexts({"messages", "search", "ВСТРЕЧАЕМСЯ"}), std::vector<std::string>{"Привет! Встречаемся завтра"});
  EXPECT_EQ(FoundTexts({"messages", "search", "ecole"}), std::vector<std::string>{"Le café est fermé à l'école"});
  EXPECT_EQ(FoundTexts({"messages", "search", "北京"}), std::vector<std::string>{"我们明天去北京吃烤鸭"});
  EXPECT_EQ(FoundTexts({"messages", "search", "station"}), std::vector<std::string>{"Meet me at the Station tonight"});
  EXPECT_EQ(FoundTexts({"messages", "search", "strasse"}), std::vector<std::string>{"Viele Grüße aus der Straße"});
  EXPECT_EQ(FoundTexts({"messages", "search", "7700900124"}), std::vector<std::string>{"Meet me at the Station tonight"});
  EXPECT_TRUE(FoundTexts({"messages", "search", "nowhere"}).empty());
  EXPECT_TRUE(FoundTexts({"messages", "search", "station", "--folder", "sent"}).empty());
  EXPECT_EQ(FoundTexts({"messages", "search", "station", "--folder", "inbox"}).size(), 1u);

  // The text around the match, on one line.
  nlohmann::json found = CliJson({"messages", "search", "tonight"});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]["match"], "\u2026t me at the Station tonight") << "twenty characters before the match";
  TChildResult plain = Cli({"messages", "search", "fermé"});
  ASSERT_EQ(plain.iStatus, 0);
  EXPECT_NE(plain.iOut.find("Le café est fermé à l'école"), std::string::npos) << plain.iOut;

  EXPECT_EQ(Cli({"messages", "search", std::string(257, 'a')}).iStatus, 2);
  EXPECT_EQ(Cli({"messages", "search", " "}).iStatus, 2);
  EXPECT_EQ(Cli({"messages", "search", "x", "--folder", "drafts"}).iStatus, 2);
}

// Messages downloaded from the phone wait to be read, unless the user read
// them on the phone already: the list counts them.
TEST_F(CliConversationsTest, DownloadedMessagesNotReadOnThePhoneCountAsUnread) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["SM"]["messages"].push_back(
      {{"index", 3}, {"status", 0}, {"from", "+441234567890"}, {"text", "And dessert?"}, {"time", "2003-01-05T10:05:00+00:00"}});
  StartPhone(profile);
  ASSERT_EQ(Cli({"messages", "download"}).iStatus, 0);
  nlohmann::json list = CliJson({"conversations", "list"});
  ASSERT_EQ(list.size(), 2u) << list.dump(2);
  EXPECT_EQ(list[0]["key"], "+441234567890");
  EXPECT_EQ(list[0]["messages"], 2);
  EXPECT_EQ(list[0]["unread"], 1) << "\"Lunch at one?\" was read on the phone";
  TChildResult plain = Cli({"conversations", "list"});
  ASSERT_EQ(plain.iStatus, 0);
  EXPECT_NE(plain.iOut.find("1 unread"), std::string::npos) << plain.iOut;
}

TEST_F(CliConversationsTest, TheHomeCountryComesFromTheSimAndIsKeptForKeyingWithoutThePhone) {
  ASSERT_EQ(Cli({"settings", "--log", "on", "--home-country", "FR"}).iStatus, 0);
  // A German service centre and a French setting: the SIM's country wins.
  const nlohmann::json phone = PhoneWith("234150123456789", "+491710760000", "07700900123");
  EXPECT_EQ(KeysAfterDownload(phone), std::vector<std::string>{"+447700900123"});
  EXPECT_EQ(KeysAfterDownload(phone), std::vector<std::string>{"+447700900123"}) << "connected again";
  EXPECT_EQ(CountLogged("CKvHomeCountry - Home country GB, from the SIM"), 1) << "logged once, when it changed";
  EXPECT_EQ(CliJson({"settings"})["phone_country"], "GB");
  EXPECT_EQ(CliJson({"settings"})["home_country"], "FR") << "the setting stays as the user set it";
  for (const std::string& message : LogMessages(iRoot))
    EXPECT_EQ(message.find("234150123456789"), std::string::npos) << "the subscriber in the log: " << message;

  // Keyed with no phone, by what the phone told.
  Import(nlohmann::json::array({Received("07700 900123", "imported", "2024-05-02T10:00:00Z")}));
  nlohmann::json list = CliJson({"conversations", "list"});
  ASSERT_EQ(list.size(), 1u) << list.dump(2);
  EXPECT_EQ(list[0]["messages"], 1 + 1);
}

// Messages and a contact kept before any phone told its country, with no
// setting, keyed by the numbers as written: the first connect to a phone
// whose SIM is British puts them with the messages it brings.
TEST_F(CliConversationsTest, MessagesStoredBeforeTheFirstConnectJoinTheConversationsOfThoseAfter) {
  ASSERT_EQ(Cli({"settings", "--log", "on"}).iStatus, 0);
  Import(nlohmann::json::array({Received("07700 900123", "before the phone", "2024-04-30T10:00:00Z"),
                                Received("MyBank", "code 1234", "2024-04-30T11:00:00Z")}));
  ASSERT_EQ(Cli({"contacts", "add", "--name", "Anna", "--number", "07700900123"}).iStatus, 0);
  ASSERT_EQ(CliJson({"conversations", "list"}).size(), 2u);

  std::vector<std::string> keys = KeysAfterDownload(PhoneWith("234150123456789", "", "+447700900123"));
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"+447700900123", "~mybank"}));
  nlohmann::json list = CliJson({"conversations", "list"});
  ASSERT_EQ(list.size(), 2u) << list.dump(2);
  EXPECT_EQ(list[0]["key"], "+447700900123");
  EXPECT_EQ(list[0]["title"], "Anna") << "the contact found by the new key";
  EXPECT_EQ(list[0]["messages"], 2);
  EXPECT_EQ(list[0]["unread"], 1) << "the phone's message";
  const nlohmann::json shown = CliJson({"conversations", "show", "Anna"});
  std::vector<std::string> texts;
  for (const nlohmann::json& message : shown["messages"]) texts.push_back(message["text"]);
  EXPECT_EQ(texts, (std::vector<std::string>{"before the phone", "from the phone"}));

  // Keyed again by the connect itself, before its download, and once.
  const std::vector<std::string> log = LogMessages(iRoot);
  const auto rekeyed = std::find(log.begin(), log.end(), "CKveMessagesDatabase - Conversations keyed again for GB, 1 records changed");
  const auto told = std::find(log.begin(), log.end(), "CKvHomeCountry - Home country GB, from the SIM");
  ASSERT_NE(rekeyed, log.end());
  EXPECT_LT(told, rekeyed);
  EXPECT_EQ(CountLogged("CKveContactsDatabase - Contacts keyed again for GB, 1 contacts changed"), 1);
  EXPECT_NE(std::find(rekeyed, log.end(), "StoreSmsInDatabaseL"), log.end())
      << "the phone's message is stored after the keys are made again";
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& aLine) {
              return aLine.rfind("CKveMessagesDatabase - Conversations keyed again", 0) == 0;
            }), 1);
}

TEST_F(CliConversationsTest, APhoneRefusingCimiGivesItsServiceCentresCountryElseTheSettingStands) {
  ASSERT_EQ(Cli({"settings", "--log", "on", "--home-country", "FR"}).iStatus, 0);
  nlohmann::json refusing = PhoneWith("234150123456789", "", "0612345678");
  refusing["quirks"]["refuse"] = {"AT+CIMI"};
  // No service centre either: the setting.
  EXPECT_EQ(KeysAfterDownload(refusing), std::vector<std::string>{"+33612345678"});
  EXPECT_EQ(CountLogged("CKvHomeCountry - Home country FR, from the SIM"), 0);

  // The phone's service centre is German: its national numbers are read as
  // German, the one stored before too.
  refusing["sms"]["smsc"] = "+491710760000";
  refusing["sms"]["stores"]["SM"]["messages"][0]["from"] = "015112345678";
  std::vector<std::string> keys = KeysAfterDownload(refusing);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"+4915112345678", "+49612345678"}));
  EXPECT_EQ(CountLogged("CKveMessagesDatabase - Conversations keyed again for DE, 1 records changed"), 1);
  EXPECT_EQ(CountLogged("CKvHomeCountry - Home country DE, from the service centre number"), 1);
  for (const std::string& message : LogMessages(iRoot))
    EXPECT_EQ(message.find("234150123456789"), std::string::npos) << message;
}

// The command line with its standard error on a pseudo-terminal, as at a
// user's terminal; what it wrote there.
std::string TerminalErrors(const std::vector<std::string>& aArgs) {
  int terminal = -1, side = -1;
  if (openpty(&terminal, &side, nullptr, nullptr, nullptr) != 0) return "openpty failed";
  std::vector<std::string> args = {KORVANET_CLI_BINARY};
  args.insert(args.end(), aArgs.begin(), aArgs.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int nothing = open("/dev/null", O_RDWR);
    dup2(nothing, STDIN_FILENO);
    dup2(nothing, STDOUT_FILENO);
    dup2(side, STDERR_FILENO);
    close(terminal);
    unsetenv("KORVANET_COM3");
    unsetenv("KORVANET_ROOT");
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(side);
  std::string written;
  char buffer[4096];
  for (;;) {
    // Ends with EIO once the child's side is closed.
    const ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got > 0)
      written.append(buffer, static_cast<size_t>(got));
    else if (got < 0 && errno == EINTR)
      continue;
    else
      break;
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(terminal);
  return written;
}

// Back to the volume an earlier version left: the same records, without the
// tables of the indexes, of the first format.
bool MakeEarlierVolume(const std::string& aRoot) {
  sqlite3* db = nullptr;
  const std::string path = aRoot + "/Program Files/Korvanet/Data/Database";
  bool made = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
              sqlite3_exec(db,
                           "DROP TABLE fulltext; DROP TABLE textindexes; DROP TABLE indexedvalues;"
                           "DROP TABLE valueindexes; PRAGMA user_version=1;",
                           nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return made;
}

TEST_F(CliConversationsTest, TheFirstOpenOfAnEarlierVersionsStoreShowsItsProgressOnATerminal) {
  nlohmann::json messages = nlohmann::json::array();
  for (int i = 0; i < 2500; ++i)
    messages.push_back(Received("+4477009" + std::to_string(10000 + i % 40), "message " + std::to_string(i),
                                "2024-05-01T10:00:00Z"));
  Import(messages);
  ASSERT_TRUE(MakeEarlierVolume(iRoot));
  const std::string shown = TerminalErrors({"--root", iRoot, "conversations", "list"});
  for (const char* line : {"\r\033[KUpgrading the messages store: Indexing conversations 1000 of 2500",
                           "\r\033[KUpgrading the messages store: Indexing conversations 2000 of 2500",
                           "\r\033[KUpgrading the messages store: Indexing for search 2000 of 2500",
                           "\r\033[KMessages store upgraded.\r\n"})
    EXPECT_NE(shown.find(line), std::string::npos) << line << " not in: " << shown;
  EXPECT_EQ(CliJson({"conversations", "list"}).size(), 40u) << "every conversation kept";
  EXPECT_EQ(CliJson({"messages", "search", "message 2499"}).size(), 1u);

  // Opened again there is nothing to show; not on a terminal, nothing either.
  EXPECT_EQ(TerminalErrors({"--root", iRoot, "conversations", "list"}).find("Upgrading"), std::string::npos);
  ASSERT_TRUE(MakeEarlierVolume(iRoot));
  TChildResult quiet = Cli({"conversations", "list"});
  EXPECT_EQ(quiet.iStatus, 0);
  EXPECT_EQ(quiet.iErr.find("Upgrading"), std::string::npos) << quiet.iErr;
}

}  // namespace
