// The receive side fed byte blocks directly: line cutting, classification,
// response codes and the "+" handlers.
#include <string>

#include <gtest/gtest.h>

#include "kernel/active.h"
#include "kernel/requests.h"
#include "kernel/tests/log_fixture.h"
#include "phone/mobile_phone.h"
#include "testing/recording_observer.h"
#include "sms/pdu_sms_format.h"

namespace {

class ResponseTest : public LoggingTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(EpocInitGlobals(), 0);
    LoggingTest::SetUp();
    CActiveScheduler::Install(new CActiveScheduler);
    iPhone = CMobilePhoneBase::NewL(&iObserver);
    ASSERT_NE(iPhone, nullptr);
  }
  void TearDown() override {
    delete iPhone;
    LoggingTest::TearDown();
    EpocReleaseGlobals();
  }
  int Feed(const std::string& aBytes, int aStatus = 0) {
    TConstPtr8 data(reinterpret_cast<const TText8*>(aBytes.data()), static_cast<int>(aBytes.size()));
    return iPhone->ProcessReceivedData(data, aStatus);
  }
  int InState(int aState, const std::string& aBytes) {
    iPhone->SetResponseState(aState);
    return Feed(aBytes);
  }
  std::string Buffered() const { return Narrow(Text(iPhone->ReceiveBuffer())); }
  const TPhoneSettings& Settings() const { return iPhone->PhoneSettings(); }

  TRecordingObserver iObserver;
  CMobilePhoneBase* iPhone = nullptr;
};

// Line cutting, the prompt, the receive buffer's bound and a receiver error
// are the at_receive fuzz target's properties, checked on every input (its
// seeds hold these cases); here the values the replies give.
TEST_F(ResponseTest, FinalResultsAndErrorReports) {
  EXPECT_EQ(InState(EStateConnect, "ERROR\r"), KReplyError);
  // Text after a final result waits for the next exchange.
  EXPECT_EQ(InState(EStateConnect, "\r\nOK\r\n+CSQ: 3"), KReplyOk);
  EXPECT_EQ(Buffered(), "\r\n+CSQ: 3");
  iPhone->Discard();
  EXPECT_EQ(InState(EStateConnect, "+CME ERROR: 10\r"), 2058);
  EXPECT_EQ(InState(EStateConnect, "+CMS ERROR: 500\r"), 1524);
  EXPECT_EQ(InState(EStateConnect, "+CME ERROR:58\r"), 2106);
  EXPECT_EQ(InState(EStateConnect, "+CMS ERROR: \r"), KReplyCmsError);
  EXPECT_EQ(InState(EStateConnect, "+CME ERROR: operation not allowed\r"), KReplyCmeError);
  // Lines that look like results but are not.
  EXPECT_EQ(InState(EStateConnect, "ERRORS\rOK?\rAT+CSQ\r+NOCOLON\r+X:\rO\r"), 0);
  // The counting rule: OK counts only after the store report.
  iPhone->SetCounting(1);
  EXPECT_EQ(InState(EStateSmsCount, "OK\r"), 0);
  EXPECT_EQ(InState(EStateSmsCount, "+CPMS: 3,100,3,100,3,100\r\nOK\r\n"), KReplyOk);
  EXPECT_EQ(iPhone->StoreUsed(), 3);
  EXPECT_EQ(iPhone->StoreTotal(), 100);
  // ... except while waiting for phone book writes.
  iPhone->SetCounting(0);
  EXPECT_EQ(InState(EStatePhoneBookWrite, "OK\r"), KReplyOk);
}

// What the log says of a receiver error, an overflow and a long line.
TEST_F(ResponseTest, ReceiverErrorsOverflowsAndLongLinesAreLogged) {
  iPhone->SetResponseState(EStateIdentity);
  EXPECT_EQ(Feed("OK\r", -2), -2);
  EXPECT_TRUE(Logged("CMobilePhoneBase::ProcessReceivedData"));
  for (int i = 0; i < 5; ++i) ASSERT_EQ(Feed(std::string(500, 'x')), 0);
  EXPECT_EQ(Feed(std::string(61, 'y')), KErrOverflow);
  EXPECT_TRUE(Logged("CMobilePhoneBase::ProcessReceivedData - ERROR overflow"));
  EXPECT_EQ(Feed(std::string(59, 'y') + "\r"), 0);
  EXPECT_TRUE(Logged("CMobilePhoneBase::ProcessLine Length = 512"));
}

TEST_F(ResponseTest, StoreReportsInEveryShape) {
  iPhone->SetCounting(1);
  EXPECT_EQ(InState(EStateSmsCount, "+CPMS: \"ME\",2,150,\"ME\",2,150\r"), 0);
  EXPECT_EQ(iPhone->StoreReported(), 1);
  EXPECT_EQ(iPhone->StoreUsed(), 2);
  EXPECT_EQ(iPhone->StoreTotal(), 150);
  EXPECT_EQ(InState(EStateSmsCount, "+CPMS:7,30\r"), 0);
  EXPECT_EQ(iPhone->StoreUsed(), 7);
  EXPECT_EQ(iPhone->StoreTotal(), 30);
  // Outside the count the report is ignored.
  EXPECT_EQ(InState(EStateSmsStorePhone, "+CPMS: 9,9\r"), 0);
  EXPECT_EQ(iPhone->StoreUsed(), 7);
}

TEST_F(ResponseTest, SignalBatteryAndIdentityReplies) {
  struct TCase {
    int iState;
    const char* iReply;
    int TPhoneSettings::*iField;
    int iValue;
  };
  const TCase cases[] = {{EStateSignal, "AT+CSQ\r+CSQ: 99,99\r", &TPhoneSettings::SignalStrength, -1},
                         {EStateSignal, "+CSQ: 31,99\r", &TPhoneSettings::SignalStrength, 100},
                         {EStateSignal, "+CSQ:15,99\r", &TPhoneSettings::SignalStrength, 48},
                         {EStateBattery, "+CBC:0,80\r", &TPhoneSettings::BatteryState, 80},
                         {EStateBattery, "+CBC: 1,\r", &TPhoneSettings::PowerSource, 1},
                         {EStateBattery, "+CBC: 1,\r", &TPhoneSettings::BatteryState, 0}};
  for (const TCase& c : cases) {
    EXPECT_EQ(InState(c.iState, c.iReply), 0) << c.iReply;
    EXPECT_EQ(Settings().*c.iField, c.iValue) << c.iReply;
  }

  // Identity: plain lines in state 2 (echo and short lines skipped), and
  // "+CGMM" / "+GMM" in any state; the last one stays.
  EXPECT_EQ(InState(EStateIdentity, "AT+GMM\r\nPS-100\r\nOK\r\n"), KReplyOk);
  EXPECT_EQ(Narrow(Text(Settings().ModemId)), "PS-100");
  InState(EStateConnect, "+CGMM: Model T\r+GMM:G2\r");
  EXPECT_EQ(Narrow(Text(Settings().ModemId)), "G2");
  InState(EStateIdentity, "+GMM:\r");  // colon last: ignored
  EXPECT_EQ(Narrow(Text(Settings().ModemId)), "G2");
  InState(EStateIdentity, std::string(200, 'M') + "\r");
  EXPECT_EQ(Settings().ModemId.Length(), KModemIdLength);

  // IMEI: a plain line or "+CGSN", cut to its field.
  InState(EStateImei, "352099001761481\r");
  EXPECT_EQ(Narrow(Text(Settings().IMEI)), "352099001761481");
  InState(EStateImei, "+CGSN: 490154203237518\r");
  EXPECT_EQ(Narrow(Text(Settings().IMEI)), "490154203237518");
  InState(EStateImei, std::string(40, '7') + "\r");
  EXPECT_EQ(Narrow(Text(Settings().IMEI)), std::string(32, '7'));

  InState(EStateConnect, "+CMTI: \"SM\",3\r");
  ASSERT_EQ(iObserver.iIndications.size(), 1u);
  EXPECT_EQ(iObserver.iIndications[0], "+CMTI: \"SM\",3");
}

// The phone's service centre is offered to the user and may later go out in
// a command: only a plain dial string that fits is taken.
TEST_F(ResponseTest, ServiceCentreRepliesTakeOnlyAPlainNumber) {
  const struct {
    const char* iReply;
    const char* iNumber;
  } cases[] = {{"+CSCA: \"+447785016005\",145\r", "+447785016005"},
               {"+CSCA:\"0161\",129\r", "0161"},
               {"+CSCA: \"\",129\r", ""},
               {"+CSCA: \"002B00340034\",145\r", ""},  // UCS2 hex: not digits alone
               {"+CSCA: \"+44\"\r\nAT+CMGD=1\",145\r", "+44"},
               {"+CSCA: \"+44;D123\",145\r", ""},
               {"+CSCA: \"12+34\",129\r", ""},
               {"+CSCA: \"+4477\r", ""},
               {"+CSCA: 145\r", ""}};
  for (const auto& c : cases) {
    InState(EStateSmsCentre, c.iReply);
    EXPECT_EQ(Narrow(Text(iPhone->LastSmsCentre())), c.iNumber) << c.iReply;
  }
  InState(EStateSmsCentre, "+CSCA: \"+" + std::string(KSmsNumberLength, '1') + "\",145\r");
  EXPECT_EQ(iPhone->LastSmsCentre().Length(), 0);
  InState(EStateSmsCentre, "+CSCA: \"" + std::string(KSmsNumberLength, '1') + "\",129\r");
  EXPECT_EQ(iPhone->LastSmsCentre().Length(), KSmsNumberLength);
}

// Well-formed entries and limits replies are the phonebook_entry fuzz
// target's, value for value; here the shapes outside its model.
TEST_F(ResponseTest, PhoneBookLimitsAndEntries) {
  // A short limits reply keeps the lengths it does not reach.
  TPhoneMemory& fd = iPhone->PhoneSettings().MemoryValues[EFixedDialling];
  InState(EStateLimitsFixedDialling, "+CPBR: (1),20,14\r");
  InState(EStateLimitsFixedDialling, "+CPBR: (5-9)\r");
  EXPECT_EQ(fd.MemLow, 5);
  EXPECT_EQ(fd.MemHigh, 9);
  EXPECT_EQ(fd.MaxNumber, 20);
  EXPECT_EQ(fd.MaxName, 14);

  iPhone->SetResponseState(EStatePhoneBookRead);
  Feed("+CPBR: 7,\"123\"\r");
  Feed("+CPBR: 8,123,129\r+CPBR: 9\r+CPBR: 10,\"\r");  // malformed: skipped
  // A number without a type: reported with its location only.
  ASSERT_EQ(iObserver.iEntries.size(), 1u);
  EXPECT_EQ(iObserver.iEntries[0].iLocation, 7);
  EXPECT_EQ(iObserver.iEntries[0].iNumber.Length(), 0);
  // Outside a read or a limits query "+CPBR" lines are ignored.
  EXPECT_EQ(InState(EStateConnect, "+CPBR: 13,\"1\",129,\"X\"\r"), 0);
  EXPECT_EQ(iObserver.iEntries.size(), 1u);
}

TEST_F(ResponseTest, MessageHeadersFillTheIndexListInState17Only) {
  InState(EStateSmsIndex, "+CMGL: 1,0,,26\r+CMGL:3,1,,20\r+CMGR: 2,,20\r+CMGL: 24\r+CMGL: \r");
  ASSERT_EQ(iPhone->SmsIndexCount(), 5);
  EXPECT_EQ(iPhone->SmsIndexEntry(0).iIndex, 1);
  EXPECT_EQ(iPhone->SmsIndexEntry(0).iStatus, 0);
  EXPECT_EQ(iPhone->SmsIndexEntry(1).iIndex, 3);
  EXPECT_EQ(iPhone->SmsIndexEntry(1).iStatus, 1);
  EXPECT_EQ(iPhone->SmsIndexEntry(2).iIndex, 3);  // "+CMGR" keeps the index
  EXPECT_EQ(iPhone->SmsIndexEntry(2).iStatus, 2);
  EXPECT_EQ(iPhone->SmsIndexEntry(3).iIndex, 24);
  InState(EStateSmsList, "+CMGL: 7,3,,20\r");
  EXPECT_EQ(iPhone->SmsIndexCount(), 5);
  EXPECT_EQ(iPhone->SmsListEntry().iIndex, 7);
  EXPECT_EQ(iPhone->SmsListEntry().iStatus, 3);
}

TEST_F(ResponseTest, ListedPdusAreDecodedAndBadOnesSkipped) {
  // A stored outgoing message, encoded by the codec itself.
  CStdSms* sms = CStdSms::NewL(0);
  ASSERT_NE(sms, nullptr);
  TSmsAddress to;
  to.iNumber.Copy(u"+447700900123");
  sms->AddRecipientL(to);
  sms->SetText(TConstPtr16(u"hello"));
  TPduSmsFormat format;
  ASSERT_EQ(format.EncodePdu(*sms, 0, 801, to), 0);
  delete sms;
  std::string pdu = Narrow(Text(format.SendBuffer()));

  iPhone->SetResponseState(EStateSmsList);
  EXPECT_EQ(Feed("+CMGL: 1,3,,22\r\n" + pdu + "\r\n"), 0);
  EXPECT_EQ(Feed("+CMGL: 2,0,,22\r\nZZZZ\r\n"), 0);
  EXPECT_EQ(Feed("\r\nOK\r\n"), KReplyOk);
  EXPECT_EQ(iPhone->MessageCounter(), 2);
  ASSERT_EQ(iObserver.iSms.size(), 1u);
  EXPECT_EQ(Narrow(iObserver.iSms[0].iText), "hello");
  EXPECT_EQ(iObserver.iSms[0].iStatus, KSmsStatusSent);
  EXPECT_TRUE(Logged("CMobilePhoneBase::DecodeSmsL - Error -20"));
}

TEST_F(ResponseTest, NumbersInReplies) {
  TConstPtr16 line(u"+X: (12-345),\"ab7\"/9)");
  int pos = 4;
  EXPECT_EQ(iPhone->ParseInt(line, pos), 12);
  EXPECT_EQ(pos, 7);
  ++pos;
  EXPECT_EQ(iPhone->ParseInt(line, pos), 345);
  EXPECT_EQ(line[pos], u')');
  pos += 2;
  EXPECT_EQ(iPhone->ParseInt(line, pos), 7);
  EXPECT_EQ(line[pos], u'/');
  EXPECT_EQ(iPhone->ParseIntAt(line, 100), 0);
  EXPECT_EQ(iPhone->ParseIntAt(line, 19), 9);
  EXPECT_EQ(iPhone->ParseIntAt(TConstPtr16(u"99999999999999"), 0), 2147483647);
}

// The edges of the write formats; the usual forms are checked as the phone
// gets them, in phonebook_test.cpp and sms_test.cpp.
TEST_F(ResponseTest, WriteCommandEdges) {
  TModBuf16<256> out;
  iPhone->FormatPhoneNumber(out, 2, TConstPtr16(u""), TConstPtr16(u""));
  EXPECT_EQ(Narrow(Text(out)), "2,\"\",129,\"\"");
  TModBuf16<16> spaced(u"   x y");
  iPhone->StripLeadingSpaces(spaced);
  EXPECT_EQ(Narrow(Text(spaced)), "x y");
}

}  // namespace

namespace {

// A report on reference 42 to +447700900123, without service centre part.
const char KRoutedReport[] = "00062A0C914477000910326221609150030062216091503300" "00";

}  // namespace

TEST_F(ResponseTest, SendReferencesAndRoutedStatusReports) {
  // "+CMGS" gives the reference of the part just handed over, with or
  // without the space and with a time stamp after it.
  EXPECT_EQ(InState(EStateSmsPdu, "\r\n+CMGS: 42\r\n\r\nOK\r\n"), KReplyOk);
  EXPECT_EQ(iPhone->LastMessageReference(), 42);
  EXPECT_EQ(InState(EStateSmsPdu, "\r\n+CMGS:7,\"26/12/06,19:05:30+00\"\r\n\r\nOK\r\n"), KReplyOk);
  EXPECT_EQ(iPhone->LastMessageReference(), 7);
  // Only the reply to a message text counts.
  EXPECT_EQ(InState(EStateConnect, "\r\n+CMGS: 9\r\n\r\nOK\r\n"), KReplyOk);
  EXPECT_EQ(iPhone->LastMessageReference(), 7);

  // A report routed whole while listening wakes the listener with its PDU decoded.
  EXPECT_EQ(InState(EStateListening, "\r\n+CDS: 25\r\n"), 0);
  EXPECT_EQ(Feed(std::string("\r\n") + KRoutedReport + "\r\n"), KReplyIndication);
  ASSERT_EQ(iObserver.iSms.size(), 1u);
  EXPECT_EQ(iObserver.iSms[0].iSender, u"+447700900123");
  // Between two commands it is taken all the same, and the line after it is
  // no report any more.
  EXPECT_EQ(InState(EStateIdle, std::string("\r\n+CDS:25\r\n") + KRoutedReport + "\r\nOK\r\n"), 0);
  EXPECT_EQ(iObserver.iSms.size(), 2u);
}
