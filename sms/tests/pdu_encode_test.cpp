#include <gtest/gtest.h>

#include <vector>

#include "sms/gsm_alphabet.h"
#include "sms/tests/sms_test_util.h"

namespace {

TSmsAddress Centre(const char16_t* aNumber) {
  TSmsAddress centre;
  centre.iNumber.Copy(aNumber);
  return centre;
}

TSmsOwner Outgoing(const std::u16string& aText, const char16_t* aTo = u"+4912345678") {
  TSmsOwner sms = NewSms();
  sms->Recipient(0)->iNumber.Copy(aTo);
  sms->SetText(TConstPtr16(aText.data(), static_cast<int>(aText.size())));
  return sms;
}

std::string Encode(const CStdSms& aSms, TPduSmsFormat& aFormat, const char16_t* aCentre = u"+12345") {
  EXPECT_EQ(aFormat.EncodePdu(aSms, 0, 801, Centre(aCentre)), 0);
  return Narrow(aFormat.SendBuffer());
}

// What the sender does before encoding: escape characters get 0x1B in front.
std::u16string WithEscapes(const std::u16string& aText) {
  std::vector<char16_t> buffer(aText.size() * 2 + 1);
  TModPtr16 text(buffer.data(), static_cast<int>(buffer.size()));
  text.Copy(aText.data(), static_cast<int>(aText.size()));
  InsertEscapes(text);
  return Text(text);
}

}  // namespace

TEST(PduEncode, ServiceCentreAndOneShortMessage) {
  TPduSmsFormat format;
  TSmsOwner sms = Outgoing(u"hi");
  std::string pdu = Encode(*sms, format);
  // centre | SUBMIT, ref | destination | pid dcs | one week | length, "hi"
  EXPECT_EQ(pdu, "04912143F5" "1100" "0A919421436587" "0000" "AD" "02E834");
  EXPECT_EQ(format.ServiceCentreOctets(), 5);
  EXPECT_EQ(format.TpduLength(), static_cast<int>(pdu.size()) / 2 - 5);

  // A national centre number with an even digit count.
  std::string national = Encode(*sms, format, u"0612");
  EXPECT_EQ(national.substr(0, 8), "03816021");
  EXPECT_EQ(format.ServiceCentreOctets(), 4);
}

TEST(PduEncode, ConcatenationHeaderAndFillBit) {
  TPduSmsFormat format;
  TSmsOwner sms = Outgoing(u"hi");
  sms->iConcatReference = 0x2A;
  sms->iConcatTotal = 3;
  sms->iConcatPart = 2;
  std::string pdu = Encode(*sms, format);
  EXPECT_EQ(pdu, "04912143F5" "5100" "0A919421436587" "0000" "AD" "09" "0500032A0302" "D069");
}

TEST(PduEncode, FirstOctetValidityAndEscapes) {
  TPduSmsFormat format;
  TSmsOwner sms = Outgoing(u"\"");
  const std::pair<int, const char*> validity[] = {{0, "0B"}, {1, "A7"}, {2, "AD"}, {3, "C4"}, {4, "FF"}, {9, "AD"}};
  for (auto [code, octet] : validity) {
    sms->SmsValidity() = code;
    std::string pdu = Encode(*sms, format);
    EXPECT_EQ(pdu.substr(pdu.size() - 6, 2), octet) << "validity " << code;
    EXPECT_EQ(pdu.substr(pdu.size() - 4), "0127");  // a double quote goes out as an apostrophe
  }

  sms->iFlags = KSmsFlagForceHeader;
  EXPECT_EQ(Encode(*sms, format).substr(10, 2), "51");
  sms->iFlags = KSmsFlagHeaderText;  // status report requested when there is no header text
  EXPECT_EQ(Encode(*sms, format).substr(10, 2), "31");
  sms->iHeaderText.Copy(u"x");
  EXPECT_EQ(Encode(*sms, format).substr(10, 2), "11");
  sms->iFlags = KSmsFlagStatusReport;  // the delivery-report setting
  EXPECT_EQ(Encode(*sms, format).substr(10, 2), "31");
  sms->iFlags = KSmsFlagStatusReport | KSmsFlagForceHeader;
  EXPECT_EQ(Encode(*sms, format).substr(10, 2), "71");

  TSmsOwner brace = Outgoing(WithEscapes(u"{"));
  std::string pdu = Encode(*brace, format);
  EXPECT_EQ(pdu.substr(pdu.size() - 6), "021B14");  // two septets: 0x1B 0x28
}

TEST(PduEncode, AnEscOfTheTextNeverGoesOutAsTheEscapeCode) {
  // The sender sends a text holding ESC as UCS2, which carries it as it is.
  TSmsOwner sender = Outgoing(u"\x1B{");
  EXPECT_EQ(sender->SendingCoding(), ESmsCodingUcs2);

  // Made to go as 7-bit, each ESC is a space, and only the escape put in
  // before the brace goes out as 0x1B: septets 20 20 1B 28, never 1B 1B.
  TPduSmsFormat format;
  TSmsOwner forced = Outgoing(WithEscapes(u"\x1B\x1B{"));
  ASSERT_EQ(Text(forced->MessageText()), u"\x1B\x1B\x1B{");
  std::string pdu = Encode(*forced, format);
  EXPECT_EQ(pdu.substr(pdu.size() - 10), "0420D00605");
  TSmsOwner back = NewSms();
  ASSERT_EQ(Decode(Widen(pdu), *back), 0) << pdu;
  EXPECT_EQ(Text(back->MessageText()), u"  {");
}

TEST(PduEncode, EightBitData) {
  TPduSmsFormat format;
  TSmsOwner sms = Outgoing(u"AB\xFF");
  sms->iDataCoding = 0xF4;
  std::string pdu = Encode(*sms, format);
  EXPECT_EQ(pdu.substr(pdu.size() - 12), "F4AD034142FF");

  sms->iConcatReference = 1;
  sms->iConcatTotal = 2;
  sms->iConcatPart = 2;
  pdu = Encode(*sms, format);
  EXPECT_EQ(pdu.substr(pdu.size() - 22), "AD" "09" "050003010202" "4142FF");
}

TEST(PduEncode, AddressForms) {
  TPduSmsFormat format;
  EXPECT_EQ(Encode(*Outgoing(u"x", u"0123"), format).substr(14, 8), "04811032");
  // A supplementary-service prefix before an international number.
  EXPECT_EQ(Encode(*Outgoing(u"x", u"*31#+4412345"), format).substr(14, 12), "0791442143F5");
  // Without "+" behind the "#" the whole number is dialled, "*" and "#" as nibbles.
  EXPECT_EQ(Encode(*Outgoing(u"x", u"*31#12"), format).substr(14, 10), "06813A3121");
}

TEST(PduEncode, SevenBitRoundTripsForEveryLength) {
  const std::u16string alphabet = RoundTripAlphabet();
  size_t next = 0;
  for (int septets = 0; septets <= 160; ++septets) {
    // Fill exactly `septets` septets, walking through the whole alphabet.
    std::u16string text;
    int used = 0;
    while (used < septets) {
      char16_t c = alphabet[next++ % alphabet.size()];
      int cost = NeedsEscape(c) ? 2 : 1;
      if (used + cost > septets) c = u'x', cost = 1;
      // A text beginning with "@" octets could pass for a user data header.
      if (used == 0 && c == u'@') c = u'A';
      text += c;
      used += cost;
    }
    TSmsOwner sms = Outgoing(WithEscapes(text));
    TPduSmsFormat format;
    std::string pdu = Encode(*sms, format);

    TSmsOwner back = NewSms();
    ASSERT_EQ(Decode(Widen(pdu), *back), 0) << pdu;
    EXPECT_EQ(Text(back->MessageText()), text) << "septets " << septets;
    EXPECT_EQ(Text(back->RecipientNumber(0)), u"+4912345678");
  }
  EXPECT_GE(next, alphabet.size());  // every character went through at least once
}
