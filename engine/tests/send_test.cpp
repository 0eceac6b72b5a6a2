// Sending one message: the service centre check, the phone's answer, and
// what actually went out on the line (read back from phonesim's state).
#include <memory>

#include "engine/tests/engine_fixture.h"
#include "store/messages.h"

namespace {

int Octet(const std::string& aHex, size_t aAt) { return std::stoi(aHex.substr(aAt * 2, 2), nullptr, 16); }

// The user data of an SMS-SUBMIT PDU in the GSM default alphabet, as septet
// values (the service centre part first, as the phone stores it).
std::string SubmitText(const std::string& aHex, bool* aHasHeader = nullptr) {
  size_t at = static_cast<size_t>(Octet(aHex, 0)) + 1;  // past the service centre
  int first = Octet(aHex, at++);
  ++at;                                   // message reference
  int digits = Octet(aHex, at++);
  at += 1 + static_cast<size_t>(digits + 1) / 2;  // type and number
  at += 2;                                // protocol and coding scheme
  int validity = (first >> 3) & 3;
  at += validity == 2 ? 1 : validity == 0 ? 0 : 7;
  int length = Octet(aHex, at++);
  size_t userData = at;
  int skip = 0;
  if (first & 0x40) {
    int headerOctets = Octet(aHex, userData) + 1;
    skip = (headerOctets * 8 + 6) / 7;
  }
  if (aHasHeader) *aHasHeader = (first & 0x40) != 0;
  std::string text;
  for (int septet = skip; septet < length; ++septet) {
    int bit = septet * 7;
    int value = Octet(aHex, userData + static_cast<size_t>(bit / 8)) >> (bit % 8);
    if (bit % 8 > 1) value |= Octet(aHex, userData + static_cast<size_t>(bit / 8) + 1) << (8 - bit % 8);
    text.push_back(static_cast<char>(value & 0x7F));
  }
  return text;
}

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
  EXPECT_EQ(SubmitText(state["sms"]["sent"][0]["pdu"]), "Line one\rLine two");
}

TEST_F(SendTest, RefusedMessageFails) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["send_errors"] = {500, 500, 500, 500};
  StartPhone(profile);
  StartEngine();
  SetMessage(u"+447700900123", u"Will not go");
  iAction.iSmsc = u"+447785016005";
  ASSERT_TRUE(Run(EKvSendNow));
  EXPECT_EQ(Completion()->iText, "Failed send.");
  EXPECT_EQ(Completion()->iResult, -2);
  nlohmann::json state = StopPhone();
  EXPECT_TRUE(state["sms"]["sent"].empty());
}

TEST_F(SendTest, LongTextGoesOutInParts) {
  StartPhone(SmallProfile());
  StartEngine();
  std::string text;
  for (int i = 0; i < 25; ++i) text += "part" + std::to_string(i % 10) + "-";  // 150 characters
  text += text;                                                              // 300: three parts
  SetMessage(u"+447700900123", Utf16(text));
  iAction.iSmsc = u"+447785016005";
  ASSERT_TRUE(Run(EKvSendNow));
  EXPECT_EQ(Completion()->iText, "Message Sent.");
  nlohmann::json state = StopPhone();
  ASSERT_GE(state["sms"]["sent"].size(), 2u);
  std::string joined;
  for (const auto& sent : state["sms"]["sent"]) {
    bool header = false;
    joined += SubmitText(sent["pdu"], &header);
    EXPECT_TRUE(header);
  }
  EXPECT_EQ(joined, text);
}
