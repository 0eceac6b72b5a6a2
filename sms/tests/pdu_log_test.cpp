// The decoder's log lines, read back from a log file under a temporary root.
#include <gtest/gtest.h>

#include <vector>

#include "kernel/log.h"
#include "kernel/tests/log_fixture.h"
#include "sms/tests/sms_test_util.h"

namespace {

class PduLog : public LoggingTest {};

}  // namespace

TEST_F(PduLog, StoredSubmitFailsTwiceThenCompletes) {
  TSmsOwner sms = NewSms();
  ASSERT_EQ(Decode(Widen("0011000B916407281553F80000AA0AE8329BFD4697D9EC37"), *sms), 0);
  EXPECT_EQ(Count("TPduSmsFormat::ConvertToSms"), 1);
  EXPECT_EQ(Count("TPduSmsFormat::DoConvertSms"), 3);
  EXPECT_EQ(Count("TPduSmsFormat::DoConvertSms - ERROR not stored"), 1);  // the second try reads no SUBMIT
  EXPECT_EQ(Count("TPduSmsFormat::ConvertPhoneNum - unknown numbertype 0x0"), 1);
  EXPECT_EQ(Count("TPduSmsFormat::DoConvertSms - phoneNum error -20"), 1);
  EXPECT_EQ(Count("TPduSmsFormat::DoConvertSms - complete ret = 0"), 1);
}

TEST_F(PduLog, RefusalsAndFindingsAreLogged) {
  TSmsOwner sms = NewSms();
  Decode(Widen("04912143F5040A91942143658700242021133295950005C8329BFD06"), *sms);
  EXPECT_GE(Count("TPduSmsFormat::DoConvertSms - dataCoding error 36"), 1);

  Decode(Widen("07A11326040000F0"), *sms);
  EXPECT_GE(Count("TPduSmsFormat::DoConvertSms - numberType corrupt"), 1);

  Decode(Widen("2191" + std::string(64, '1')), *sms);
  EXPECT_GE(Count("TPduSmsFormat::DoConvertSms - corrupt smscentre"), 1);

  Decode(Widen("00040A919421436587000020211332959500" "00"), *sms);
  EXPECT_EQ(Count("TPduSmsFormat::DoConvertSms - no message text"), 1);

  Decode(Widen("04912143F5040A9194214365870000202113329595000E2E184DE69AB9643A6499CD7E03"), *sms);
  EXPECT_EQ(Count("TPduSmsFormat::DoConvertSms - multiPartIdent = 42, totalinSeq = 3, partNoInSeq = 2"), 1);

  // 40 semi-octets do not fit a 32-character number; the rest is dropped.
  Decode(Widen("000428" "91" + std::string(40, '1') + "0000" "20211332959500" "00"), *sms);
  EXPECT_EQ(Count("TPduSmsFormat::ConvertPhoneNum - phonenum too long 40"), 1);
  EXPECT_EQ(sms->RecipientNumber(0).Length(), KSmsNumberLength);

  TSmsOwner empty(CStdSms::NewL(0));
  empty->NumRecipients();
  EXPECT_EQ(Count("CStdSms::NumRecipients = 1"), 1);
}
