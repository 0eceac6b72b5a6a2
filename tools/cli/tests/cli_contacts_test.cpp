// Contacts end to end: download, local add / edit / delete, upload, and what
// the phone and the store hold afterwards.
#include <algorithm>
#include <fstream>
#include <map>
#include <optional>

#include "tools/cli/tests/cli_fixture.h"

namespace {

const nlohmann::json* FindByName(const nlohmann::json& aList, const std::string& aName) {
  for (const nlohmann::json& c : aList)
    if (c["name"] == aName) return &c;
  return nullptr;
}

// The phone's entries of one phone book, location -> "name number".
std::map<int, std::string> Entries(const nlohmann::json& aState, const std::string& aBook) {
  std::map<int, std::string> entries;
  for (const auto& e : aState["phonebooks"][aBook]["entries"])
    entries[e["location"].get<int>()] = e["name"].get<std::string>() + " " + e["number"].get<std::string>();
  return entries;
}

}  // namespace

TEST_F(CliTest, ContactsAddEditDeleteUploadAndDownloadRoundTrip) {
  StartPhone(SmallProfile());
  TChildResult download = Cli({"contacts", "download"});
  ASSERT_EQ(download.iStatus, 0) << download.iErr;
  EXPECT_EQ(LastLine(download.iErr), "Read all contacts.");

  nlohmann::json all = CliJson({"contacts", "list"});
  ASSERT_EQ(all.size(), 4u) << all.dump();
  const nlohmann::json* alice = FindByName(all, "Alice");
  ASSERT_NE(alice, nullptr);
  EXPECT_EQ((*alice)["store"], "sim");
  EXPECT_EQ((*alice)["location"], 1);
  EXPECT_EQ((*alice)["state"], "on-phone");
  nlohmann::json phone = CliJson({"contacts", "list", "--store", "phone"});
  ASSERT_EQ(phone.size(), 1u);
  EXPECT_EQ(phone[0]["name"], "Eve");
  EXPECT_EQ(CliJson({"contacts", "list", "--store", "sim"}).size(), 3u);

  // New contacts go to the SIM; the same name and number twice is refused.
  nlohmann::json zed = CliJson({"contacts", "add", "--name", "Zed", "--number", "07700900999", "--details", "a\nb"});
  EXPECT_EQ(zed["store"], "sim");
  EXPECT_EQ(zed["state"], "new");
  EXPECT_EQ(zed["location"], -1);
  EXPECT_EQ(zed["details"], "a\nb");
  TChildResult twice = Cli({"contacts", "add", "--name", "Zed", "--number", "07700900999"});
  EXPECT_EQ(twice.iStatus, 1);
  EXPECT_NE(twice.iErr.find("already exists: ID " + std::to_string(zed["id"].get<long>())), std::string::npos);

  // Renaming a contact on the phone marks it edited and hides the old copy.
  std::string bobId = std::to_string((*FindByName(all, "Bob"))["id"].get<long>());
  nlohmann::json robert = CliJson({"contacts", "edit", bobId, "--name", "Robert"});
  EXPECT_EQ(robert["state"], "edited");
  EXPECT_EQ(robert["location"], 2);
  std::string carolId = std::to_string((*FindByName(all, "Carol"))["id"].get<long>());
  EXPECT_EQ(Cli({"contacts", "delete", carolId}).iStatus, 0);
  nlohmann::json before = CliJson({"contacts", "list"});
  EXPECT_EQ(FindByName(before, "Bob"), nullptr);
  EXPECT_EQ(FindByName(before, "Carol"), nullptr);
  EXPECT_EQ(before.size(), 4u);  // Alice, Eve, Robert, Zed

  TChildResult upload = Cli({"contacts", "upload"});
  ASSERT_EQ(upload.iStatus, 0) << upload.iErr;
  EXPECT_EQ(LastLine(upload.iErr), "Upload complete.");
  // After the upload no marks are left; the new contact is not yet located.
  for (const auto& c : CliJson({"contacts", "list"})) EXPECT_NE(c["state"], "edited") << c.dump();

  // Where the upload put each entry is the engine's test; here Robert is
  // written, Carol blanked and Zed written once.
  nlohmann::json state = StopPhone();
  std::map<int, std::string> sim = Entries(state, "SM");
  EXPECT_EQ(sim[2], "Robert 01632960123");
  EXPECT_EQ(sim.count(5), 0u) << "Carol's entry is blanked";
  int zedEntries = 0;
  for (const auto& [location, entry] : sim) zedEntries += entry == "Zed 07700900999";
  EXPECT_EQ(zedEntries, 1);

  // Reading the phone book back leaves one Zed; it stays unlocated (the
  // upload wrote no location back) and the next upload recognises it on the
  // phone by name and number instead of writing it again.
  StartPhone(state);
  ASSERT_EQ(Cli({"contacts", "download"}).iStatus, 0);
  nlohmann::json after = CliJson({"contacts", "list"});
  EXPECT_EQ(after.size(), 4u) << after.dump();
  ASSERT_NE(FindByName(after, "Zed"), nullptr);
  ASSERT_EQ(Cli({"contacts", "upload"}).iStatus, 0);
  zedEntries = 0;
  for (const auto& [location, entry] : Entries(StopPhone(), "SM")) zedEntries += entry == "Zed 07700900999";
  EXPECT_EQ(zedEntries, 1);
}

// Unicode names given and printed under the C and POSIX locales;
// their way to and from a UCS2 phone is the phone layer's to test.
TEST_F(CliTest, UnicodeNamesUnderTheCLocaleAreTakenAndPrintedAsUtf8) {
  TChildOptions cLocale;
  cLocale.iEnvironment = {{"LC_ALL", "C"}, {"LANG", "C"}};
  TChildOptions posix;
  posix.iEnvironment = {{"LC_ALL", "POSIX"}, {"LANG", std::nullopt}};

  // Letters of two, three and four UTF-8 octets, right to left among them.
  const std::vector<std::string> names = {
      "\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E",  // 王小明
      "\xD9\x85\xD8\xAD\xD9\x85\xD8\xAF",    // محمد
      "Mia \xF0\x9F\x98\x80",                // Mia 😀
  };
  for (size_t i = 0; i < names.size(); ++i) {
    TChildResult add = Cli({"contacts", "add", "--name", names[i], "--number", "+4477009000" + std::to_string(i)},
                           i % 2 == 0 ? cLocale : posix);
    ASSERT_EQ(add.iStatus, 0) << add.iErr;
  }
  // Printed back as UTF-8, in columns that count a wide character twice.
  TChildResult list = Cli({"contacts", "list", "--store", "sim"}, cLocale);
  ASSERT_EQ(list.iStatus, 0) << list.iErr;
  for (const std::string& name : names) EXPECT_NE(list.iOut.find(name), std::string::npos) << name;
  size_t chinese = list.iOut.find(names[0]);
  ASSERT_NE(chinese, std::string::npos);
  EXPECT_EQ(list.iOut.substr(chinese + names[0].size(), 18), std::string(18, ' '));
  EXPECT_EQ(list.iOut.substr(chinese + names[0].size() + 18, 2), " +");

  // Bytes that are not UTF-8 are refused, not stored garbled; the count
  // includes the fixture's "--root DIR".
  TChildResult latin1 = Cli({"contacts", "add", "--name", "J\xF6rg", "--number", "1"}, cLocale);
  EXPECT_EQ(latin1.iStatus, 2);
  EXPECT_NE(latin1.iErr.find("argument 6 is not UTF-8 text"), std::string::npos) << latin1.iErr;
}

// A name from a file that holds a line break and a command after it. The
// phone must get the upload's writes and nothing else: no command of the
// file's own, and its SIM entry 1 stays as it was.
TEST_F(CliTest, ANameWithALineBreakAndACommandIsUploadedAsOneLine) {
  iPhone.EnableTranscript();
  StartPhone(SmallProfile());
  const std::string vcard = iDir.Path() + "/eve.vcf";
  WriteFile(vcard, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Eve\\nAT+CPBW=1\r\nTEL;TYPE=CELL:5550100\r\nEND:VCARD\r\n");
  const std::string csv = iDir.Path() + "/mallory.csv";
  WriteFile(csv, "Name,Number\r\n\"Mallory\r\nAT+CPBW=2\",5550101\r\n");
  for (const std::string& file : {vcard, csv}) {
    TChildResult import = Cli({"contacts", "import", file, "--store", "sim"});
    ASSERT_EQ(import.iStatus, 0) << import.iErr;
  }
  // Typed with a line break, as a script might pass it.
  ASSERT_EQ(Cli({"contacts", "add", "--name", "Zed\nAT+CPBW=2", "--number", "5550199"}).iStatus, 0);
  nlohmann::json local = CliJson({"contacts", "list"});
  EXPECT_NE(FindByName(local, "Zed AT+CPBW=2"), nullptr) << local.dump();
  EXPECT_NE(FindByName(local, "Eve AT+CPBW=1"), nullptr) << local.dump();
  EXPECT_NE(FindByName(local, "Mallory AT+CPBW=2"), nullptr) << local.dump();

  TChildResult upload = Cli({"contacts", "upload"});
  ASSERT_EQ(upload.iStatus, 0) << upload.iErr;
  EXPECT_EQ(LastLine(upload.iErr), "Upload complete.");

  nlohmann::json state = StopPhone();
  std::vector<std::string> writes;
  for (const std::string& command : iPhone.ReceivedCommands()) {
    EXPECT_EQ(command.rfind("AT", 0), 0u) << "not a command of the program's: " << command;
    if (command.find("CPBW") != std::string::npos) writes.push_back(command);
  }
  EXPECT_EQ(writes, (std::vector<std::string>{"AT+CPBW=3,\"5550100\",129,\"Eve AT+CPBW=1\"",
                                              "AT+CPBW=4,\"5550101\",129,\"Mallory AT+CPBW=2\"",
                                              "AT+CPBW=6,\"5550199\",129,\"Zed AT+CPBW=2\""}));
  std::map<int, std::string> sim = Entries(state, "SM");
  EXPECT_EQ(sim[1], "Alice +441234567890");
  EXPECT_EQ(sim[2], "Bob 01632960123");
  EXPECT_EQ(sim[3], "Eve AT+CPBW=1 5550100");
  EXPECT_EQ(sim[4], "Mallory AT+CPB 5550101");  // the phone keeps 14 characters
  EXPECT_EQ(sim[6], "Zed AT+CPBW=2 5550199");
}
