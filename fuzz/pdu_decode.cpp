// ConvertToSms on whatever a phone may list as a PDU line.
//
// The first input byte chooses how the rest becomes the line:
//   0: each byte is one character (any text, hexadecimal or not);
//   1: the bytes in upper-case hexadecimal, as phones send them;
//   2: as 1, followed by a stray quote and CR that some phones leave;
//   3: as 1, in lower case (not valid digits for the decoder).
// Properties: the result is 0 or -20; a decoded record's fields stay within
// their limits (a coding the program reads, a reference of 0, 8 or 16
// bits); and decoding into a record still holding another message gives
// exactly what decoding into a new record gives.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_util.h"
#include "sms/pdu_sms_format.h"
#include "sms/sms_coding.h"
#include "sms/std_sms.h"

namespace {

constexpr int KCapabilities = 801;  // what the program passes for every phone

struct SmsOwner {
  explicit SmsOwner(CStdSms* aSms) : sms(aSms) {}
  ~SmsOwner() { delete sms; }
  CStdSms* sms;
};

std::u16string Text(const TDesc16& aText) { return std::u16string(aText.Ptr(), aText.Length()); }

std::u16string MakeLine(const uint8_t* aData, size_t aSize) {
  std::u16string line;
  if (aSize == 0) return line;
  const int mode = aData[0] & 3;
  static const char KUpper[] = "0123456789ABCDEF";
  static const char KLower[] = "0123456789abcdef";
  const char* digits = mode == 3 ? KLower : KUpper;
  for (size_t i = 1; i < aSize; ++i) {
    if (mode == 0) {
      line += static_cast<char16_t>(aData[i]);
    } else {
      line += static_cast<char16_t>(digits[aData[i] >> 4]);
      line += static_cast<char16_t>(digits[aData[i] & 0x0F]);
    }
  }
  if (mode == 2) line += u"\"\r";
  return line;
}

// A record that already holds a message, as a reused one would.
void FillWithOtherMessage(CStdSms& aSms) {
  aSms.SetText(TConstPtr16(u"an earlier message's text"));
  if (TSmsAddress* recipient = aSms.Recipient(0)) recipient->iNumber.Copy(TConstPtr16(u"+4915112345678"));
  aSms.iReceivedCentre.Copy(TConstPtr16(u"4917200000"));
  aSms.iCentreType = 0x91;
  aSms.iFirstOctet = 0x44;
  aSms.iTimeZone = 9;
  aSms.iProtocolId = 0x41;
  aSms.iDataCoding = 0xF4;
  aSms.iConcatReference = 7;
  aSms.iConcatTotal = 3;
  aSms.iConcatPart = 2;
  aSms.iDestinationPort = 2948;
  aSms.iDateSent = FILETIME{0x12345678, 0x01C2A000};
}

void CheckLimits(const CStdSms& aSms) {
  const TDesc16& text = aSms.MessageText();
  FUZZ_CHECK(text.Length() >= 0 && text.Length() <= 255, "text of %d characters", text.Length());
  FUZZ_CHECK(aSms.RecipientNumber(0).Length() <= KSmsNumberLength);
  FUZZ_CHECK(aSms.iReceivedCentre.Length() <= KSmsCentreLength);
  if (aSms.iReceivedCentre.Length() > 0) FUZZ_CHECK(aSms.iCentreType >= 0x80 && aSms.iCentreType <= 0x9F);
  const TSmsCoding coding = SmsCodingOfScheme(aSms.iDataCoding);
  FUZZ_CHECK(coding == ESmsCoding7Bit || coding == ESmsCoding8Bit || coding == ESmsCodingUcs2, "scheme %02x accepted",
             aSms.iDataCoding);
  if (coding == ESmsCoding8Bit) {
    for (int i = 0; i < text.Length(); ++i) FUZZ_CHECK(text.Ptr()[i] <= 0xFF);
  }
  FUZZ_CHECK(aSms.iDestinationPort >= 0 && aSms.iDestinationPort <= 0xFFFF);
  const int bits = aSms.iConcatReferenceBits;
  FUZZ_CHECK(bits == 0 || bits == 8 || bits == 16, "reference of %d bits", bits);
  if (bits == 8) FUZZ_CHECK(aSms.iConcatReference <= 0xFF, "8-bit reference %d", aSms.iConcatReference);
  if (bits == 0) FUZZ_CHECK(aSms.iConcatReference == 0 && aSms.iConcatTotal == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::u16string built = MakeLine(aData, aSize);
  ExactText line(built.size());
  std::copy(built.begin(), built.end(), line.data());
  TConstPtr16 pdu(line.data(), line.length());

  SmsOwner fresh(CStdSms::NewL(0));
  SmsOwner reused(CStdSms::NewL(0));
  FUZZ_CHECK(fresh.sms != nullptr && reused.sms != nullptr);
  FillWithOtherMessage(*reused.sms);

  TPduSmsFormat format;
  const int result = format.ConvertToSms(pdu, *fresh.sms, KCapabilities);
  FUZZ_CHECK(result == 0 || result == KErrCorrupt, "result %d", result);

  TPduSmsFormat again;
  const int reusedResult = again.ConvertToSms(pdu, *reused.sms, KCapabilities);
  FUZZ_CHECK(reusedResult == result, "%d for a new record, %d for a reused one", result, reusedResult);
  if (result != 0) return 0;

  const CStdSms& a = *fresh.sms;
  const CStdSms& b = *reused.sms;
  CheckLimits(a);
  FUZZ_CHECK(Text(a.MessageText()) == Text(b.MessageText()), "text \"%s\" against \"%s\"",
             Printable(Text(a.MessageText())).c_str(), Printable(Text(b.MessageText())).c_str());
  FUZZ_CHECK(Text(a.RecipientNumber(0)) == Text(b.RecipientNumber(0)));
  FUZZ_CHECK(Text(a.iReceivedCentre) == Text(b.iReceivedCentre));
  FUZZ_CHECK(a.iCentreType == b.iCentreType);
  FUZZ_CHECK(a.iFirstOctet == b.iFirstOctet);
  FUZZ_CHECK(a.iProtocolId == b.iProtocolId);
  FUZZ_CHECK(a.iDataCoding == b.iDataCoding);
  FUZZ_CHECK(a.iConcatReference == b.iConcatReference);
  FUZZ_CHECK(a.iConcatReferenceBits == b.iConcatReferenceBits);
  FUZZ_CHECK(a.iConcatTotal == b.iConcatTotal);
  FUZZ_CHECK(a.iConcatPart == b.iConcatPart);
  FUZZ_CHECK(a.iDestinationPort == b.iDestinationPort);
  if ((a.iFirstOctet & 0x01) == 0) {  // a stored SUBMIT is stamped with the time of decoding
    FUZZ_CHECK(a.iTimeZone == b.iTimeZone);
    FUZZ_CHECK(a.DateSent().dwLowDateTime == b.DateSent().dwLowDateTime &&
               a.DateSent().dwHighDateTime == b.DateSent().dwHighDateTime);
  }
  return 0;
}
