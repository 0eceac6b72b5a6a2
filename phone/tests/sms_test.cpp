// Counting, listing, deleting and sending messages against phonesim.
#include <chrono>

#include "phone/tests/sim_fixture.h"
#include "sms/sms_coding.h"

namespace {

// The commands that start with aPrefix, in order.
Lines Starting(const Lines& aLines, const std::string& aPrefix) {
  Lines found;
  for (const std::string& line : aLines)
    if (line.rfind(aPrefix, 0) == 0) found.push_back(line);
  return found;
}

CStdSms* Message(const std::u16string& aText, std::initializer_list<const char16_t*> aRecipients) {
  CStdSms* sms = CStdSms::NewL(0);
  // A new record comes with one empty recipient: the first number goes there.
  for (const char16_t* number : aRecipients) {
    if (sms->Recipient(0)->iNumber.Length() == 0) {
      sms->Recipient(0)->iNumber.Copy(number);
    } else {
      TSmsAddress address;
      address.iNumber.Copy(number);
      sms->AddRecipientL(address);
    }
  }
  sms->SetText(TConstPtr16(aText.data(), static_cast<int>(aText.size())));
  sms->SmsCentre().iNumber.Copy(u"+447785016005");
  return sms;
}

TEST_F(PhoneSimTest, CountingAndListingBothStores) {
  int result = 0, total = 0, used[2] = {}, capacity[2] = {};
  Run(ShippedProfile("generic"), [&](CMobilePhoneBase& aPhone) {
    EXPECT_EQ(aPhone.CountSms(total, used, capacity), KReplyOk);
    result = aPhone.ReadSms();
    EXPECT_EQ(aPhone.MessageCounter(), 4);
  });
  EXPECT_EQ(total, 4);
  EXPECT_EQ(used[0], 2);
  EXPECT_EQ(capacity[0], 100);
  EXPECT_EQ(capacity[1], 30);
  EXPECT_EQ(result, KReplyOk);
  ASSERT_EQ(iObserver.iSms.size(), 4u);
  EXPECT_EQ(Narrow(iObserver.iSms[0].iText), "Hello from the phone memory");
  EXPECT_EQ(Narrow(iObserver.iSms[0].iSender), "+447700900123");
  EXPECT_EQ(iObserver.iSms[1].iStatus, KSmsStatusReceived);  // listed unread
  EXPECT_EQ(Narrow(iObserver.iSms[3].iText), "Sent from the SIM");
  EXPECT_EQ(iObserver.iSms[3].iStatus, KSmsStatusSent);
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CMGL=4"), 2);
}

// Messages a phone stored with the header flag and an empty header: their
// texts read as any other's.
TEST_F(PhoneSimTest, StoredMessagesWithAnEmptyHeaderAreRead) {
  nlohmann::json profile = ShippedProfile("generic");
  profile["sms"]["stores"]["ME"]["messages"] = nlohmann::json::array();
  profile["sms"]["stores"]["SM"]["messages"] = {
      {{"index", 1}, {"status", 3}, {"pdu", "0051000B916407281553F80000AA070000BACC66BF01"}},
      {{"index", 2}, {"status", 1}, {"pdu", "04912143F5440A919421436587000020211332959500070000BACC66BF01"}},
      {{"index", 3}, {"status", 2}, {"pdu", "0051000B916407281553F80008AA0D00041F04400438043204350442"}}};
  Run(profile, [&](CMobilePhoneBase& aPhone) { EXPECT_EQ(aPhone.ReadSms(), KReplyOk); });
  ASSERT_EQ(iObserver.iSms.size(), 3u);
  EXPECT_EQ(Narrow(iObserver.iSms[0].iText), "hello");
  EXPECT_EQ(Narrow(iObserver.iSms[1].iText), "hello");
  EXPECT_EQ(iObserver.iSms[2].iText, u"\u041F\u0440\u0438\u0432\u0435\u0442");
  EXPECT_FALSE(Logged("CMobilePhoneBase::DecodeSmsL - Error -20"));
}

TEST_F(PhoneSimTest, AnEmptyPhoneMemoryListsOnlyTheSim) {
  nlohmann::json profile = ShippedProfile("generic");
  profile["sms"]["stores"]["ME"]["messages"] = nlohmann::json::array();
  profile["sms"]["stores"]["SM"]["messages"].push_back(
      {{"index", 5}, {"status", 0}, {"from", "+15550001"}, {"text", "third"}});
  Run(profile, [&](CMobilePhoneBase& aPhone) { EXPECT_EQ(aPhone.ReadSms(), KReplyOk); });
  // After the count of both stores: only the SIM is selected and listed.
  Lines commands = iSim.Commands();
  Lines afterCount(std::find(commands.begin(), commands.end(), "AT+CPMS=\"SM\"") + 1, commands.end());
  EXPECT_EQ(afterCount, (Lines{"AT+CPMS=\"SM\"", "AT+CMGL=4"}));
  EXPECT_EQ(iObserver.iSms.size(), 3u);
}

TEST_F(PhoneSimTest, AModemWithoutPhoneMemoryCountsAndListsNothing) {
  int result = 0, total = -1, used[2];
  Run(ShippedProfile("minimal"), [&](CMobilePhoneBase& aPhone) {
    result = aPhone.CountSms(total, used, nullptr);
    EXPECT_EQ(aPhone.ReadSms(), KReplyOk);
  });
  EXPECT_EQ(result, KReplyOk);  // the refused phone memory is skipped
  EXPECT_EQ(total, 0);
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CMGL=4"), 0);
}

TEST_F(PhoneSimTest, DeletingFromTheLastListedEntryAndByStatus) {
  int deleted = 0, result = 0;
  Run(ShippedProfile("generic"), [&](CMobilePhoneBase& aPhone) { result = aPhone.DeleteAllSms(4, deleted, 2); });
  EXPECT_EQ(result, KReplyOk);
  EXPECT_EQ(deleted, 4);
  EXPECT_EQ(iObserver.iDeletedNotices, 4);
  EXPECT_EQ(Starting(iSim.Commands(), "AT+CMGD="), (Lines{"AT+CMGD=2", "AT+CMGD=1", "AT+CMGD=2", "AT+CMGD=1"}));
  iSim.Stop();
  nlohmann::json state = iSim.State();
  EXPECT_TRUE(state["sms"]["stores"]["ME"]["messages"].empty());
  EXPECT_TRUE(state["sms"]["stores"]["SM"]["messages"].empty());

  // Status 1 (read): only those go, but every listed message is reported.
  TSimPhone phone;
  TRecordingObserver observer;
  ASSERT_TRUE(phone.Start(ShippedProfile("generic")));
  RunOnEngineThread(observer, [&](CMobilePhoneBase& aPhone) { result = aPhone.DeleteAllSms(1, deleted, 2); });
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(observer.iDeletedNotices, 4);
  EXPECT_EQ(Starting(phone.Commands(), "AT+CMGD="), (Lines{"AT+CMGD=1", "AT+CMGD=1"}));
  phone.Stop();
  state = phone.State();
  EXPECT_EQ(state["sms"]["stores"]["ME"]["messages"].size(), 1u);
  EXPECT_EQ(state["sms"]["stores"]["SM"]["messages"][0]["index"], 2);
}

TEST_F(PhoneSimTest, SendingOnePduOrConcatenatedParts) {
  CStdSms* plain = Message(std::u16string(160, u'a'), {u"+447700900001"});
  CStdSms* escaped = Message(std::u16string(159, u'b') + u"[", {u"+447700900002"});
  int first = 0, second = 0;
  Run(ShippedProfile("generic"), [&](CMobilePhoneBase& aPhone) {
    first = aPhone.SendSms(*plain, 3);
    second = aPhone.SendSms(*escaped, 3);
  });
  EXPECT_EQ(first, KReplyOk);
  EXPECT_EQ(second, KReplyOk);
  EXPECT_EQ(iObserver.iPartsSent, 3);
  EXPECT_TRUE(plain->IsPartSent(1, 0));
  EXPECT_TRUE(escaped->IsPartSent(1, 0) && escaped->IsPartSent(2, 0));
  delete plain;
  delete escaped;
  EXPECT_EQ(CountOf(iSim.Commands(), "AT+CMGF=0"), 2);
  iSim.Stop();
  nlohmann::json sent = iSim.State()["sms"]["sent"];
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0]["recipient"], "+447700900001");
  EXPECT_FALSE(sent[0].contains("concat")) << sent[0].dump();  // no user data header
  // 161 septets: 153 in the first part, 8 in the second, each with "2 parts" in its header.
  for (int part = 1; part <= 2; ++part) {
    EXPECT_EQ(sent[part]["concat"]["parts"], 2) << sent[part].dump();
    EXPECT_EQ(sent[part]["concat"]["part"], part);
  }
  EXPECT_EQ(sent[1]["text"], std::string(153, 'b'));
  EXPECT_EQ(sent[2]["text"], std::string(6, 'b') + "[");
}

TEST_F(PhoneSimTest, MorePartsThanAHeaderCanCountAreRefusedBeforeTheFirstGoesOut) {
  // 46,000 septets: 301 parts, which one octet of the header would count as 45.
  CStdSms* sms = Message(std::u16string(46000, u'a'), {u"+447700900001"});
  int result = 0;
  Run(ShippedProfile("generic"), [&](CMobilePhoneBase& aPhone) { result = aPhone.SendSms(*sms, 3); });
  EXPECT_EQ(result, KErrOverflow);
  EXPECT_EQ(iObserver.iPartsSent, 0);
  delete sms;
  iSim.Stop();
  EXPECT_EQ(iSim.State()["sms"]["sent"].size(), 0u);
}

TEST_F(PhoneSimTest, TwoRecipientsGetEachPartInTurn) {
  CStdSms* sms = Message(std::u16string(200, u'c'), {u"+15550101", u"+15550202"});
  int result = 0;
  Run(ShippedProfile("generic"), [&](CMobilePhoneBase& aPhone) { result = aPhone.SendSms(*sms, 3); });
  EXPECT_EQ(result, KReplyOk);
  delete sms;
  iSim.Stop();
  nlohmann::json sent = iSim.State()["sms"]["sent"];
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0]["recipient"], "+15550101");
  EXPECT_EQ(sent[1]["recipient"], "+15550202");
  EXPECT_EQ(sent[2]["recipient"], "+15550101");
  EXPECT_EQ(sent[3]["recipient"], "+15550202");
}

TEST_F(PhoneSimTest, ANetworkErrorIsRetriedAfterAWait) {
  nlohmann::json profile = ShippedProfile("generic");
  profile["sms"]["send_errors"] = {500};
  CStdSms* sms = Message(u"retry me", {u"+15550303"});
  int result = 0;
  double seconds = 0;
  Run(profile, [&](CMobilePhoneBase& aPhone) {
    auto started = std::chrono::steady_clock::now();
    result = aPhone.SendSms(*sms, 3);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  });
  EXPECT_EQ(result, KReplyOk);
  EXPECT_EQ(iObserver.iRetries, 1);
  EXPECT_EQ(iObserver.iPartsSent, 1);
  EXPECT_GE(seconds, 1.0);
  EXPECT_TRUE(sms->IsPartSent(1, 0));
  delete sms;
  EXPECT_EQ(Starting(iSim.Commands(), "AT+CMGS=").size(), 2u);
  iSim.Stop();
  EXPECT_EQ(iSim.State()["sms"]["sent"].size(), 1u);

  // With one attempt only, the error is the result and nothing is marked sent.
  TSimPhone phone;
  TRecordingObserver observer;
  profile["sms"]["send_errors"] = {500};
  ASSERT_TRUE(phone.Start(profile));
  sms = Message(u"no retry", {u"+15550303"});
  RunOnEngineThread(observer, [&](CMobilePhoneBase& aPhone) { result = aPhone.SendSms(*sms, 1); });
  EXPECT_EQ(result, KReplyCmsError + 500);
  EXPECT_FALSE(sms->IsPartSent(1, 0));
  delete sms;
}

}  // namespace
