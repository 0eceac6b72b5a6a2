// Contacts and messages exported from the demo phone's data and imported into
// a fresh data folder; whole backups and restores, also while another
// process writes.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>

#include "tools/cli/tests/cli_fixture.h"

namespace {

// The fields a contact or message keeps across an export and an import.
nlohmann::json Kept(const nlohmann::json& aList, std::initializer_list<const char*> aKeys) {
  std::vector<std::string> rows;
  for (const nlohmann::json& item : aList) {
    nlohmann::json kept;
    for (const char* key : aKeys) kept[key] = item[key];
    rows.push_back(kept.dump());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

class CliExchangeTest : public CliTest {
 protected:
  // Runs in the second data folder, as on another machine.
  TChildResult FreshCli(const std::vector<std::string>& aArgs) {
    std::swap(iRoot, iFreshRoot);
    TChildResult result = Cli(aArgs);
    std::swap(iRoot, iFreshRoot);
    return result;
  }
  nlohmann::json FreshJson(const std::vector<std::string>& aArgs) {
    std::swap(iRoot, iFreshRoot);
    nlohmann::json result = CliJson(aArgs);
    std::swap(iRoot, iFreshRoot);
    return result;
  }

  TTempDir iFresh{"kv-cli-fresh"};
  std::string iFreshRoot = iFresh.Path();
};

const std::initializer_list<const char*> KContactFields = {"name", "number", "details", "store", "location", "state"};
const std::initializer_list<const char*> KMessageFields = {"folder", "name", "number", "date_sent", "text"};

}  // namespace

TEST_F(CliExchangeTest, DemoContactsAsVCardsReadByVobjectAndImportedIntoAFreshFolder) {
  StartPhone(ShippedProfile("demo"));
  ASSERT_EQ(Cli({"contacts", "download"}).iStatus, 0);
  // One added by hand, with every character a vCard has to escape.
  ASSERT_EQ(Cli({"contacts", "add", "--name", "Σοφία, \"Sofi\"; 🌸", "--number", "+306912345678", "--details",
                 "a;b,c\\d\nline two"})
                .iStatus,
            0);
  nlohmann::json contacts = CliJson({"contacts", "list"});
  ASSERT_GE(contacts.size(), 10u);

  for (const std::string version : {"3", "4"}) {
    std::string file = iRoot + "/contacts" + version + ".vcf";
    TChildResult exported = Cli({"contacts", "export", "--vcard-version", version, file});
    ASSERT_EQ(exported.iStatus, 0) << exported.iErr;
    EXPECT_EQ(LastLine(exported.iErr), "Exported " + std::to_string(contacts.size()) + " contacts.");

    // Debian's own vCard reader parses every card and finds the same names.
    TChildResult parsed = RunChild({"/usr/bin/python3", "-c",
                                    "import sys, vobject\n"
                                    "for card in vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()):\n"
                                    "    card.validate()\n"
                                    "    print(card.fn.value)\n",
                                    file});
    ASSERT_EQ(parsed.iStatus, 0) << parsed.iErr;
    std::vector<std::string> names;
    for (const nlohmann::json& c : contacts) names.push_back(c["name"]);
    std::string printed;
    for (const std::string& name : names) printed += name + "\n";
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = parsed.iOut.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(parsed.iOut.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(lines, names);

    TChildResult imported = FreshCli({"contacts", "import", file});
    ASSERT_EQ(imported.iStatus, 0) << imported.iErr;
    std::string added = std::to_string(contacts.size());
    EXPECT_EQ(imported.iOut.substr(0, imported.iOut.find('\n')),
              version == "3" ? added + " added, 0 skipped (already stored), 0 refused"
                             : "0 added, " + added + " skipped (already stored), 0 refused");
    EXPECT_EQ(Kept(FreshJson({"contacts", "list"}), KContactFields), Kept(contacts, KContactFields));
  }
}

TEST_F(CliExchangeTest, DemoMessagesAsAndroidXmlImportedOnceEvenWhenImportedTwice) {
  StartPhone(ShippedProfile("demo"));
  ASSERT_EQ(Cli({"messages", "download"}).iStatus, 0);
  nlohmann::json messages = CliJson({"messages", "list"});
  ASSERT_GE(messages.size(), 3u);
  std::string file = iRoot + "/messages.xml";
  ASSERT_EQ(Cli({"messages", "export", "--format", "xml", file}).iStatus, 0);
  EXPECT_NE(ReadFile(file).find("<smses count=\"" + std::to_string(messages.size()) + "\">"), std::string::npos);

  TChildResult first = FreshCli({"messages", "import", file});
  ASSERT_EQ(first.iStatus, 0) << first.iErr;
  EXPECT_EQ(first.iOut, std::to_string(messages.size()) + " added, 0 skipped (already stored), 0 refused\n");
  nlohmann::json second = FreshJson({"messages", "import", file});
  EXPECT_EQ(second["added"], 0);
  EXPECT_EQ(second["skipped"], messages.size());
  EXPECT_EQ(second["refused"].size(), 0u);
  EXPECT_EQ(Kept(FreshJson({"messages", "list"}), KMessageFields), Kept(messages, KMessageFields));

  // The JSON export is what 'messages list --json' prints.
  TChildResult json = Cli({"messages", "export"});
  ASSERT_EQ(json.iStatus, 0);
  EXPECT_EQ(Kept(nlohmann::json::parse(json.iOut), KMessageFields), Kept(messages, KMessageFields));
}

TEST_F(CliExchangeTest, MessagesHoldingU0000ExportedInEveryFormatImportIntoAFreshFolderTheSame) {
  const std::string nul(1, '\0');
  nlohmann::json file = nlohmann::json::array();
  file.push_back({{"folder", "inbox"}, {"name", "Eve"}, {"number", "+447700900123"},
                  {"date_sent", "2026-01-05T10:00:00Z"}, {"text", "before" + nul + "after, a \\ and \x1B[2J\nend"}});
  file.push_back({{"folder", "sent"}, {"name", ""}, {"number", "+447700900124"},
                  {"date_sent", "2026-01-06T10:00:00Z"}, {"text", "=SUM(A1)" + nul + "x"}});
  WriteFile(iRoot + "/in.json", file.dump());
  ASSERT_EQ(Cli({"messages", "import", iRoot + "/in.json"}).iStatus, 0);
  nlohmann::json messages = CliJson({"messages", "list"});
  ASSERT_EQ(messages.size(), 2u);

  for (const std::string format : {"csv", "xml", "json"}) {
    SCOPED_TRACE(format);
    const std::string path = iRoot + "/out." + format;
    ASSERT_EQ(Cli({"messages", "export", "--format", format, path}).iStatus, 0);
    std::filesystem::remove_all(iFreshRoot + "/Program Files");
    TChildResult imported = FreshCli({"messages", "import", path});
    ASSERT_EQ(imported.iStatus, 0) << imported.iErr;
    EXPECT_EQ(imported.iOut, "2 added, 0 skipped (already stored), 0 refused\n");
    EXPECT_EQ(Kept(FreshJson({"messages", "list"}), KMessageFields), Kept(messages, KMessageFields));
  }
}

TEST_F(CliExchangeTest, BackupWhileAnotherProcessWritesHoldsWhatWasWrittenUpToAMoment) {
  ASSERT_EQ(Cli({"messages", "list"}).iStatus, 0);  // the data folder exists before the writer starts
  // Another process writing one message after another, each its own change,
  // more than it can write before the test stops it: every backup below is
  // taken while it writes.
  const size_t KWrites = 100000;
  TBackgroundChild writer;
  ASSERT_TRUE(writer.Start({"/bin/sh", "-c",
                            "echo started; i=0; while [ $i -lt " + std::to_string(KWrites) + " ]; do "
                            "\"$0\" --root \"$1\" messages new --to +447700900123 --text \"Message $i\" >/dev/null || exit 1; "
                            "i=$((i + 1)); done",
                            KORVANET_CLI_BINARY, iRoot},
                           iRoot + "/writer.out", iRoot + "/writer.err", "started\n"));
  // Backups until two have caught the writer part-way at two moments (some
  // of its messages, not yet all, and not as many as the other), with one
  // generous deadline.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  std::set<size_t> caught;
  while (caught.size() < 2 && std::chrono::steady_clock::now() < deadline) {
    std::string backup = iRoot + "/during.kvbackup";
    ASSERT_EQ(Cli({"backup", backup}).iStatus, 0);
    std::filesystem::remove_all(iFreshRoot + "/Program Files");
    TChildResult restored = FreshCli({"restore", backup, "--yes"});
    ASSERT_EQ(restored.iStatus, 0) << restored.iErr;
    nlohmann::json messages = FreshJson({"messages", "list"});
    // Whatever the moment, the copy holds the messages written up to it, each whole.
    std::set<std::string> texts;
    for (const nlohmann::json& m : messages) texts.insert(m["text"].get<std::string>());
    EXPECT_EQ(texts.size(), messages.size());
    for (size_t i = 0; i < messages.size(); ++i) EXPECT_EQ(texts.count("Message " + std::to_string(i)), 1u) << i;
    if (!messages.empty() && messages.size() < KWrites) caught.insert(messages.size());
  }
  writer.Stop();
  EXPECT_EQ(caught.size(), 2u);
}
