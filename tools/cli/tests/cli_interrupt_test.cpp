// Ctrl-C: during an action it aborts like the progress dialog's Cancel;
// outside an action (at a confirmation prompt) it leaves at once.
#include <signal.h>

#include "testing/log_file.h"
#include "tools/cli/tests/cli_fixture.h"

TEST_F(CliTest, CtrlCAbortsAHungDownloadAndKeepsTheStoredMessages) {
  ASSERT_EQ(Cli({"settings", "--log", "on"}).iStatus, 0);
  TChildResult created = Cli({"messages", "new", "--to", "+447700900123", "--text", "kept"});
  ASSERT_EQ(created.iStatus, 0) << created.iErr;

  nlohmann::json profile = SmallProfile();
  profile["quirks"]["hang_after"] = "AT+CMGL=4";  // silent for good once listing starts
  StartPhone(profile);
  bool interrupted = false;
  TChildOptions options;
  options.iOnError = [&interrupted](pid_t aPid, const std::string& aErr) {
    if (!interrupted && aErr.find("Discovered Phone") != std::string::npos) {
      interrupted = true;
      kill(aPid, SIGINT);
    }
  };
  TChildResult download = Cli({"messages", "download"}, options);
  EXPECT_TRUE(interrupted) << download.iErr;
  EXPECT_EQ(download.iStatus, 130) << download.iErr;
  EXPECT_EQ(LastLine(download.iErr), "Transfer aborted");
  // The abort does not wait for the phone's silence time-out: the engine
  // thread ended (and deleted the engine) before the program did, which does
  // not wait for it that long.
  EXPECT_TRUE(LogHas(iRoot, "CPhoneEng::~CPhoneEng"));
  EXPECT_FALSE(LogHas(iRoot, "the phone fell silent"));

  nlohmann::json all = CliJson({"messages", "list"});
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0]["text"], "kept");
}

TEST_F(CliTest, CtrlCAtAConfirmationLeavesAtOnceAndADeclinedOneDoesNothing) {
  TChildOptions options;
  options.iHoldStdin = true;
  options.iOnError = [](pid_t aPid, const std::string& aErr) {
    if (aErr.find("[y/N]") != std::string::npos) kill(aPid, SIGINT);
  };
  TChildResult interrupted = Cli({"contacts", "delete-on-phone"}, options);
  EXPECT_EQ(interrupted.iStatus, 130) << interrupted.iErr;
  EXPECT_NE(interrupted.iErr.find("Delete every contact"), std::string::npos);

  TChildOptions declined;
  declined.iStdin = "n\n";
  TChildResult no = Cli({"messages", "delete-on-phone"}, declined);
  EXPECT_EQ(no.iStatus, 1);
  EXPECT_EQ(LastLine(no.iErr), "Nothing deleted.");
  TChildResult closed = Cli({"contacts", "delete-on-phone"});
  EXPECT_EQ(closed.iStatus, 1);
  EXPECT_EQ(LastLine(closed.iErr), "Nothing deleted (no answer; --yes confirms).");
}
