// The engine thread's command loop: draining the queue, unexpected numbers,
// the user's cancel, and ending the thread from inside a wait for the phone.
#include "engine/tests/engine_fixture.h"

TEST_F(EngineTest, CommandsWaitingTogetherAreDrainedInOrderAndStrangersAreOnlyLogged) {
  StartEngine();
  iShutdownOnComplete = false;
  // Posted while the engine is blocked handing over the first completion.
  iPostOnComplete = {EKvActionInProgress, EKvCommWrite, EKvSendAllSmsFromOutbox, EKvShutdownEngine};
  ASSERT_TRUE(Run(EKvSendAllSmsFromOutbox));
  ASSERT_TRUE(WaitCompletions(2));
  EXPECT_TRUE(WaitEngineEnded());
  EXPECT_TRUE(Progress().empty());

  int first = FindLog("EngineEventLoop - received EKvSendAllSmsFromOutbox");
  int progress = FindLog("EngineEventLoop - unexpected message 10009", first);
  int write = FindLog("EngineEventLoop - unexpected message 10011", progress);
  int second = FindLog("EngineEventLoop - received EKvSendAllSmsFromOutbox", first + 1);
  ASSERT_GE(first, 0);
  EXPECT_GT(progress, first);
  EXPECT_GT(write, progress);
  EXPECT_GT(second, write);
  // One call of the loop took all four: no new entry between them.
  EXPECT_EQ(FindLog("Entered EngineEventLoop", first), -1);
  // Ended by the shutdown that came last, without touching the port.
  EXPECT_EQ(CountLog("CPhoneEng::~CPhoneEng"), 1);
  EXPECT_EQ(CountLog("KvEngineMain: Exiting ..."), 0);
}

TEST_F(EngineTest, ACancelAnswerOnlyLogsAndTheOperationRunsOn) {
  StartPhone(SmallProfile());
  StartEngine();
  iProgressAnswer = KActionCancelled;
  ASSERT_TRUE(Run(EKvGetAllSmsFromPhone));
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_EQ(CountLog("CPhoneEng::PhoneDiscovered - cancelled by user"), 1);
  EXPECT_EQ(CountLog("CPhoneEng::FoundSmsL - cancelled by user"), 2);
}

TEST_F(EngineTest, EndingCommandsEndTheThreadWhileItWaitsForASilentPhone) {
  nlohmann::json profile = SmallProfile();
  profile["quirks"]["hang_after"] = "AT+CMGL=4";
  StartPhone(profile);
  const UINT endings[] = {EKvShutdownEngine, WM_QUIT};
  for (UINT ending : endings) {
    iNotices.clear();
    StartEngine();
    ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvGetAllSmsFromPhone, reinterpret_cast<WPARAM>(&iAction), 0));
    EXPECT_EQ(WaitForSingleObject(iEngineThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, ending, reinterpret_cast<WPARAM>(&iAction), 0));
    // It ends on the command, not on its own silence time-out, which would
    // have completed the action with a failure.
    EXPECT_TRUE(WaitEngineEnded()) << ending;
    CloseHandle(iEngineThread);
    iEngineThread = nullptr;
    EXPECT_EQ(CompletionCount(), 0) << ending;
    EXPECT_FALSE(PostThreadMessageW(iEngineThreadId, EKvSendNow, 0, 0));
  }
  EXPECT_EQ(CountLog("CPhoneEng::~CPhoneEng"), 2);
  EXPECT_EQ(CountLog("EngineEventLoop - received WM_QUIT"), 1);
  EXPECT_EQ(CountLog("Transfer Complete."), 0);
  EXPECT_EQ(CountLog("KvEngineMain: Exiting ..."), 0);
}
