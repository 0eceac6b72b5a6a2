// Texts that come from outside (a message, a name, an imported file): printed
// without driving the terminal, kept whole, and refused when no long message
// could carry them.
#include <algorithm>

#include "tools/cli/tests/cli_fixture.h"

namespace {

// Bytes that would act on a terminal: ESC, a C1 control, a right-to-left override.
bool HasControlBytes(const std::string& aText) {
  for (size_t i = 0; i < aText.size(); ++i) {
    auto c = static_cast<unsigned char>(aText[i]);
    if (c == 0x1B || c == 0x00 || c == 0x07 || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < aText.size() && static_cast<unsigned char>(aText[i + 1]) == 0x9B) return true;
    if (aText.compare(i, 3, "\xE2\x80\xAE") == 0) return true;
  }
  return false;
}

// A text of aPairs emoji (a surrogate pair each): about 66 code units fit
// a part, so 8,542 of them stay under the character limit and need 259 parts.
std::string Emoji(size_t aPairs) {
  std::string text;
  for (size_t i = 0; i < aPairs; ++i) text += "\xF0\x9F\x98\x80";
  return text;
}

}  // namespace

TEST_F(CliTest, OutsideTextsArePrintedEscapedAndKeptWholeInJson) {
  // ESC sequences that would clear the screen and retitle the window, a
  // C1 CSI, a bell, a right-to-left override, and a U+0000 in the middle.
  const std::string hostile = std::string("Hi\x1B[2J\x1B]0;owned\x07 \xC2\x9B" "31m \xE2\x80\xAE" "txt.exe\n") +
                              std::string(1, '\0') + "tail";
  nlohmann::json file = nlohmann::json::array();
  file.push_back({{"folder", "inbox"},
                  {"name", "Eve\x1B[8m"},
                  {"number", "+447700900123"},
                  {"date_sent", "2026-01-05T10:00:00Z"},
                  {"text", hostile}});
  const std::string path = iDir.Path() + "/hostile.json";
  WriteFile(path, file.dump());
  TChildResult imported = Cli({"messages", "import", path});
  ASSERT_EQ(imported.iStatus, 0) << imported.iErr;
  // A name is made one line when it is stored; what may reorder a line stays, and is escaped when printed.
  ASSERT_EQ(Cli({"contacts", "add", "--name", "Mallory\x1B[1;1H\u202Egpj.exe", "--number", "+447700900999"}).iStatus,
            0);

  TChildResult list = Cli({"messages", "list"});
  ASSERT_EQ(list.iStatus, 0) << list.iErr;
  EXPECT_FALSE(HasControlBytes(list.iOut)) << list.iOut;
  EXPECT_NE(list.iOut.find("Eve\\x1B[8m"), std::string::npos) << list.iOut;
  EXPECT_NE(list.iOut.find("Hi\\x1B[2J\\x1B]0;owned\\x07 \\u009B31m \\u202Etxt.exe \\x00tail"), std::string::npos)
      << list.iOut;

  nlohmann::json listed = CliJson({"messages", "list"});
  ASSERT_EQ(listed.size(), 1u);
  // The whole text, U+0000 and what follows it included, read back from the store.
  EXPECT_EQ(listed[0]["text"], hostile);
  TChildResult json = Cli({"--json", "messages", "list"});
  // JSON escapes C0 itself; C1 and the reordering characters are escaped too.
  EXPECT_FALSE(HasControlBytes(json.iOut)) << json.iOut;
  EXPECT_NE(json.iOut.find("\\u001b[2J"), std::string::npos) << json.iOut;
  EXPECT_NE(json.iOut.find("\\u009B31m \\u202Etxt.exe"), std::string::npos) << json.iOut;
  EXPECT_NE(json.iOut.find("\\u0000tail"), std::string::npos) << json.iOut;

  const std::string id = std::to_string(listed[0]["id"].get<unsigned long>());
  TChildResult show = Cli({"messages", "show", id});
  ASSERT_EQ(show.iStatus, 0) << show.iErr;
  EXPECT_FALSE(HasControlBytes(show.iOut)) << show.iOut;
  EXPECT_NE(show.iOut.find("Name:   Eve\\x1B[8m\n"), std::string::npos) << show.iOut;
  // The reader keeps the text's own line breaks.
  EXPECT_NE(show.iOut.find("\\u202Etxt.exe\n\\x00tail\n"), std::string::npos) << show.iOut;

  TChildResult contacts = Cli({"contacts", "list"});
  ASSERT_EQ(contacts.iStatus, 0) << contacts.iErr;
  EXPECT_FALSE(HasControlBytes(contacts.iOut)) << contacts.iOut;
  EXPECT_NE(contacts.iOut.find("Mallory [1;1H\\u202Egpj.exe"), std::string::npos) << contacts.iOut;
}

TEST_F(CliTest, ExportsShownOnATerminalAreEscapedAndThroughAPipeAreTheFileItself) {
  const std::string title = "\x1B]0;owned\x07";  // retitles the terminal's window
  const std::string reversed = "\xE2\x80\xAE" "gpj.exe";  // a right-to-left override
  nlohmann::json messages = nlohmann::json::array();
  messages.push_back({{"folder", "inbox"},
                      {"name", "Eve" + title},
                      {"number", "+447700900123"},
                      {"date_sent", "2026-01-05T10:00:00Z"},
                      {"text", "Hi " + title + " " + reversed + "\nsecond line"}});
  WriteFile(iDir.Path() + "/messages.json", messages.dump());
  ASSERT_EQ(Cli({"messages", "import", iDir.Path() + "/messages.json"}).iStatus, 0);
  nlohmann::json contacts = nlohmann::json::array();
  contacts.push_back({{"name", "Mallory " + reversed}, {"number", "+447700900999"}, {"details", "note " + title}});
  WriteFile(iDir.Path() + "/contacts.json", contacts.dump());
  ASSERT_EQ(Cli({"contacts", "import", iDir.Path() + "/contacts.json"}).iStatus, 0);

  struct TExport {
    std::vector<std::string> iArgs;
    const char* iFile;
    // How the title sequence looks on the terminal: XML carries it as
    // pictures, vCard with its ';' escaped.
    std::string iTitleShown;
  };
  const TExport exports[] = {
      {{"messages", "export", "--format", "csv"}, "m.csv", "\\x1B]0;owned\\x07"},
      {{"messages", "export", "--format", "json"}, "m.json", "\\u001b]0;owned\\u0007"},
      {{"messages", "export", "--format", "xml"}, "m.xml", "\xE2\x90\x9B]0;owned\xE2\x90\x87"},
      {{"contacts", "export", "--format", "vcard"}, "c.vcf", "\\x1B]0\\;owned\\x07"},
      {{"contacts", "export", "--format", "csv"}, "c.csv", "\\x1B]0;owned\\x07"},
      {{"contacts", "export", "--format", "json"}, "c.json", "\\u001b]0;owned\\u0007"},
  };
  for (const TExport& e : exports) {
    SCOPED_TRACE(e.iFile);
    std::vector<std::string> toFile = e.iArgs;
    toFile.push_back(iDir.Path() + "/" + e.iFile);
    ASSERT_EQ(Cli(toFile).iStatus, 0);
    const std::string file = ReadFile(iDir.Path() + "/" + e.iFile);

    // A pipe gets the file, byte for byte.
    TChildResult piped = Cli(e.iArgs);
    ASSERT_EQ(piped.iStatus, 0) << piped.iErr;
    EXPECT_EQ(piped.iOut, file);

    TChildResult shown = CliOnTerminal(e.iArgs);
    ASSERT_EQ(shown.iStatus, 0) << shown.iErr;
    EXPECT_FALSE(HasControlBytes(shown.iOut)) << shown.iOut;
    EXPECT_EQ(shown.iOut.find('\r'), std::string::npos) << "lines end in a line feed only";
    EXPECT_NE(shown.iOut.find(e.iTitleShown), std::string::npos) << shown.iOut;
    EXPECT_NE(shown.iOut.find("\\u202Egpj.exe"), std::string::npos) << shown.iOut;
    EXPECT_EQ(std::count(shown.iOut.begin(), shown.iOut.end(), '\n'), std::count(file.begin(), file.end(), '\n'));
    // JSON stays JSON with the same values.
    if (e.iTitleShown[1] == 'u') {
      EXPECT_EQ(nlohmann::json::parse(shown.iOut), nlohmann::json::parse(file));
    }
  }
}

TEST_F(CliTest, TextsAboveTheLongestLongMessageAreRefusedOnEveryPathBeforeAnythingIsSent) {
  // 46,000 GSM characters: 301 parts, whose count an octet would have made 45.
  const std::string longText(46000, 'a');
  const std::string refusal = "the text needs 301 messages; a long message has at most 255";

  // Imports, in each of the three formats: the record is refused with its reason.
  nlohmann::json json = nlohmann::json::array();
  json.push_back({{"folder", "outbox"}, {"number", "+447700900123"}, {"date_sent", "2026-01-05T10:00:00Z"},
                  {"text", longText}});
  json.push_back({{"folder", "outbox"}, {"number", "+447700900123"}, {"date_sent", "2026-01-05T10:00:00Z"},
                  {"text", std::string(255 * 153, 'b')}});  // exactly 255 parts: taken
  WriteFile(iDir.Path() + "/long.json", json.dump());
  WriteFile(iDir.Path() + "/long.csv", "Folder,Number,Date,Text\noutbox,+447700900123,2026-01-05T10:00:00Z," + longText + "\n");
  WriteFile(iDir.Path() + "/long.xml", "<?xml version='1.0' encoding='UTF-8'?>\n<smses count=\"1\">\n"
                                       "  <sms address=\"+447700900123\" date=\"1767607200000\" type=\"4\" body=\"" +
                                           longText + "\" />\n</smses>\n");
  for (const char* name : {"long.json", "long.csv", "long.xml"}) {
    TChildResult imported = Cli({"--json", "messages", "import", iDir.Path() + "/" + name});
    ASSERT_EQ(imported.iStatus, 0) << name << imported.iErr;
    nlohmann::json summary = nlohmann::json::parse(imported.iOut);
    ASSERT_EQ(summary["refused"].size(), 1u) << name << imported.iOut;
    EXPECT_NE(summary["refused"][0].get<std::string>().find(refusal), std::string::npos) << summary;
  }
  nlohmann::json stored = CliJson({"messages", "list"});
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0]["text"].get<std::string>().size(), 255u * 153u);

  // Typed: under the character limit, yet 259 parts as surrogate pairs fill them.
  StartPhone(SmallProfile(), {"--transcript", iRoot + "/transcript.jsonl"});
  ASSERT_EQ(Cli({"settings", "--smsc", "+447785016005"}).iStatus, 0);
  for (std::string command : {"messages new", "send"}) {
    std::vector<std::string> args = {command.substr(0, command.find(' '))};
    if (command == "messages new") args.push_back("new");
    args.insert(args.end(), {"--to", "+447700900123", "--text", Emoji(8542)});
    TChildResult refused = Cli(args);
    EXPECT_EQ(refused.iStatus, 1) << command;
    EXPECT_NE(refused.iErr.find("the text needs 259 messages; a long message has at most 255"), std::string::npos)
        << command << ": " << refused.iErr;
  }
  nlohmann::json state = StopPhone();
  EXPECT_EQ(state["sms"]["sent"].size(), 0u);
  EXPECT_EQ(ReadFile(iRoot + "/transcript.jsonl").find("AT+CMGS"), std::string::npos);
  EXPECT_EQ(CliJson({"messages", "list"}).size(), 1u) << "nothing stored either";
}
