// The device disappears while the reader thread waits for the phone, as when
// a USB cable is pulled: the test's own pseudo-terminal between the program
// and phonesim is closed at its master end.
#include <unistd.h>

#include <chrono>
#include <memory>

#include "engine/tests/faults_fixture.h"
#include "store/messages.h"

namespace {

class CableTest : public FaultTest {
 protected:
  // phonesim behind the cable; COM3 leads to the cable.
  void StartPhoneBehindCable(const nlohmann::json& aProfile) {
    unlink((iRoot + "/phonesim.out").c_str());
    ASSERT_TRUE(iPhone.Start(aProfile, iRoot, iRoot + "/dev/PHONE")) << iPhone.Errors();
    ASSERT_TRUE(iCable.Plug(iRoot + "/dev/COM3", iRoot + "/dev/PHONE")) << iCable.Error();
  }
  // The reader thread saw the line go while it waited.
  void ExpectLineLost() {
    EXPECT_GE(CountLogPrefix("ReadThreadMain: WaitCommEvent status = 0x0 ERROR 1167"), 1);
  }
  TCable iCable;
};

}  // namespace

TEST_F(CableTest, PulledInTheMiddleOfTheMessageListing) {
  // phonesim stops after the first message, so the program is left waiting.
  TResources before = Resources();  // the cable is the test's, not the program's
  StartPhoneBehindCable(ProfileWithFault({{"command", "AT+CMGL"}, {"lines", 2}, {"then", "silence"}}));
  ResetAction();
  StartEngineWithReplyTimeout(KShortReply);
  ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvGetAllSmsFromPhone, reinterpret_cast<WPARAM>(&iAction), 0));
  ASSERT_TRUE(PumpUntil([this] { return !Texts().empty() && Texts().back() == "Found Sms 1"; }));
  iCable.Pull();
  ASSERT_TRUE(WaitCompletions(1));
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");
  EXPECT_EQ(Completion()->iResult, 0);
  EXPECT_EQ(MessageTexts(), std::multiset<std::string>{"Lunch at one?"});
  ExpectLineLost();
  ExpectEngineGone(before);

  // Plugged in again, straight to the phone.
  RestartPhone();
  ASSERT_NO_FATAL_FAILURE(RunAction(EKvGetAllSmsFromPhone));
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");
  EXPECT_EQ(MessageTexts(), (std::multiset<std::string>{"Lunch at one?", "Unknown sender here"}));
  ExpectEngineGone(before);
}

TEST_F(CableTest, PulledWhileTheSendWaitsForThePrompt) {
  std::unique_ptr<CKveMessagesItem> message(CKveMessagesItem::NewL());
  message->ConstructL();
  message->SetNumberL(TConstPtr16(u"+447700900123"));
  message->SetTextL(TConstPtr16(u"Are you there?"));
  iAction.iMessage = message.get();
  iAction.iSmsc = u"+447785016005";
  TResources before = Resources();
  StartPhoneBehindCable(ProfileWithFault({{"command", "AT+CMGS"}, {"then", "silence"}}));
  ResetAction();
  StartEngineWithReplyTimeout(KShortReply);
  ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvSendNow, reinterpret_cast<WPARAM>(&iAction), 0));
  // The command has reached the phone, which says nothing.
  ASSERT_TRUE(PumpUntil([this] { return iCable.Sent().find("AT+CMGS=") != std::string::npos; }));
  iCable.Pull();
  ASSERT_TRUE(WaitCompletions(1));
  EXPECT_EQ(Completion()->iText, "Failed send.");
  EXPECT_EQ(Completion()->iResult, -2);
  ExpectLineLost();
  ExpectEngineGone(before);

  nlohmann::json state = RestartPhone();
  EXPECT_TRUE(state["sms"]["sent"].empty());
  ASSERT_NO_FATAL_FAILURE(RunAction(EKvSendNow));
  EXPECT_EQ(Completion()->iText, "Message Sent.");
  ExpectEngineGone(before);
  EXPECT_EQ(StopPhone()["sms"]["sent"].size(), 1u);
}
