// SMS-STATUS-REPORT: what the network says about a message sent earlier.
#include <gtest/gtest.h>

#include <string>

#include "sms/tests/sms_test_util.h"

namespace {

// Report on reference 42 to +447700900123: taken 26-12-06 19:05:30, handed
// over 19:05:33, zone 0; no service centre part, then the status octet.
const std::string KReportHead = "00" "06" "2A" "0C91447700091032" "62216091500300" "62216091503300";

struct TReport {
  int iResult;
  TSmsOwner iSms;
};

TReport DecodeReport(const std::string& aPdu) {
  TReport report{0, NewSms()};
  report.iResult = Decode(Widen(aPdu), *report.iSms);
  return report;
}

SYSTEMTIME AsSystemTime(const FILETIME& aTime) {
  SYSTEMTIME time = {};
  FileTimeToSystemTime(&aTime, &time);
  return time;
}

}  // namespace

TEST(StatusReport, ReferenceRecipientTimesAndStatus) {
  TReport delivered = DecodeReport(KReportHead + "00");
  ASSERT_EQ(delivered.iResult, 0);
  CStdSms& sms = *delivered.iSms;
  EXPECT_TRUE(sms.IsStatusReport());
  EXPECT_EQ(sms.iMessageReference, 42);
  EXPECT_EQ(sms.iReportStatus, 0);
  EXPECT_EQ(Text(sms.RecipientNumber(0)), u"+447700900123");
  SYSTEMTIME taken = AsSystemTime(sms.DateSent());
  EXPECT_EQ(taken.wYear, 2026);
  EXPECT_EQ(taken.wMonth, 12);
  EXPECT_EQ(taken.wDay, 6);
  EXPECT_EQ(taken.wSecond, 30);
  SYSTEMTIME handed = AsSystemTime(sms.iDischargeTime);
  EXPECT_EQ(handed.wHour, 19);
  EXPECT_EQ(handed.wMinute, 5);
  EXPECT_EQ(handed.wSecond, 33);
  EXPECT_EQ(sms.MessageText().Length(), 0);

  // With a service centre part, a failure status and the padding some phones
  // add after a report.
  TReport failed = DecodeReport("0791447758100650" + KReportHead.substr(2) + "41FFFF");
  ASSERT_EQ(failed.iResult, 0);
  EXPECT_EQ(failed.iSms->iReportStatus, 0x41);
  EXPECT_EQ(failed.iSms->iMessageReference, 42);
  EXPECT_EQ(Text(failed.iSms->RecipientNumber(0)), u"+447700900123");

  // A report without its status octet is corrupt, not a report with status 0.
  TReport cut = DecodeReport(KReportHead);
  EXPECT_EQ(cut.iResult, KErrCorrupt);
  EXPECT_FALSE(cut.iSms->IsStatusReport());

  // A message decoded after a report in the same record is no report.
  TReport reused = DecodeReport(KReportHead + "00");
  ASSERT_EQ(Decode(Widen("040B911346610089F60000208062917314080CC8F71D14969741F977FD07"), *reused.iSms), 0);
  EXPECT_FALSE(reused.iSms->IsStatusReport());
}
