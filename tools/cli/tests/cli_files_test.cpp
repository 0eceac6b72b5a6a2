// Files the command line writes and reads, and the data folder it works in:
// exports whole and private, imports checked before they are read, and a
// folder that others may write refused.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tools/cli/tests/cli_fixture.h"

namespace {

class CliFilesTest : public CliTest {
 protected:
  // The command line under a shell that sets what a test needs first.
  TChildResult CliUnder(const std::string& aSetup, const std::vector<std::string>& aArgs) {
    std::vector<std::string> argv = {"/bin/sh", "-c", aSetup + "; exec \"$0\" \"$@\"", KORVANET_CLI_BINARY, "--root", iRoot};
    argv.insert(argv.end(), aArgs.begin(), aArgs.end());
    TChildOptions options;
    options.iEnvironment.emplace("KORVANET_COM3", std::nullopt);
    options.iEnvironment.emplace("KORVANET_ROOT", std::nullopt);
    return RunChild(argv, options);
  }

  unsigned Mode(const std::string& aPath) {
    struct stat info;
    EXPECT_EQ(lstat(aPath.c_str(), &info), 0) << aPath;
    return info.st_mode & 07777;
  }

  // Everything in aFolder whose name starts with aPrefix.
  int CountStartingWith(const std::string& aFolder, const std::string& aPrefix) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(aFolder))
      count += entry.path().filename().string().rfind(aPrefix, 0) == 0;
    return count;
  }
};

}  // namespace

TEST_F(CliFilesTest, ExportsArePrivateAndWholeAndAFailedOneLeavesTheEarlierFile) {
  // Some hundreds of messages: hundreds of kilobytes of export.
  nlohmann::json messages = nlohmann::json::array();
  for (int i = 0; i < 300; ++i)
    messages.push_back({{"folder", "inbox"}, {"number", "+447700900123"}, {"date_sent", "2026-01-05T10:00:00Z"},
                        {"text", "Message " + std::to_string(i) + " " + std::string(1000, 'x')}});
  WriteFile(iRoot + "/in.json", messages.dump());
  ASSERT_EQ(Cli({"messages", "import", iRoot + "/in.json"}).iStatus, 0);

  for (const std::string format : {"json", "csv", "xml"}) {
    std::string file = iRoot + "/out." + format;
    TChildResult exported = CliUnder("umask 022", {"messages", "export", "--format", format, file});
    ASSERT_EQ(exported.iStatus, 0) << exported.iErr;
    EXPECT_EQ(Mode(file), 0600u) << format;
    EXPECT_GT(ReadFile(file).size(), 300000u);

    // The file system refuses the export part-way: a file size limit of at
    // most 128 KiB, room for the store's own small files but not the export.
    WriteFile(file, "earlier");
    TChildResult failed = CliUnder("ulimit -f 128; trap '' XFSZ", {"messages", "export", "--format", format, file});
    EXPECT_EQ(failed.iStatus, 1) << format;
    EXPECT_NE(failed.iErr.find("cannot write " + file + ": File too large"), std::string::npos) << failed.iErr;
    EXPECT_EQ(ReadFile(file), "earlier") << format;
    EXPECT_EQ(CountStartingWith(iRoot, "out." + format), 1) << format;
  }
}

TEST_F(CliFilesTest, FilesToImportAreCheckedBySizeAndFirstBytesBeforeBeingRead) {
  struct TCase {
    std::vector<std::string> iCommand;
    std::string iBytes;
    long long iSize;  // made sparse: nothing is written to the disk
    std::string iError;
  };
  std::vector<TCase> cases = {
      {{"contacts", "import"}, "Name,Number\r\n", (64LL << 20) + 1,
       "it is larger than a contacts file may be (at most 64 MiB)"},
      {{"messages", "import"}, "[", (128LL << 20) + 1, "it is larger than a messages file may be (at most 128 MiB)"},
      {{"contacts", "import"}, std::string("\xFF\xFEN\0a\0m\0e\0", 10), 0, "it is not a text file (UTF-8 or Latin-1)"},
      {{"messages", "import"}, std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), 0, "it is not a text file (UTF-8 or Latin-1)"},
      {{"restore", "--yes"}, "[{\"name\": \"x\"}]", 0, "it is not a Korvanet backup"},
  };
  for (const TCase& bad : cases) {
    std::string file = iRoot + "/input";
    WriteFile(file, bad.iBytes);
    if (bad.iSize != 0) {
      ASSERT_EQ(truncate(file.c_str(), bad.iSize), 0);
    }
    std::vector<std::string> args = bad.iCommand;
    args.push_back(file);
    TChildResult result = Cli(args);
    EXPECT_EQ(result.iStatus, 1) << bad.iError;
    EXPECT_NE(result.iErr.find(file + ": " + bad.iError), std::string::npos) << result.iErr;
  }
  TChildResult folder = Cli({"contacts", "import", iRoot});
  EXPECT_EQ(folder.iStatus, 1);
  EXPECT_NE(folder.iErr.find("it is not a regular file"), std::string::npos) << folder.iErr;
  EXPECT_EQ(CliJson({"contacts", "list"}).size(), 0u);
  EXPECT_EQ(CliJson({"messages", "list"}).size(), 0u);
}

TEST_F(CliFilesTest, ADataFolderOthersMayWriteOrNoneAtAllIsRefusedWithAReason) {
  std::string shared = iDir.Path() + "/shared";
  ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(chmod(shared.c_str(), 0777), 0);
  std::swap(iRoot, shared);
  TChildResult open = Cli({"contacts", "list"});
  std::swap(iRoot, shared);
  EXPECT_EQ(open.iStatus, 1);
  EXPECT_EQ(open.iErr, "korvanet-cli: the data folder " + shared +
                           " may be written by others (mode 0777); make it private (chmod 700) or choose another\n");
  EXPECT_TRUE(std::filesystem::is_empty(shared));

  // Another user's folder, where this test may give one away.
  ASSERT_EQ(chmod(shared.c_str(), 0700), 0);
  if (chown(shared.c_str(), 65534, 65534) == 0) {
    std::swap(iRoot, shared);
    TChildResult owned = Cli({"contacts", "list"});
    std::swap(iRoot, shared);
    EXPECT_EQ(owned.iStatus, 1);
    EXPECT_NE(owned.iErr.find("the data folder " + shared + " belongs to another user (uid 65534)"), std::string::npos)
        << owned.iErr;
  }

  // No HOME and no folder named: no fallback to a shared folder.
  TChildOptions noHome;
  for (const char* name : {"HOME", "KORVANET_ROOT", "XDG_DATA_HOME", "KORVANET_COM3"}) noHome.iEnvironment.emplace(name, std::nullopt);
  TChildResult homeless = RunChild({KORVANET_CLI_BINARY, "contacts", "list"}, noHome);
  EXPECT_EQ(homeless.iStatus, 1);
  EXPECT_EQ(homeless.iErr,
            "korvanet-cli: there is no data folder: HOME is not set (set HOME or KORVANET_ROOT, or give one with --root)\n");
  TChildResult named = RunChild({KORVANET_CLI_BINARY, "--root", iRoot, "contacts", "list"}, noHome);
  EXPECT_EQ(named.iStatus, 0) << named.iErr;
}

// A store whose file cannot be read is said to be so, never listed or
// exported as empty; a backup restored over it brings it back.
TEST_F(CliFilesTest, ADamagedStoreIsSaidToBeSoAndARestoreRepairsIt) {
  ASSERT_EQ(Cli({"messages", "new", "--to", "+447700900123", "--text", "Kept"}).iStatus, 0);
  std::string backup = iDir.Path() + "/before.kvbackup";
  ASSERT_EQ(Cli({"backup", backup}).iStatus, 0);
  std::string data = iRoot + "/Program Files/Korvanet/Data";
  for (const auto& entry : std::filesystem::directory_iterator(data))
    if (entry.path().filename().string().rfind("Database", 0) == 0) std::filesystem::remove(entry.path());
  {
    std::ofstream damaged(data + "/Database", std::ios::binary);
    for (int i = 0; i < 8192; ++i) damaged.put(static_cast<char>((i * 7919) % 251));
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"messages", "list"}, {"messages", "export", "--format", "json"}, {"contacts", "list"}}) {
    TChildResult refused = Cli(args);
    EXPECT_EQ(refused.iStatus, 1) << args[0] << " " << args[1];
    EXPECT_EQ(refused.iOut, "") << args[0] << " " << args[1];
    EXPECT_NE(refused.iErr.find("store (its file is unreadable or damaged; 'restore' puts back a backup)"),
              std::string::npos)
        << refused.iErr;
  }
  TChildResult restored = Cli({"restore", backup, "--yes"});
  ASSERT_EQ(restored.iStatus, 0) << restored.iErr;
  nlohmann::json messages = CliJson({"messages", "list"});
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["text"], "Kept");
}

// Every export read by a second reader written apart from ours: Python's
// json, csv and xml.etree, and vobject for vCards.
TEST_F(CliFilesTest, EveryExportIsReadByAnIndependentReader) {
  const std::vector<std::string> texts = {
      std::string("Page\x0C" "break, \x1B[2J escape and \x01 start of heading"),
      "\"Quoted\" and 'single', semicolons; commas, <tags> & ampersands",
      "=HYPERLINK(\"http://example.com\",\"click\")",
      "+1+2\n@SUM(A1)\n-3",
      "Γεια σου 🌍 Привет 你好 مرحبا",
  };
  nlohmann::json messages = nlohmann::json::array(), contacts = nlohmann::json::array();
  for (size_t i = 0; i < texts.size(); ++i) {
    messages.push_back({{"folder", "inbox"}, {"name", "Zoë \"Z\" 王"}, {"number", "+44770090000" + std::to_string(i)},
                        {"date_sent", "2026-01-05T10:00:0" + std::to_string(i) + "Z"}, {"text", texts[i]}});
    contacts.push_back({{"name", "Contact " + std::to_string(i) + " Ωμέγα"}, {"number", "+44770090001" + std::to_string(i)},
                        {"details", texts[i]}, {"store", "phone"}});
  }
  WriteFile(iRoot + "/messages.json", messages.dump());
  WriteFile(iRoot + "/contacts.json", contacts.dump());
  ASSERT_EQ(Cli({"messages", "import", iRoot + "/messages.json"}).iStatus, 0);
  ASSERT_EQ(Cli({"contacts", "import", iRoot + "/contacts.json"}).iStatus, 0);

  const char* script =
      "import sys, json, csv, urllib.parse, xml.etree.ElementTree as ET, vobject\n"
      "kind, path = sys.argv[1], sys.argv[2]\n"
      "if kind == 'json':\n"
      "    rows = [m.get('text', m.get('details')) for m in json.load(open(path, encoding='utf-8'))]\n"
      "elif kind == 'csv':\n"
      "    with open(path, newline='', encoding='utf-8') as f:\n"
      "        rows = [r.get('Text', r.get('Details')) for r in csv.DictReader(f)]\n"
      "elif kind == 'xml':\n"
      "    rows = []\n"
      "    for sms in ET.parse(path).getroot().iter('sms'):\n"
      "        exact = sms.get('korvanet_body')\n"
      "        rows.append([sms.get('body'), urllib.parse.unquote(exact) if exact is not None else sms.get('body')])\n"
      "else:\n"
      "    rows = []\n"
      "    for card in vobject.readComponents(open(path, encoding='utf-8').read()):\n"
      "        card.validate()\n"
      "        rows.append(card.note.value)\n"
      "print(json.dumps(sorted(rows, key=json.dumps)))\n";
  auto read = [&](const std::string& aKind, const std::vector<std::string>& aExport) {
    std::string file = iRoot + "/export";
    std::vector<std::string> args = aExport;
    args.push_back(file);
    TChildResult exported = Cli(args);
    EXPECT_EQ(exported.iStatus, 0) << exported.iErr;
    TChildResult parsed = RunChild({"/usr/bin/python3", "-c", script, aKind, file});
    EXPECT_EQ(parsed.iStatus, 0) << aKind << ": " << parsed.iErr;
    return nlohmann::json::parse(parsed.iOut, nullptr, false);
  };
  auto sorted = [](nlohmann::json aRows) {
    std::sort(aRows.begin(), aRows.end(), [](const nlohmann::json& a, const nlohmann::json& b) { return a.dump() < b.dump(); });
    return aRows;
  };
  // In CSV a spreadsheet would run a cell starting so: it is written with a "'" ahead.
  nlohmann::json plain = texts, guarded = nlohmann::json::array();
  for (const std::string& text : texts)
    guarded.push_back(std::string("=+@-\t'").find(text[0]) != std::string::npos ? "'" + text : text);

  EXPECT_EQ(read("json", {"messages", "export", "--format", "json"}), sorted(plain));
  EXPECT_EQ(read("csv", {"messages", "export", "--format", "csv"}), sorted(guarded));
  EXPECT_EQ(read("json", {"contacts", "export", "--format", "json"}), sorted(plain));
  EXPECT_EQ(read("csv", {"contacts", "export", "--format", "csv"}), sorted(guarded));
  EXPECT_EQ(read("vcard", {"contacts", "export", "--format", "vcard"}), sorted(plain));

  // XML 1.0 holds no U+000C, U+001B or U+0001: other readers see their
  // pictures, and the exact text is beside them.
  nlohmann::json xml = nlohmann::json::array();
  for (const std::string& text : texts) {
    std::string shown;
    for (char c : text) shown += c == '\x0C' ? "\xE2\x90\x8C" : c == '\x1B' ? "\xE2\x90\x9B" : c == '\x01' ? "\xE2\x90\x81" : std::string(1, c);
    xml.push_back({shown, text});
  }
  EXPECT_EQ(read("xml", {"messages", "export", "--format", "xml"}), sorted(xml));

  // And every export comes back in whole: nothing new is added from any of them.
  for (const std::vector<std::string>& exported :
       {std::vector<std::string>{"messages", "json"}, {"messages", "csv"}, {"messages", "xml"}, {"contacts", "json"},
        {"contacts", "csv"}, {"contacts", "vcard"}}) {
    std::string file = iRoot + "/again." + exported[1];
    ASSERT_EQ(Cli({exported[0], "export", "--format", exported[1], file}).iStatus, 0);
    TChildResult again = Cli({"--json", exported[0], "import", file});
    ASSERT_EQ(again.iStatus, 0) << again.iErr;
    nlohmann::json summary = nlohmann::json::parse(again.iOut, nullptr, false);
    EXPECT_EQ(summary["added"], 0) << exported[0] << " " << exported[1];
    EXPECT_EQ(summary["skipped"], texts.size()) << exported[0] << " " << exported[1];
  }
}
