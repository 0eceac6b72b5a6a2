// Encoding of one part of an outgoing message as the hexadecimal PDU for AT+CMGS.
#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"
#include "sms/sms_coding.h"

namespace {

constexpr int KTypeInternational = 0x91;
constexpr int KTypeUnknown = 0x81;
constexpr int KConcatHeaderOctets = 6;
constexpr int KConcatHeaderSeptets = 7;

// Validity period octets (relative format) for the record's validity codes.
int ValidityOctet(int aValidity) {
  switch (aValidity) {
    case ESmsValidityHour: return 0x0B;
    case ESmsValidityDay: return 0xA7;
    case ESmsValidity30Days: return 0xC4;
    case ESmsValidityMaximum: return 0xFF;
    default: return 0xAD;  // one week
  }
}

}  // namespace

void TPduSmsFormat::AppendOctet(int aOctet) {
  static const WCHAR KHex[] = u"0123456789ABCDEF";
  if (iSendBuffer.Length() + 2 > iSendBuffer.MaxLength()) return;
  iSendBuffer.Append(KHex[(aOctet >> 4) & 0x0F]);
  iSendBuffer.Append(KHex[aOctet & 0x0F]);
}

void TPduSmsFormat::AppendDigitPairs(const WCHAR* aDigits, int aCount) {
  // First digit of a pair in the low nibble; 0xF fills after an odd last digit.
  for (int i = 0; i < aCount; i += 2) {
    int low = (aDigits[i] - u'0') & 0x0F;
    int high = i + 1 < aCount ? (aDigits[i + 1] - u'0') & 0x0F : 0x0F;
    AppendOctet(high << 4 | low);
  }
}

void TPduSmsFormat::EncodeAddress(const TDesc16& aNumber) {
  const WCHAR* number = aNumber.Ptr();
  int length = aNumber.Length();
  int type = length > 0 && number[0] == u'+' ? KTypeInternational : KTypeUnknown;
  const WCHAR* digits = type == KTypeInternational ? number + 1 : number;
  int count = type == KTypeInternational ? length - 1 : length;

  // A supplementary-service prefix before an international number
  // ("*31#+4412345") sends only the international number.
  if (length > 0 && number[0] == u'*') {
    int hash = aNumber.Locate(u'#');
    if (hash >= 0 && hash + 2 < length && number[hash + 1] == u'+') {
      digits = number + hash + 2;
      count = length - hash - 2;
      type = KTypeInternational;
    }
  }
  AppendOctet(count);
  AppendOctet(type);
  AppendDigitPairs(digits, count);
}

void TPduSmsFormat::AppendSeptets(const TDesc16& aText, int aFillBits) {
  unsigned accumulator = 0;
  int held = aFillBits;
  const WCHAR* text = aText.Ptr();
  for (int i = 0; i < aText.Length(); ++i) {
    bool escaped = false;
    bool notFound = false;
    // An escape goes out as one only before the character it was put in for;
    // any other is an ESC of the text, which must not change what follows.
    const bool introduces = text[i] == KGsmEscape && i + 1 < aText.Length() && NeedsEscape(text[i + 1]);
    const int code = introduces ? KGsmEscape : LatinToGsm(text[i], escaped, notFound);
    accumulator |= static_cast<unsigned>(code & 0x7F) << held;
    held += 7;
    while (held >= 8) {
      AppendOctet(accumulator & 0xFF);
      accumulator >>= 8;
      held -= 8;
    }
  }
  if (held > 0) AppendOctet(accumulator & 0xFF);  // completed with zero bits
}

void TPduSmsFormat::AppendUcs2(const TDesc16& aText) {
  // UTF-16 code units high octet first; surrogate pairs go as they stand.
  const WCHAR* text = aText.Ptr();
  for (int i = 0; i < aText.Length(); ++i) {
    AppendOctet(text[i] >> 8);
    AppendOctet(text[i] & 0xFF);
  }
}

int TPduSmsFormat::EncodePdu(const CStdSms& aPart, int aRecipient, int aCapabilities, const TSmsAddress& aCentre) {
  iSendBuffer.Zero();
  iCentreOctets = 0;
  iSendCapabilities = aCapabilities;

  const TDesc16& centre = aCentre.iNumber;
  const WCHAR* centreText = centre.Ptr();
  const bool international = centre.Length() > 0 && centreText[0] == u'+';
  const int centreDigits = international ? centre.Length() - 1 : centre.Length();
  const int addressOctets = (centreDigits + 1) / 2 + 1;
  iCentreOctets = addressOctets + 1;
  AppendOctet(addressOctets);
  AppendOctet(international ? KTypeInternational : KTypeUnknown);
  AppendDigitPairs(international ? centreText + 1 : centreText, centreDigits);

  const bool concat = aPart.iConcatTotal != 0;
  int firstOctet = 0x11;  // SMS-SUBMIT, relative validity period
  if (concat || (aPart.iFlags & KSmsFlagForceHeader) != 0) firstOctet = 0x51;
  if ((aPart.iFlags & KSmsFlagHeaderText) != 0 && aPart.iHeaderText.Length() == 0) firstOctet |= 0x20;
  if ((aPart.iFlags & KSmsFlagStatusReport) != 0) firstOctet |= 0x20;  // TP-SRR
  AppendOctet(firstOctet);
  AppendOctet(0x00);  // message reference: the phone assigns it

  const TDesc16& recipient = aPart.RecipientNumber(aRecipient);
  EncodeAddress(recipient);
  AppendOctet(aPart.iProtocolId);
  AppendOctet(aPart.iDataCoding);
  AppendOctet(ValidityOctet(aPart.SmsValidity()));

  const TDesc16& text = aPart.MessageText();
  const TSmsCoding coding = SmsEncodingOfScheme(aPart.iDataCoding);
  // 7-bit data counts septets, the header taking 7 with its fill bit; the
  // others count octets, the header taking 6.
  int userDataLength = text.Length() + (concat ? KConcatHeaderSeptets : 0);
  if (coding == ESmsCoding8Bit) userDataLength = text.Length() + (concat ? KConcatHeaderOctets : 0);
  if (coding == ESmsCodingUcs2) userDataLength = 2 * text.Length() + (concat ? KConcatHeaderOctets : 0);
  AppendOctet(userDataLength);
  if (concat) {
    AppendOctet(0x05);
    AppendOctet(0x00);
    AppendOctet(0x03);
    AppendOctet(aPart.iConcatReference & 0xFF);
    AppendOctet(aPart.iConcatTotal);
    AppendOctet(aPart.iConcatPart);
  }

  if (coding == ESmsCoding8Bit) {
    const WCHAR* data = text.Ptr();
    for (int i = 0; i < text.Length(); ++i) AppendOctet(data[i] & 0xFF);
  } else if (coding == ESmsCodingUcs2) {
    AppendUcs2(text);
  } else {
    // The header's 48 bits are followed by one fill bit so the text starts on a septet.
    AppendSeptets(text, concat ? 1 : 0);
  }
  return 0;
}

int TPduSmsFormat::TpduLength() const { return iSendBuffer.Length() / 2 - iCentreOctets; }
