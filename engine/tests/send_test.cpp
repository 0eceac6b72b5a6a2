// Sending one message: the service centre check, the phone's answer, and
// what actually went out on the line (as phonesim decoded it into its state).
#include <memory>

#include "engine/tests/engine_fixture.h"
#include "store/messages.h"

namespace {

class SendTest : public EngineTest {
 protected:
  void SetMessage(const std::u16string& aNumber, const std::u16string& aText) {
    iMessage.reset(CKveMessagesItem::NewL());
    iMessage->ConstructL();
    iMessage->SetNumberL(TConstPtr16(aNumber.c_str()));
    iMessage->SetTextL(TConstPtr16(aText.c_str()));
    iMessage->SetFolder(EKvFolderOutbox);
    iAction.iMessage = iMessage.get();
  }
  std::unique_ptr<CKveMessagesItem> iMessage;
};

}  // namespace

TEST_F(SendTest, WithoutServiceCentreNothingTouchesThePort) {
  StartEngine();  // no phone: opening the port would fail differently
  SetMessage(u"+447700900123", u"Hello");
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
  SetMessage(u"+447700900123", u"Line one\r\nLine two");
  iAction.iSmsc = u"+447785016005";
  ASSERT_TRUE(Run(EKvSendNow));
  // Signs of life carry empty texts; the first text is the phone's discovery.
  std::vector<std::string> texts;
  for (const std::string& t : Progress())
    if (!t.empty()) texts.push_back(t);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), "Discovered Phone");
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
