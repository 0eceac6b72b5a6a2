// Decoding of every data coding group, of user data headers of every layout
// and of the national language shift tables. The PDUs were packed by hand
// from 3GPP TS 23.038 / 23.040, not by the program's encoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sms/gsm_alphabet.h"
#include "sms/gsm_shift_tables.h"
#include "sms/sms_coding.h"
#include "sms/tests/sms_test_util.h"

namespace {

// A DELIVER through +12345 from +4912345678, 02-12-31 23:59:59, with the
// given first octet, scheme, user data length and user data.
std::string Deliver(int aFirstOctet, int aScheme, int aUserDataLength, const std::string& aUserData) {
  char fields[16];
  std::snprintf(fields, sizeof fields, "%02X", aFirstOctet);
  std::string pdu = std::string("04912143F5") + fields + "0A919421436587" + "00";
  std::snprintf(fields, sizeof fields, "%02X", aScheme);
  pdu += std::string(fields) + "20211332959500";
  std::snprintf(fields, sizeof fields, "%02X", aUserDataLength);
  return pdu + fields + aUserData;
}

std::u16string TextOf(const std::string& aPdu) {
  TDecoded decoded = DecodeText(aPdu);
  EXPECT_EQ(decoded.iResult, 0) << aPdu;
  return decoded.iResult == 0 ? Text(decoded.iSms->MessageText()) : std::u16string();
}

}  // namespace

TEST(PduUnicode, EveryDataCodingGroup) {
  // "hi" as septets, octets and UTF-16; each scheme must pick the right one.
  const std::string sevenBit = "02E834";
  const std::string eightBit = "026869";
  const std::string ucs2 = "0400680069";
  struct TCase {
    int iScheme;
    TSmsCoding iCoding;
  };
  const TCase cases[] = {
      {0x00, ESmsCoding7Bit}, {0x01, ESmsCoding7Bit}, {0x10, ESmsCoding7Bit}, {0x13, ESmsCoding7Bit},
      {0x0C, ESmsCoding7Bit},  // reserved alphabet: read as the default one
      {0x04, ESmsCoding8Bit}, {0x15, ESmsCoding8Bit}, {0x08, ESmsCodingUcs2}, {0x18, ESmsCodingUcs2},
      {0x40, ESmsCoding7Bit}, {0x44, ESmsCoding8Bit}, {0x48, ESmsCodingUcs2},  // marked for automatic deletion
      {0xC0, ESmsCoding7Bit}, {0xC8, ESmsCoding7Bit}, {0xD3, ESmsCoding7Bit},  // message waiting
      {0xE0, ESmsCodingUcs2}, {0xEB, ESmsCodingUcs2}, {0xF0, ESmsCoding7Bit}, {0xF3, ESmsCoding7Bit},
      {0xF4, ESmsCoding8Bit}, {0xF7, ESmsCoding8Bit},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(SmsCodingOfScheme(c.iScheme), c.iCoding) << "scheme " << c.iScheme;
    const std::string& data = c.iCoding == ESmsCoding7Bit ? sevenBit : c.iCoding == ESmsCoding8Bit ? eightBit : ucs2;
    TDecoded d = DecodeText(Deliver(0x04, c.iScheme, std::stoi(data.substr(0, 2), nullptr, 16), data.substr(2)));
    ASSERT_EQ(d.iResult, 0) << "scheme " << c.iScheme;
    EXPECT_EQ(Text(d.iSms->MessageText()), u"hi") << "scheme " << c.iScheme;
    EXPECT_EQ(d.iSms->iDataCoding, c.iScheme);
  }
  // Compressed text and the reserved groups 1000 to 1011 are refused.
  for (int scheme : {0x20, 0x24, 0x28, 0x3F, 0x60, 0x6C, 0x80, 0x94, 0xA8, 0xBF}) {
    EXPECT_EQ(DecodeText(Deliver(0x04, scheme, 2, "E834")).iResult, KErrCorrupt) << "scheme " << scheme;
  }
}

TEST(PduUnicode, Ucs2TextKeepsEveryScript) {
  // Cyrillic, Chinese and an emoji (a surrogate pair) from a real phone's listing.
  const std::string pdu =
      "04912143F5040A9194214365870008202113329595001C041F04400438043204350442002C00204E16754C00210020D83DDE00";
  EXPECT_EQ(TextOf(pdu), u"\u041F\u0440\u0438\u0432\u0435\u0442, \u4E16\u754C! \U0001F600");
  // An odd trailing octet is dropped, not read as half a character.
  EXPECT_EQ(TextOf("04912143F5040A91942143658700082021133295950005006F006B41"), u"ok");
  // A length beyond the data reads what there is.
  EXPECT_EQ(TextOf(Deliver(0x04, 0x08, 8, "00410042")), u"AB");
}

TEST(PduUnicode, SevenBitTextWithEuroAndGreekCapitals) {
  const std::string pdu =
      "04912143F5040A9194214365870000202113329595002450797A5C06A5E7A0980CB42983E06539889E1EAFCB74104432A1542C174C4603";
  EXPECT_EQ(TextOf(pdu), u"Price is 12 \u20AC per ticket \u0394\u03A6\u0393\u039B\u03A9\u03A0\u03A8\u03A3\u0398\u039E");
  // An escape after an escape is reserved for a further table: a space, as a
  // receiver without it shows. A trailing escape has no character: U+FFFD, never dropped.
  EXPECT_EQ(TextOf("04912143F5040A91942143658700002021133295950005C1CD46B801"), u"A B\uFFFD");
}

TEST(PduUnicode, HeaderLayouts) {
  // A 16-bit reference (IE 0x08) in a UCS2 part.
  TDecoded ucs2 = DecodeText(
      "04912143F5440A91942143658700082021133295950019060804123403020427043004410442044C0020043404320430");
  ASSERT_EQ(ucs2.iResult, 0);
  EXPECT_EQ(ucs2.iSms->iConcatReference, 0x1234);
  EXPECT_EQ(ucs2.iSms->iConcatReferenceBits, 16);
  EXPECT_EQ(ucs2.iSms->iConcatTotal, 3);
  EXPECT_EQ(ucs2.iSms->iConcatPart, 2);
  EXPECT_EQ(Text(ucs2.iSms->MessageText()), u"\u0427\u0430\u0441\u0442\u044C \u0434\u0432\u0430");

  // An unknown element first, then the 8-bit concatenation: 10 header octets
  // and 4 fill bits before the text.
  TDecoded longHeader = DecodeText(
      "04912143F5440A9194214365870000202113329595001F090A02AABB00030502011036D3CB725018C47EBBCF2074394C2ECB01");
  ASSERT_EQ(longHeader.iResult, 0);
  EXPECT_EQ(longHeader.iSms->iConcatReference, 5);
  EXPECT_EQ(longHeader.iSms->iConcatReferenceBits, 8);
  EXPECT_EQ(longHeader.iSms->iConcatTotal, 2);
  EXPECT_EQ(longHeader.iSms->iConcatPart, 1);
  EXPECT_EQ(Text(longHeader.iSms->MessageText()), u"after a long header");

  // 8-bit application ports (IE 0x04) in 8-bit data.
  TDecoded ports = DecodeText("04912143F5440A91942143658700F42021133295950009040402102044415441");
  ASSERT_EQ(ports.iResult, 0);
  EXPECT_EQ(ports.iSms->iDestinationPort, 0x10);
  EXPECT_EQ(Text(ports.iSms->MessageText()), u"DATA");
  EXPECT_EQ(ports.iSms->iConcatReferenceBits, 0);

  // Without the indicator bit the same octets are text.
  EXPECT_EQ(TextOf("04912143F5040A91942143658700F42021133295950009040402102044415441"),
            (std::u16string{0x04, 0x04, 0x02, 0x10, 0x20, u'D', u'A', u'T', u'A'}));

  // A concatenation element numbering a part beyond its total is void.
  TDecoded beyond = DecodeText(Deliver(0x44, 0x08, 8, "050003070203" "0041"));
  ASSERT_EQ(beyond.iResult, 0);
  EXPECT_EQ(beyond.iSms->iConcatTotal, 0);
  EXPECT_EQ(Text(beyond.iSms->MessageText()), u"A");

  // A header longer than the PDU, or than the user data, is corrupt.
  EXPECT_EQ(DecodeText(Deliver(0x44, 0x08, 8, "0A0003070102")).iResult, KErrCorrupt);
  EXPECT_EQ(DecodeText(Deliver(0x44, 0x08, 4, "050003070102" "0041")).iResult, KErrCorrupt);
}

TEST(PduUnicode, NationalLanguageShiftTables) {
  // Turkish locking shift only: a 4-octet header and 3 fill bits.
  EXPECT_EQ(TextOf("04912143F5440A919421436587000020211332959500160325010148760E6BD0C2EF2E77404070DA0D2200"),
            u"I\u015F\u0131k \u011E\u00FCne\u015F \u0130\u00E7in \u20AC");
  // Turkish locking and single shift: escaped s-cedilla, c-cedilla and "[";
  // an escaped code the single-shift table lacks reads from the locking table.
  EXPECT_EQ(TextOf("04912143F5440A91942143658700002021133295950011062501012401019BF9667CD8F03641"),
            u"\u015F\u00E7\u0131[A");
  // Portuguese single shift over the default alphabet.
  EXPECT_EQ(TextOf("04912143F5440A9194214365870000202113329595000C03240103D81436898D2408"),
            u"\u00EA\u00E7\u03A6A");
}

// The tables' contents are checked through the decoding above; these are the
// lookups at their edges.
TEST(PduUnicode, ShiftTableLookupsAtTheirEdges) {
  EXPECT_EQ(GsmLockingShiftTable(EGsmLanguageBengali)[0x11], KReplacementChar);  // a code the table leaves empty
  EXPECT_EQ(GsmLockingShiftTable(EGsmLanguageSpanish)[0x10], 0x0394);  // no Spanish locking table: the default alphabet
  EXPECT_EQ(GsmSingleShiftTable(EGsmLanguageTurkish)[0x41], 0);  // empty: the locking table's character stands
  // An unknown language identifier reads with the default tables.
  EXPECT_EQ(GsmLockingShiftTable(14)[0x10], 0x0394);
  EXPECT_EQ(GsmSingleShiftTable(200)[0x65], 0x20AC);
}
