// Conversations and search from the command line, on messages imported as
// a user's backup would bring them.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testing/files.h"
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

// Messages downloaded from the phone wait to be read: the list counts them.
TEST_F(CliConversationsTest, DownloadedMessagesCountAsUnread) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["SM"]["messages"].push_back(
      {{"index", 3}, {"status", 0}, {"from", "+441234567890"}, {"text", "And dessert?"}, {"time", "2003-01-05T10:05:00+00:00"}});
  StartPhone(profile);
  ASSERT_EQ(Cli({"messages", "download"}).iStatus, 0);
  nlohmann::json list = CliJson({"conversations", "list"});
  ASSERT_EQ(list.size(), 2u) << list.dump(2);
  EXPECT_EQ(list[0]["key"], "+441234567890");
  EXPECT_EQ(list[0]["messages"], 2);
  EXPECT_EQ(list[0]["unread"], 2);
  TChildResult plain = Cli({"conversations", "list"});
  ASSERT_EQ(plain.iStatus, 0);
  EXPECT_NE(plain.iOut.find("2 unread"), std::string::npos) << plain.iOut;
}

}  // namespace
