// A time stamp's zone, read from the PDU, and the stamp as UTC.
#include <gtest/gtest.h>

#include <string>

#include "sms/sms_time_stamp.h"
#include "sms/tests/sms_test_util.h"

namespace {

// A deliver PDU stamped 2024-03-08 18:15:00 in the zone of the octet aZone.
std::string StampedAt(const std::string& aZone) {
  return "04912143F5040A9194214365870000" "423080815100" + aZone + "0BC8329BFD06DDDF723619";
}

ULONGLONG TimeValue(const FILETIME& aTime) { return (ULONGLONG{aTime.dwHighDateTime} << 32) | aTime.dwLowDateTime; }

FILETIME At(WORD aDay, WORD aHour, WORD aMinute) {
  SYSTEMTIME time = {2024, 3, 0, aDay, aHour, aMinute, 0, 0};
  FILETIME file = {};
  SystemTimeToFileTime(&time, &file);
  return file;
}

}  // namespace

TEST(SmsTimeStamp, QuarterHourZonesBothWaysGiveUtc) {
  struct TCase {
    const char* iOctet;  // as the PDU holds it: the tens' digit (and sign bit) in the low nibble
    int iMinutes;
    FILETIME iUtc;
  };
  const TCase cases[] = {
      {"23", 8 * 60, At(8, 10, 15)},           // +08:00, 32 quarters
      {"49", -(3 * 60 + 30), At(8, 21, 45)},   // -03:30, 14 quarters, the sign bit set
      {"22", 5 * 60 + 30, At(8, 12, 45)},      // +05:30
      {"00", 0, At(8, 18, 15)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.iOctet);
    TDecoded decoded = DecodeText(StampedAt(c.iOctet));
    ASSERT_EQ(decoded.iResult, 0);
    EXPECT_EQ(Text(decoded.iSms->MessageText()), u"Hello world");
    // The record keeps the stamp as written; the zone says how far from UTC it is.
    EXPECT_EQ(TimeValue(decoded.iSms->DateSent()), TimeValue(At(8, 18, 15)));
    const int minutes = SmsZoneMinutes(decoded.iSms->iTimeZone);
    EXPECT_EQ(minutes, c.iMinutes);
    EXPECT_EQ(TimeValue(SmsStampToUtc(decoded.iSms->DateSent(), minutes)), TimeValue(c.iUtc));
  }

  // A status report's discharge time has a zone of its own: taken at +08:00,
  // discharged at -03:30.
  TDecoded report = DecodeText("0006" "2A" "0C91447700091032" "423080815100" "23" "423080815100" "49" "00");
  ASSERT_EQ(report.iResult, 0);
  EXPECT_EQ(SmsZoneMinutes(report.iSms->iTimeZone), 8 * 60);
  EXPECT_EQ(SmsZoneMinutes(report.iSms->iDischargeZone), -(3 * 60 + 30));

  // A zone beyond any network's is taken as UTC; a stamp without a time stays so.
  EXPECT_EQ(SmsZoneMinutes(79), 0);
  EXPECT_EQ(TimeValue(SmsStampToUtc(FILETIME{0, 0}, 8 * 60)), 0u);
}
