#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "sms/tests/sms_test_util.h"

namespace {

// A DELIVER from +31641600986 through centre +31624000000, 26 Aug 2002.
const char KHowAreYou[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";
// The same TPDU without its service centre part.
const char KHowAreYouBare[] = "040B911346610089F60000208062917314080CC8F71D14969741F977FD07";
// A stored SUBMIT to +46708251358 without centre: "hellohello".
const char KStoredSubmit[] = "0011000B916407281553F80000AA0AE8329BFD4697D9EC37";
// DELIVERs through +12345 from +4912345678 stamped 02-12-31 23:59:59, zone 0;
// those with a user data header have the indicator bit (0x40) in the first octet.
const char KPlain[] = "04912143F5040A9194214365870000202113329595000BC8329BFD06DDDF723619";
const char KConcat[] = "04912143F5440A9194214365870000202113329595000F0500032A0201A061391DF4769701";
const char KAlphanumeric[] = "04912143F5040ED0D637396C7EBBCB00002021133295950008C834888E2ECBCB";
const char KEightBitPort[] = "04912143F5440A91942143658700F4202113329595000B0605040B8423F044415441";
const char KScheme24[] = "04912143F5040A91942143658700242021133295950005C8329BFD06";
const char KMarker[] = "04912143F5040A9194214365870000202113329595000E2E184DE69AB9643A6499CD7E03";

// "YYYY-MM-DD hh:mm:ss", UTC.
std::string Stamp(const FILETIME& aTime) {
  SYSTEMTIME t = {};
  FileTimeToSystemTime(&aTime, &t);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}

}  // namespace

TEST(PduDecode, DeliverWithAndWithoutServiceCentre) {
  TDecoded d = DecodeText(KHowAreYou);
  ASSERT_EQ(d.iResult, 0);
  CStdSms& sms = *d.iSms;
  EXPECT_EQ(Text(sms.RecipientNumber(0)), u"+31641600986");
  EXPECT_EQ(Text(sms.MessageText()), u"How are you?");
  EXPECT_EQ(Text(sms.iReceivedCentre), u"31624000000");  // no "+" for the centre
  EXPECT_EQ(sms.iCentreType, 0x91);
  EXPECT_EQ(sms.iFirstOctet, 0x04);
  EXPECT_EQ(sms.iProtocolId, 0);
  EXPECT_EQ(sms.iDataCoding, 0);
  EXPECT_EQ(sms.iTimeZone, 80);  // semi-octets "08" read swapped
  EXPECT_EQ(sms.iConcatTotal, 0);
  EXPECT_FALSE(sms.IsEightBit());
  EXPECT_EQ(Stamp(sms.DateSent()), "2002-08-26 19:37:41");
  // Two-digit years: 80 to 99 are the 1900s, the rest the 2000s.
  for (auto [semiOctets, year] : {std::pair{"58", 1985}, std::pair{"97", 2079}}) {
    std::string pdu = KPlain;
    pdu.replace(pdu.find("202113"), 2, semiOctets);
    TDecoded other = DecodeText(pdu);
    ASSERT_EQ(other.iResult, 0);
    EXPECT_EQ(TimeOf(*other.iSms).wYear, year);
  }

  TDecoded bare = DecodeText(KHowAreYouBare);
  ASSERT_EQ(bare.iResult, 0);
  EXPECT_EQ(Text(bare.iSms->MessageText()), u"How are you?");
  EXPECT_EQ(Text(bare.iSms->RecipientNumber(0)), u"+31641600986");
  EXPECT_EQ(bare.iSms->iReceivedCentre.Length(), 0);
}

TEST(PduDecode, StoredSubmitsHaveNoDateAndMayLackADestination) {
  TDecoded d = DecodeText(KStoredSubmit);
  ASSERT_EQ(d.iResult, 0);
  EXPECT_EQ(Text(d.iSms->RecipientNumber(0)), u"+46708251358");
  EXPECT_EQ(Text(d.iSms->MessageText()), u"hellohello");
  EXPECT_EQ(d.iSms->iFirstOctet, 0x11);
  // The PDU holds no time; the moment it was read is not its date.
  EXPECT_EQ(d.iSms->DateSent().dwHighDateTime, 0u);
  EXPECT_EQ(d.iSms->DateSent().dwLowDateTime, 0u);

  // A draft saved without destination: an unknown address type is accepted.
  TDecoded draft = DecodeText("00110000000000AA02E834");
  ASSERT_EQ(draft.iResult, 0);
  EXPECT_EQ(draft.iSms->RecipientNumber(0).Length(), 0);
  EXPECT_EQ(Text(draft.iSms->MessageText()), u"hi");
  // ...which a DELIVER never gets.
  EXPECT_EQ(DecodeText("0004000000202113329595000102E834").iResult, KErrCorrupt);
}

// Concatenation headers: PduUnicode.HeaderLayouts and the parts of SmsRoundTrip.
TEST(PduDecode, ApplicationPortHeaderInEightBitData) {
  TDecoded port = DecodeText(KEightBitPort);
  ASSERT_EQ(port.iResult, 0);
  EXPECT_TRUE(port.iSms->IsEightBit());
  EXPECT_EQ(port.iSms->iDestinationPort, 0x0B84);
  EXPECT_EQ(Text(port.iSms->MessageText()), u"DATA");
  EXPECT_EQ(port.iSms->iConcatTotal, 0);
}

TEST(PduDecode, AlphanumericOriginatorAndTextMarker) {
  TDecoded alpha = DecodeText(KAlphanumeric);
  ASSERT_EQ(alpha.iResult, 0);
  EXPECT_EQ(Text(alpha.iSms->RecipientNumber(0)), u"Vodafone");
  EXPECT_EQ(Text(alpha.iSms->MessageText()), u"Hi there");

  TDecoded marker = DecodeText(KMarker);
  ASSERT_EQ(marker.iResult, 0);
  EXPECT_EQ(Text(marker.iSms->MessageText()), u"Hello");
  EXPECT_EQ(marker.iSms->iConcatReference, 42);
  EXPECT_EQ(marker.iSms->iConcatTotal, 3);
  EXPECT_EQ(marker.iSms->iConcatPart, 2);
}

// A header indicator with an empty header (length 0), as some phones store
// their own messages: the text follows the empty header, 7-bit text after
// the fill bits up to the next septet.
TEST(PduDecode, AnEmptyUserDataHeaderIsReadPast) {
  TDecoded submit = DecodeText("0051000B916407281553F80000AA070000BACC66BF01");
  ASSERT_EQ(submit.iResult, 0);
  EXPECT_EQ(Text(submit.iSms->MessageText()), u"hello");
  EXPECT_EQ(Text(submit.iSms->RecipientNumber(0)), u"+46708251358");
  EXPECT_EQ(submit.iSms->iConcatTotal, 0);

  TDecoded deliver = DecodeText("04912143F5440A919421436587000020211332959500070000BACC66BF01");
  ASSERT_EQ(deliver.iResult, 0);
  EXPECT_EQ(Text(deliver.iSms->MessageText()), u"hello");
  EXPECT_EQ(Text(deliver.iSms->RecipientNumber(0)), u"+4912345678");

  TDecoded ucs2 = DecodeText("0051000B916407281553F80008AA0D00041F04400438043204350442");
  ASSERT_EQ(ucs2.iResult, 0);
  EXPECT_EQ(Text(ucs2.iSms->MessageText()), u"\u041F\u0440\u0438\u0432\u0435\u0442");

  // Phones store drafts with an absolute (time stamp) or enhanced validity period: seven octets.
  TDecoded absolute = DecodeText("0059000A811032547698000022102131000000070000BACC66BF01");
  ASSERT_EQ(absolute.iResult, 0);
  EXPECT_EQ(Text(absolute.iSms->MessageText()), u"hello");
  TDecoded enhanced = DecodeText("0049000A811032547698000001000000000000070000BACC66BF01");
  ASSERT_EQ(enhanced.iResult, 0);
  EXPECT_EQ(Text(enhanced.iSms->MessageText()), u"hello");
  EXPECT_EQ(Text(enhanced.iSms->RecipientNumber(0)), u"0123456789");
}

TEST(PduDecode, RefusedShapes) {
  EXPECT_EQ(DecodeText(KScheme24).iResult, KErrCorrupt);
  EXPECT_EQ(DecodeText("").iResult, KErrCorrupt);
  EXPECT_EQ(DecodeText("zz").iResult, KErrCorrupt);

  TDecoded d = DecodeText(KHowAreYou);
  TPduSmsFormat format;
  std::u16string line = Widen(KHowAreYou);
  TConstPtr16 pdu(line.data(), static_cast<int>(line.size()));
  ASSERT_EQ(format.ConvertToSms(pdu, *d.iSms, 801), 0);
  // The same line read as a stored SUBMIT or without its centre does not fit.
  EXPECT_EQ(format.DoConvertSms(*d.iSms, false, false), KErrCorrupt);

  std::u16string badType = Widen(KHowAreYou);
  badType.replace(2, 2, u"A1");  // centre type 0xA1
  TConstPtr16 badTypePdu(badType.data(), static_cast<int>(badType.size()));
  format.ConvertToSms(badTypePdu, *d.iSms, 801);
  EXPECT_EQ(format.DoConvertSms(*d.iSms, true, false), KErrCorrupt);

  std::u16string longCentre = u"2191" + std::u16string(64, u'1') + Widen(KHowAreYouBare);
  TConstPtr16 longCentrePdu(longCentre.data(), static_cast<int>(longCentre.size()));
  format.ConvertToSms(longCentrePdu, *d.iSms, 801);
  EXPECT_EQ(format.DoConvertSms(*d.iSms, true, false), KErrCorrupt);
}

TEST(PduDecode, SloppyLinesOfRealPhones) {
  // Lower-case digits, and a stray quote and CR behind the PDU.
  std::string lower = KHowAreYou;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  TDecoded d = DecodeText(lower + "\"\r");
  ASSERT_EQ(d.iResult, 0);
  EXPECT_EQ(Text(d.iSms->MessageText()), u"How are you?");

  // A centre type without digits.
  TDecoded empty = DecodeText(std::string("0181") + KHowAreYouBare);
  ASSERT_EQ(empty.iResult, 0);
  EXPECT_EQ(empty.iSms->iReceivedCentre.Length(), 0);
  EXPECT_EQ(empty.iSms->iCentreType, 0x81);

  // No user data: an empty text, not an error.
  TDecoded none = DecodeText("00040A919421436587000020211332959500" "00");
  ASSERT_EQ(none.iResult, 0);
  EXPECT_EQ(none.iSms->MessageText().Length(), 0);

  // Extra octets after the user data are not text.
  TDecoded padded = DecodeText(std::string(KHowAreYou) + "FFFF00");
  ASSERT_EQ(padded.iResult, 0);
  EXPECT_EQ(Text(padded.iSms->MessageText()), u"How are you?");

  // A scheme with reserved bits in group F (0xF9) is still 7-bit text.
  std::string reserved = KPlain;
  reserved.replace(reserved.find("0000202113"), 4, "00F9");
  TDecoded f9 = DecodeText(reserved);
  ASSERT_EQ(f9.iResult, 0);
  EXPECT_EQ(Text(f9.iSms->MessageText()), u"Hello world");
  EXPECT_EQ(f9.iSms->iDataCoding, 0xF9);

  // A status report listed among the messages reads as a report: reference
  // 14 to +31641600986, status 0. Its stamps name day 62, so they give no time.
  TDecoded report = DecodeText("07911326040000F0060E0B911346610089F620802691731408208026917315080000FFFF");
  ASSERT_EQ(report.iResult, 0);
  EXPECT_TRUE(report.iSms->IsStatusReport());
  EXPECT_EQ(report.iSms->iMessageReference, 14);
  EXPECT_EQ(report.iSms->iReportStatus, 0);
  EXPECT_EQ(Text(report.iSms->RecipientNumber(0)), u"+31641600986");
  EXPECT_EQ(report.iSms->DateSent().dwHighDateTime | report.iSms->DateSent().dwLowDateTime, 0u);
  EXPECT_EQ(report.iSms->MessageText().Length(), 0);

  // 40 semi-octets do not fit a number of 32 characters: the rest is dropped.
  TDecoded longNumber = DecodeText("000428" "91" + std::string(40, '1') + "0000" "20211332959500" "00");
  ASSERT_EQ(longNumber.iResult, 0);
  EXPECT_EQ(longNumber.iSms->RecipientNumber(0).Length(), KSmsNumberLength);

  // Eight-bit data shorter than announced: the text ends with the data.
  TDecoded shortData = DecodeText("00040A91942143658700F4202113329595000A41424344");
  ASSERT_EQ(shortData.iResult, 0);
  EXPECT_EQ(Text(shortData.iSms->MessageText()), u"ABCD");
}

TEST(PduDecode, EveryPrefixDecodesOrIsCorruptWithoutReadingBeyondIt) {
  const char* samples[] = {KHowAreYou, KHowAreYouBare, KStoredSubmit, KConcat,
                           KAlphanumeric, KEightBitPort, KMarker, KPlain};
  for (const char* sample : samples) {
    const size_t length = std::strlen(sample);
    for (size_t n = 0; n <= length; ++n) {
      // An exact heap block: the address sanitizer reports any read past it.
      std::unique_ptr<char16_t[]> line(new char16_t[n == 0 ? 1 : n]);
      for (size_t i = 0; i < n; ++i) line[i] = static_cast<char16_t>(sample[i]);
      TSmsOwner sms = NewSms();
      TPduSmsFormat format;
      int r = format.ConvertToSms(TConstPtr16(line.get(), static_cast<int>(n)), *sms, 801);
      EXPECT_TRUE(r == 0 || r == KErrCorrupt) << sample << " cut at " << n << " gave " << r;
    }
    TSmsOwner whole = NewSms();
    EXPECT_EQ(Decode(Widen(sample), *whole), 0) << sample;
  }
}

// An SMS-STATUS-REPORT on reference 42 to +447700900123: taken 26-12-06
// 19:05:30, handed over 19:05:33, zone 0; no service centre part; the status
// octet follows.
const std::string KReportHead = "00" "06" "2A" "0C91447700091032" "62216091500300" "62216091503300";

TEST(PduDecode, StatusReportGivesReferenceRecipientTimesAndStatus) {
  TDecoded delivered = DecodeText(KReportHead + "00");
  ASSERT_EQ(delivered.iResult, 0);
  CStdSms& sms = *delivered.iSms;
  EXPECT_TRUE(sms.IsStatusReport());
  EXPECT_EQ(sms.iMessageReference, 42);
  EXPECT_EQ(sms.iReportStatus, 0);
  EXPECT_EQ(Text(sms.RecipientNumber(0)), u"+447700900123");
  EXPECT_EQ(Stamp(sms.DateSent()), "2026-12-06 19:05:30");
  EXPECT_EQ(Stamp(sms.iDischargeTime), "2026-12-06 19:05:33");
  EXPECT_EQ(sms.MessageText().Length(), 0);

  // With a service centre part, a failure status and the padding some phones
  // add after a report.
  TDecoded failed = DecodeText("0791447758100650" + KReportHead.substr(2) + "41FFFF");
  ASSERT_EQ(failed.iResult, 0);
  EXPECT_EQ(failed.iSms->iReportStatus, 0x41);
  EXPECT_EQ(failed.iSms->iMessageReference, 42);
  EXPECT_EQ(Text(failed.iSms->RecipientNumber(0)), u"+447700900123");

  // A report without its status octet is corrupt, not a report with status 0.
  TDecoded cut = DecodeText(KReportHead);
  EXPECT_EQ(cut.iResult, KErrCorrupt);
  EXPECT_FALSE(cut.iSms->IsStatusReport());

  // A message decoded after a report in the same record is no report.
  TDecoded reused = DecodeText(KReportHead + "00");
  ASSERT_EQ(Decode(Widen(KHowAreYouBare), *reused.iSms), 0);
  EXPECT_FALSE(reused.iSms->IsStatusReport());
}
