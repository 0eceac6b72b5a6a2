// Sending one message: the service centre check, the phone's answer, and
// what actually went out on the line (as phonesim decoded it into its state).
#include "engine/tests/engine_fixture.h"
#include "store/messages.h"

using SendTest = EngineTest;

TEST_F(SendTest, WithoutServiceCentreNothingTouchesThePort) {
  StartEngine();  // no phone: opening the port would fail differently
  SetOutboxMessage();
  iAction.iSmsc = u"";
  ASSERT_TRUE(Run(EKvSendNow));
  EXPECT_TRUE(Progress().empty());
  EXPECT_EQ(Completion()->iText, "No SMSC - check \"Settings\"");
  EXPECT_EQ(Completion()->iResult, -2);
  EXPECT_EQ(CountLog("CPhoneEng::ProcessSendNow - no smsc found"), 1);
  EXPECT_EQ(CountLog("CPhoneEng::InitialiseConnection"), 0);
}

TEST_F(SendTest, AcceptedMessageGoesOutWithSingleCarriageReturns) {
  StartPhone(SmallProfile());
  StartEngine();
  SetOutboxMessage(u"Line one\r\nLine two");
  ASSERT_TRUE(Run(EKvSendNow));
  EXPECT_EQ(Completion()->iText, "Message Sent.");
  EXPECT_EQ(Completion()->iResult, 0);
  EXPECT_TRUE(WaitEngineEnded());
  // The engine leaves the message record alone.
  EXPECT_EQ(iMessage->Folder(), static_cast<DWORD>(EKvFolderOutbox));

  nlohmann::json state = StopPhone();
  ASSERT_EQ(state["sms"]["sent"].size(), 1u);
  EXPECT_EQ(state["sms"]["sent"][0]["recipient"], "+447700900123");
  EXPECT_EQ(state["sms"]["sent"][0]["coding"], "7bit");
  EXPECT_EQ(state["sms"]["sent"][0]["text"], "Line one\rLine two");
}

// Long messages one after the other carry references that count on, also
// from an engine started afresh over the same settings: a receiving phone
// would otherwise join their parts into one message.
TEST_F(SendTest, LongMessagesCarryReferencesThatCountOnAcrossRestarts) {
  const std::u16string text(200, u'x');
  StartPhone(SmallProfile());
  std::vector<int> references;
  for (int engine = 0; engine < 2; ++engine) {
    if (iEngineThread != nullptr) CloseHandle(iEngineThread);
    StartEngine();
    for (int message = 0; message < 2; ++message) {
      iNotices.clear();
      iShutdownOnComplete = message == 1;
      SetOutboxMessage(text.c_str());
      ASSERT_TRUE(Run(EKvSendNow));
      EXPECT_EQ(Completion()->iText, "Message Sent.");
    }
    ASSERT_TRUE(WaitEngineEnded());
  }
  nlohmann::json state = StopPhone();
  for (const auto& sent : state["sms"]["sent"]) references.push_back(sent["concat"]["reference"].get<int>());
  ASSERT_EQ(references.size(), 8u) << state["sms"]["sent"].dump();
  for (size_t part = 0; part < references.size(); part += 2) EXPECT_EQ(references[part], references[part + 1]);
  EXPECT_EQ(references[0], 1);
  EXPECT_EQ(references[2], 2);
  EXPECT_EQ(references[4], 3);  // the second engine carries on
  EXPECT_EQ(references[6], 4);
}

TEST_F(SendTest, ATextAboveTheLongestLongMessageIsRefusedBeforeThePortOpens) {
  StartEngine();  // no phone: nothing may reach a port
  // 46,000 GSM characters need 301 parts; an octet would have counted 45.
  const std::u16string text(46000, u'a');
  SetOutboxMessage(text.c_str());
  ASSERT_TRUE(Run(EKvSendNow));
  EXPECT_EQ(Completion()->iText, "Too long to send: 301 parts, at most 255");
  EXPECT_NE(Completion()->iResult, 0);
  EXPECT_EQ(CountLog("CPhoneEng::ProcessSendNow - 301 parts, refused"), 1);
  EXPECT_EQ(CountLog("CPhoneEng::InitialiseConnection"), 0);
}
