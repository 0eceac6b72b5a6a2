// Listening on the engine thread: the phone switched off and on again on the
// same link, and the end of listening.
#include <algorithm>

#include "engine/tests/faults_fixture.h"

namespace {

const int KQuietMs = 400;
const int KRetryMs = 150;

class ListenTest : public FaultTest {
 protected:
  // A phone on the small profile, and an engine thread listening to it, with
  // the waits of a test: a quiet line is probed, and a lost port tried again,
  // within a fraction of a second.
  void StartListening() {
    StartPhone(SmallProfile());
    ResetAction();
    StartEngineWithReplyTimeout(KShortReply, KQuietMs, KRetryMs);
    ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvListen, reinterpret_cast<WPARAM>(&iAction), 0));
  }
  bool Logged(const std::string& aMessage) {
    return PumpUntil([&] { return CountLog(aMessage) > 0; });
  }
};

}  // namespace

TEST_F(ListenTest, APhoneSwitchedOffAndOnIsTakenUpAgainWithoutLossOrRepeats) {
  TResources before = Resources();
  ASSERT_NO_FATAL_FAILURE(StartListening());
  ASSERT_TRUE(PumpUntil([this] { return MessageTexts().size() == 2; }));

  // Off; while it is off a message reaches it, and it comes back on the same link.
  nlohmann::json state = StopPhone();
  ASSERT_TRUE(state.is_object());
  ASSERT_TRUE(Logged("CPhoneEng::ProcessListen - the phone is gone; its port is opened again when it is back"));
  state["sms"]["stores"]["SM"]["messages"].push_back(
      {{"index", 3}, {"status", 0}, {"from", "+447700900321"}, {"text", "Sent while you were off"}, {"time", "2003-01-07T09:00:00+00:00"}});
  StartPhone(state);
  ASSERT_TRUE(Logged("CPhoneEng::ReconnectForListening - the phone answers, listening again"));
  ASSERT_TRUE(PumpUntil([this] { return MessageTexts().size() == 3; }));
  EXPECT_EQ(MessageTexts(),
            (std::multiset<std::string>{"Lunch at one?", "Unknown sender here", "Sent while you were off"}));
  EXPECT_EQ(CompletionCount(), 0) << "listening goes on";

  // Ended as the user interface ends it: the thread, its helpers and the port go.
  ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvShutdownEngine, reinterpret_cast<WPARAM>(&iAction), 0));
  ExpectEngineGone(before);
  EXPECT_EQ(MessageTexts().size(), 3u);
}

// Listening taken up again after an action that lost the phone: the port is
// not there at the start, and listening waits for it instead of ending; the
// repeated attempts leave one line in the log and one notice for the window.
TEST_F(ListenTest, ListeningThatWaitsForThePhoneStartsWithoutItAndTakesItUpWhenItComes) {
  TResources before = Resources();
  ResetAction();
  iAction.iWaitForPhone = true;
  StartEngineWithReplyTimeout(KShortReply, KQuietMs, KRetryMs);
  ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvListen, reinterpret_cast<WPARAM>(&iAction), 0));
  ASSERT_TRUE(Logged("CPhoneEng::ProcessListen - the phone is not there; its port is opened again when it is back"));
  // Several attempts, each a progress notice to answer.
  ASSERT_TRUE(PumpUntil([this] { return Progress().size() >= 4; }));
  EXPECT_EQ(CompletionCount(), 0) << "listening goes on without the phone";
  EXPECT_EQ(Progress("Waiting for the phone").size(), 1u);
  EXPECT_EQ(CountLogPrefix("CPhoneEng::ReconnectForListening - the port does not open yet"), 1);
  EXPECT_EQ(CountLogPrefix("PortInitialize Unable to open port"), 1);

  StartPhone(SmallProfile());
  ASSERT_TRUE(Logged("CPhoneEng::ReconnectForListening - the phone answers, listening again"));
  ASSERT_TRUE(PumpUntil([this] { return MessageTexts().size() == 2; }));
  EXPECT_EQ(CompletionCount(), 0);
  ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvShutdownEngine, reinterpret_cast<WPARAM>(&iAction), 0));
  ExpectEngineGone(before);
}

TEST_F(ListenTest, TheUsersCancelEndsListeningWithTheClosedPort) {
  TResources before = Resources();
  ASSERT_NO_FATAL_FAILURE(StartListening());
  ASSERT_TRUE(PumpUntil([this] {
    std::vector<std::string> texts = Progress();
    return std::find(texts.begin(), texts.end(), "Listening for messages") != texts.end();
  }));
  // The next check for the cancel (at the quiet probe) ends it.
  iProgressAnswer = KActionCancelled;
  ASSERT_TRUE(WaitCompletions(1));
  EXPECT_EQ(Completion()->iText, "Listening ended.");
  EXPECT_EQ(Completion()->iResult, 0);
  ExpectEngineGone(before);
}

// The status is read when listening starts and again when the phone comes
// back, so that who watches the listener sees the network it is on now.
TEST_F(ListenTest, ListeningKeepsThePhonesStatusCurrent) {
  nlohmann::json profile = SmallProfile();
  profile["network"] = {{"operator", "Home Net"}, {"registration", 1}};
  StartPhone(profile);
  ResetAction();
  StartEngineWithReplyTimeout(KShortReply, KQuietMs, KRetryMs);
  ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvListen, reinterpret_cast<WPARAM>(&iAction), 0));
  ASSERT_TRUE(PumpUntil([this] { return !iStatusUpdates.empty(); }));
  EXPECT_EQ(iStatusUpdates.back().iRegistration, ERegHome);
  EXPECT_EQ(Utf8(iStatusUpdates.back().iOperator), "Home Net");

  nlohmann::json state = StopPhone();
  ASSERT_TRUE(state.is_object());
  ASSERT_TRUE(Logged("CPhoneEng::ProcessListen - the phone is gone; its port is opened again when it is back"));
  state["network"] = {{"operator", "Away Net"}, {"registration", 5}};
  StartPhone(state);
  ASSERT_TRUE(PumpUntil([this] { return iStatusUpdates.back().iRegistration == ERegRoaming; }));
  EXPECT_EQ(Utf8(iStatusUpdates.back().iOperator), "Away Net");
  EXPECT_EQ(CompletionCount(), 0) << "listening goes on";
  ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvShutdownEngine, reinterpret_cast<WPARAM>(&iAction), 0));
  ASSERT_TRUE(WaitEngineEnded());
}
