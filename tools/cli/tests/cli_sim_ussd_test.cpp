// The SIM's PIN from a private file, and USSD codes with their menus, through
// korvanet-cli against phonesim.
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "tools/cli/tests/cli_fixture.h"

namespace {

class SimUssdTest : public CliTest {
 protected:
  std::string PinFile(const std::string& aContent, mode_t aMode = 0600) {
    std::string path = iDir.Path() + "/pin-" + std::to_string(++iFiles);
    std::ofstream(path) << aContent;
    chmod(path.c_str(), aMode);
    return path;
  }
  int CountCommands(const std::string& aPrefix) const {
    std::vector<std::string> commands = iPhone.ReceivedCommands();
    return static_cast<int>(
        std::count_if(commands.begin(), commands.end(), [&](const std::string& c) { return c.rfind(aPrefix, 0) == 0; }));
  }
  int iFiles = 0;
};

nlohmann::json LockedSim() {
  nlohmann::json profile = ShippedProfile("generic");
  profile["sim"] = {{"state", "SIM PIN"}, {"pin", "2468"}};
  return profile;
}

TEST_F(SimUssdTest, AWrongPinFromTheFileFailsWithTheAttemptsLeftAndIsSentOnce) {
  iPhone.EnableTranscript();
  StartPhone(LockedSim());
  std::string wrong = PinFile("1357\n");
  TChildResult first = Cli({"--pin-file", wrong, "messages", "download"});
  EXPECT_EQ(first.iStatus, 1);
  EXPECT_EQ(LastLine(first.iErr), "The SIM refused the PIN: 2 attempts left");
  EXPECT_EQ(CountCommands("AT+CPIN="), 1);
  EXPECT_EQ(first.iErr.find("1357"), std::string::npos);
  EXPECT_EQ(CountCommands("AT+CMGL"), 0);  // nothing else was sent

  // The right one, from the variable: the download goes on.
  TChildOptions options;
  options.iEnvironment["KORVANET_PIN_FILE"] = PinFile("2468");
  TChildResult second = Cli({"messages", "download"}, options);
  EXPECT_EQ(second.iStatus, 0) << second.iErr;
  EXPECT_EQ(CountCommands("AT+CPIN="), 2);
  EXPECT_GE(CountCommands("AT+CMGL"), 1);
}

TEST_F(SimUssdTest, NoPinAPukAndPinFilesThatAreRefused) {
  iPhone.EnableTranscript();
  StartPhone(LockedSim());
  TChildOptions noVariable;
  noVariable.iEnvironment["KORVANET_PIN_FILE"] = std::nullopt;
  TChildResult none = Cli({"messages", "download"}, noVariable);
  EXPECT_EQ(none.iStatus, 1);
  EXPECT_EQ(LastLine(none.iErr), "The SIM needs its PIN: 3 attempts left");
  EXPECT_NE(none.iErr.find("--pin-file FILE"), std::string::npos);

  // Refused before the phone is opened: nothing more reaches it.
  size_t before = iPhone.ReceivedCommands().size();
  TChildResult open = Cli({"--pin-file", PinFile("2468", 0644), "messages", "download"});
  EXPECT_EQ(open.iStatus, 1);
  EXPECT_NE(open.iErr.find("can be read by others (mode 0644)"), std::string::npos) << open.iErr;
  EXPECT_EQ(open.iErr.find("2468"), std::string::npos);
  TChildResult garbage = Cli({"--pin-file", PinFile("12ab\n"), "messages", "download"});
  EXPECT_EQ(garbage.iStatus, 1);
  EXPECT_NE(garbage.iErr.find("holds no PIN (4 to 8 digits)"), std::string::npos) << garbage.iErr;
  TChildResult missing = Cli({"--pin-file", iDir.Path() + "/none", "messages", "download"});
  EXPECT_EQ(missing.iStatus, 1);
  EXPECT_NE(missing.iErr.find("cannot open the PIN file"), std::string::npos) << missing.iErr;
  EXPECT_EQ(iPhone.ReceivedCommands().size(), before);
  TChildResult argument = Cli({"--pin", "2468", "messages", "download"});
  EXPECT_EQ(argument.iStatus, 2);  // never as an argument
  StopPhone();

  nlohmann::json puk = ShippedProfile("generic");
  puk["sim"] = {{"state", "SIM PUK"}};
  StartPhone(puk);
  TChildResult blocked = Cli({"--pin-file", PinFile("2468"), "messages", "download"});
  EXPECT_EQ(blocked.iStatus, 1);
  EXPECT_EQ(LastLine(blocked.iErr), "The SIM is blocked: it needs its PUK");
  std::vector<std::string> commands = iPhone.ReceivedCommands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.back(), "AT+CPIN?");
}

nlohmann::json UssdProfile() {
  nlohmann::json profile = ShippedProfile("generic");
  profile["ussd"] = {{{"request", "*101#"}, {"reply", "Your balance is 5.00 EUR"}, {"coding", "packed"}},
                     {{"request", "*102#"}, {"reply", "Ваш баланс 5.00 ₽"}, {"coding", "ucs2"}},
                     {{"request", "*100#"}, {"reply", "1 Balance\n2 Bundles"}, {"menu", true}},
                     {{"request", "*100#>2"}, {"reply", "1 Data\n2 Minutes"}, {"menu", true}},
                     {{"request", "*100#>2>1"}, {"reply", "Data: 2 GB left\x1b[2J"}},
                     {{"request", "*109#"}, {"coding", "silent"}}};
  return profile;
}

TEST_F(SimUssdTest, BalanceRepliesInEachCodingAndATwoStepMenuAnsweredWithReply) {
  iPhone.EnableTranscript();
  StartPhone(UssdProfile());
  TChildResult packed = Cli({"ussd", "*101#"});
  EXPECT_EQ(packed.iStatus, 0) << packed.iErr;
  EXPECT_EQ(packed.iOut, "Your balance is 5.00 EUR\n");
  TChildResult ucs2 = Cli({"ussd", "*102#"});
  EXPECT_EQ(ucs2.iOut, "Ваш баланс 5.00 ₽\n");

  nlohmann::json menu = CliJson({"ussd", "*100#", "--reply", "2", "--reply", "1"});
  ASSERT_EQ(menu["replies"].size(), 3u);
  EXPECT_EQ(menu["replies"][0]["text"], "1 Balance\n2 Bundles");
  EXPECT_EQ(menu["replies"][0]["menu"], true);
  EXPECT_EQ(menu["replies"][1]["text"], "1 Data\n2 Minutes");
  EXPECT_EQ(menu["replies"][2]["text"], "Data: 2 GB left\x1b[2J");  // JSON escapes it
  EXPECT_EQ(menu["replies"][2]["menu"], false);
  std::vector<std::string> commands = iPhone.ReceivedCommands();
  auto at = std::find(commands.begin(), commands.end(), "AT+CUSD=1,\"*100#\",15");
  ASSERT_NE(at, commands.end());
  EXPECT_EQ(std::vector<std::string>(at, commands.end()),
            (std::vector<std::string>{"AT+CUSD=1,\"*100#\",15", "AT+CUSD=1,\"2\",15", "AT+CUSD=1,\"1\",15"}));

  // Printed, the escape from outside does not reach the terminal.
  TChildResult shown = Cli({"ussd", "*100#", "--reply", "2", "--reply", "1"});
  EXPECT_EQ(shown.iOut, "1 Balance\n2 Bundles\n1 Data\n2 Minutes\nData: 2 GB left\\x1B[2J\n");
}

TEST_F(SimUssdTest, AMenuWithoutAnswerACodeThatIsNoUssdAndNoReplyInTime) {
  iPhone.EnableTranscript();
  StartPhone(UssdProfile());
  TChildResult unanswered = Cli({"ussd", "*100#", "--reply", "2"});
  EXPECT_EQ(unanswered.iStatus, 1);
  EXPECT_NE(unanswered.iErr.find("give it with --reply"), std::string::npos) << unanswered.iErr;
  EXPECT_EQ(iPhone.ReceivedCommands().back(), "AT+CUSD=2");

  size_t before = iPhone.ReceivedCommands().size();
  TChildResult injected = Cli({"ussd", "*100#\";+CPIN=\"1"});
  EXPECT_EQ(injected.iStatus, 2);
  EXPECT_NE(injected.iErr.find("is not a USSD string"), std::string::npos);
  TChildResult badReply = Cli({"ussd", "*100#", "--reply", "1\r\nATZ"});
  EXPECT_EQ(badReply.iStatus, 2);
  EXPECT_EQ(iPhone.ReceivedCommands().size(), before);
}

}  // namespace
