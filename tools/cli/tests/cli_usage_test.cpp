// Help, bad usage, missing records and a missing port: nothing here needs a
// phone that answers.
#include <filesystem>
#include <set>
#include <sstream>

#include "tools/cli/tests/cli_fixture.h"

namespace {

const std::vector<std::vector<std::string>> KEveryCommand = {
    {"messages", "download"}, {"messages", "delete-on-phone"}, {"messages", "list"},   {"messages", "show"},
    {"messages", "new"},      {"messages", "send"},            {"messages", "delete"}, {"send"},
    {"contacts", "download"}, {"contacts", "upload"},          {"contacts", "delete-on-phone"},
    {"contacts", "list"},     {"contacts", "add"},             {"contacts", "edit"},   {"contacts", "delete"},
    {"messages", "export"},   {"messages", "import"},          {"contacts", "export"}, {"contacts", "import"},
    {"backup"},               {"restore"},                     {"settings"},           {"listen"},
    {"ports"},                {"status"},
    {"messages", "search"},   {"conversations", "list"},       {"conversations", "show"},
    {"ussd"},                 {"gateway"}};

// The command names the tool's help lists under "Commands:".
std::set<std::string> ListedCommands(const std::string& aHelp) {
  std::set<std::string> names;
  size_t at = aHelp.find("\nCommands:\n");
  if (at == std::string::npos) return names;
  std::istringstream lines(aHelp.substr(at + 11));
  for (std::string line; std::getline(lines, line) && !line.empty();) {
    const size_t end = line.find("  ", 2);
    names.insert(line.substr(2, end == std::string::npos ? std::string::npos : end - 2));
  }
  return names;
}

}  // namespace

TEST_F(CliTest, HelpForTheToolAndEveryCommand) {
  TChildResult tool = Cli({"--help"});
  EXPECT_EQ(tool.iStatus, 0);
  // The list here is every command: none of the tool's goes unchecked.
  std::set<std::string> names;
  for (const auto& command : KEveryCommand) names.insert(command[0] + (command.size() > 1 ? " " + command[1] : ""));
  EXPECT_EQ(ListedCommands(tool.iOut), names) << tool.iOut;
  for (const auto& command : KEveryCommand) {
    std::string name = command[0] + (command.size() > 1 ? " " + command[1] : "");
    EXPECT_NE(tool.iOut.find("  " + name), std::string::npos) << name << " missing from the tool's help";
    std::vector<std::string> args = command;
    args.push_back("--help");
    TChildResult help = Cli(args);
    EXPECT_EQ(help.iStatus, 0) << name;
    EXPECT_EQ(help.iOut.rfind("Usage: korvanet-cli", 0), 0u) << name << ": " << help.iOut;
    EXPECT_NE(help.iOut.find(name), std::string::npos) << name;
  }
  TChildResult group = Cli({"contacts", "--help"});
  EXPECT_EQ(group.iStatus, 0);
  EXPECT_NE(group.iOut.find("contacts upload"), std::string::npos);
  // Help never opens the data.
  EXPECT_FALSE(std::filesystem::exists(iRoot + "/Program Files"));
}

TEST_F(CliTest, BadUsageExitsTwoNamingTheValidChoices) {
  struct TCase {
    std::vector<std::string> iArgs;
    std::string iMessage;
  };
  const TCase cases[] = {
      {{}, "commands: messages, contacts, send, backup, restore, settings, listen"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"messages"}, "'messages' needs a command"},
      {{"messages", "fetch"}, "download, delete-on-phone, list, show, new, send, delete"},
      {{"messages", "list", "--folder", "drafts"}, "all, inbox, outbox, sent"},
      {{"contacts", "export", "--format", "ldif"}, "vcard, csv, json"},
      {{"contacts", "import"}, "missing FILE"},
      {{"settings", "--smsc", "call me"}, "international format"},
      {{"messages", "show"}, "missing ID"},
      {{"messages", "show", "abc"}, "'abc' is not an identifier"},
      {{"messages", "show", "1", "2"}, "unexpected argument '2'"},
      {{"messages", "new", "--text", "hi"}, "--to NAME-OR-NUMBER is required"},
      {{"send", "--to", "+447700900123", "--text", std::string(17086, 'x')}, "at most 17085"},
      {{"send", "--to", "+447700900123", "--text", std::string(8543, '\n')}, "line breaks count two"},
      {{"contacts", "add", "--name", std::string(64, 'n'), "--number", "1"}, "at most 63"},
      {{"contacts", "edit", "3"}, "nothing to change"},
      {{"messages", "list", "--bogus"}, "unknown option '--bogus'"},
      {{"messages", "list", "--folder"}, "'--folder' needs a value"},
      {{"listen", "--exec-timeout", "0"}, "--exec-timeout"},
  };
  for (const TCase& c : cases) {
    TChildResult result = Cli(c.iArgs);
    std::string shown;
    for (const std::string& a : c.iArgs) shown += a.substr(0, 20) + " ";
    EXPECT_EQ(result.iStatus, 2) << shown << result.iErr;
    EXPECT_NE(result.iErr.find(c.iMessage), std::string::npos) << shown << result.iErr;
    EXPECT_NE(result.iErr.find("--help"), std::string::npos) << shown;
    EXPECT_TRUE(result.iOut.empty()) << shown;
  }
}

TEST_F(CliTest, MissingRecordsAndMissingPortFailWithOneLine) {
  TChildResult show = Cli({"messages", "show", "999"});
  EXPECT_EQ(show.iStatus, 1);
  EXPECT_EQ(show.iErr, "korvanet-cli: no message with ID 999\n");
  TChildResult edit = Cli({"contacts", "edit", "999", "--name", "X"});
  EXPECT_EQ(edit.iStatus, 1);
  EXPECT_EQ(edit.iErr, "korvanet-cli: no contact with ID 999\n");

  // One missing identifier among good ones: the good ones are still deleted.
  nlohmann::json added = CliJson({"contacts", "add", "--name", "Zed", "--number", "07700900999"});
  std::string id = std::to_string(added["id"].get<long>());
  TChildResult del = Cli({"contacts", "delete", "999", id});
  EXPECT_EQ(del.iStatus, 1);
  EXPECT_NE(del.iErr.find("no contact with ID 999"), std::string::npos);
  EXPECT_TRUE(CliJson({"contacts", "list"}).empty());

  // No phone linked as COM3, then a device that does not exist.
  TChildResult noPort = Cli({"messages", "download"});
  EXPECT_EQ(noPort.iStatus, 1) << noPort.iErr;
  EXPECT_EQ(LastLine(noPort.iErr), "Error initialising port");
  // Listening does not start without it.
  TChildResult listen = Cli({"listen"});
  EXPECT_EQ(listen.iStatus, 1);
  EXPECT_EQ(LastLine(listen.iErr), "Error initialising port");
  TChildResult badPort = Cli({"--port", iRoot + "/no-such-tty", "--json", "contacts", "download"});
  EXPECT_EQ(badPort.iStatus, 1);
  EXPECT_EQ(LastLine(badPort.iErr), "Error initialising port");
  nlohmann::json outcome = nlohmann::json::parse(badPort.iOut, nullptr, false);
  EXPECT_EQ(outcome["text"], "Error initialising port");
  EXPECT_NE(outcome["result"], 0);
}

TEST_F(CliTest, SettingsAreCommittedAndShown) {
  nlohmann::json fresh = CliJson({"settings"});
  EXPECT_EQ(fresh, (nlohmann::json{{"smsc", ""},
                                   {"log", "off"},
                                   {"view", "list"},
                                   {"reports", "off"},
                                   {"parts_wait", 86400},
                                   {"poll", 30},
                                   {"reset_after", 0},
                                   {"home_country", ""},
                                   {"phone_country", ""}}));
  nlohmann::json changed = CliJson({"settings", "--smsc", "+447785016005", "--view", "split", "--reports", "on",
                                    "--parts-wait", "90m", "--poll", "2m", "--reset-after", "5", "--home-country", "DE"});
  EXPECT_EQ(changed, (nlohmann::json{{"smsc", "+447785016005"},
                                     {"log", "off"},
                                     {"view", "split"},
                                     {"reports", "on"},
                                     {"parts_wait", 5400},
                                     {"poll", 120},
                                     {"reset_after", 5},
                                     {"home_country", "DE"},
                                     {"phone_country", ""}}));
  // A new process reads them back from the registry file.
  EXPECT_EQ(CliJson({"settings"}), changed);
  std::string registry = ReadFile(iRoot + "/registry.reg");
  EXPECT_NE(registry.find("447785016005"), std::string::npos);

  TChildResult logOn = Cli({"settings", "--log", "on"});
  EXPECT_EQ(logOn.iStatus, 0);
  EXPECT_NE(logOn.iOut.find("log      on"), std::string::npos);
  EXPECT_NE(logOn.iOut.find("reports  on"), std::string::npos);
  EXPECT_NE(logOn.iOut.find("parts-wait  90m"), std::string::npos);
  EXPECT_NE(logOn.iOut.find("poll     2m"), std::string::npos);
  EXPECT_NE(logOn.iOut.find("reset-after  5"), std::string::npos);
  for (const char* poll : {"0", "2d", "5x"}) EXPECT_EQ(Cli({"settings", "--poll", poll}).iStatus, 2) << poll;
  for (const char* tries : {"-1", "1001", "x", ""}) EXPECT_EQ(Cli({"settings", "--reset-after", tries}).iStatus, 2) << tries;
  EXPECT_EQ(CliJson({"settings", "--reset-after", "0"})["reset_after"], 0);
  EXPECT_NE(Cli({"settings", "--reports", "maybe"}).iStatus, 0);
  for (const char* wait : {"0", "31d", "12x", "-5m", "h"})
    EXPECT_EQ(Cli({"settings", "--parts-wait", wait}).iStatus, 2) << wait;
  for (const char* country : {"gb", "XX", "GBR", "\x1b[2J"})
    EXPECT_EQ(Cli({"settings", "--home-country", country}).iStatus, 2) << country;
  EXPECT_EQ(CliJson({"settings", "--home-country", ""})["home_country"], "");
  Cli({"messages", "list"});
  EXPECT_TRUE(std::filesystem::exists(iRoot + "/My Documents/KorvanetLog.Txt"));

  EXPECT_EQ(CliJson({"settings", "--smsc", "", "--log", "off"})["smsc"], "");
}
