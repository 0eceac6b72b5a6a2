// Reading primitives of the decoder: octets, semi-octets, addresses, septets.
#include "kernel/log.h"
#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"

int TPduSmsFormat::HexDigitValue(WCHAR aChar) {
  // Some phones list their PDUs in lower case.
  if (aChar >= u'0' && aChar <= u'9') return aChar - u'0';
  if (aChar >= u'A' && aChar <= u'F') return aChar - u'A' + 10;
  if (aChar >= u'a' && aChar <= u'f') return aChar - u'a' + 10;
  return -1;
}

void TPduSmsFormat::AppendSemiOctet(TModDesc16& aText, int aNibble) {
  if (aNibble >= 10) {
    if (aText.Length() < aText.MaxLength()) aText.Append(static_cast<WCHAR>(u'1'));
    aNibble -= 10;
  }
  if (aText.Length() < aText.MaxLength()) aText.Append(static_cast<WCHAR>(u'0' + aNibble));
}

TPduSmsFormat::TPduSmsFormat() {}

int TPduSmsFormat::ReadOctet() {
  int octet = PeekOctet();
  if (!iTruncated) iPos += 2;
  return octet;
}

int TPduSmsFormat::PeekOctet() {
  if (!HasOctet()) {
    iTruncated = true;
    return 0;
  }
  return HexDigitValue(iSource[iPos]) * 16 + HexDigitValue(iSource[iPos + 1]);
}

int TPduSmsFormat::ReadSemiOctets() {
  if (!HasOctet()) {
    iTruncated = true;
    return 0;
  }
  int value = HexDigitValue(iSource[iPos + 1]) * 10 + HexDigitValue(iSource[iPos]);
  iPos += 2;
  return value;
}

int TPduSmsFormat::ConvertPhoneNum(TModDesc16& aNumber) {
  aNumber.Zero();
  int digits = ReadOctet();
  if (digits > aNumber.MaxLength()) {
    LogMessage(KLogFilePath, u"TPduSmsFormat::ConvertPhoneNum - phonenum too long %1!d!", digits);
  }
  int type = ReadOctet();
  if (iTruncated) return KErrCorrupt;
  int octets = (digits + 1) / 2;
  int fieldEnd = iPos + octets * 2;
  if (fieldEnd > iEnd) {
    iTruncated = true;
    return KErrCorrupt;
  }

  switch (type & 0xF0) {
    case 0xD0:
      // Alphanumeric: the semi-octet count covers the septets; the field's
      // octets are skipped whole whatever the packing consumed.
      Unpack7Bit(aNumber, digits * 4 / 7, true);
      iPos = fieldEnd;
      return 0;
    case 0x90:
      if (aNumber.Length() < aNumber.MaxLength()) aNumber.Append(static_cast<WCHAR>(u'+'));
      [[fallthrough]];
    case 0x80:
    case 0xA0:
    case 0xB0:
    case 0xC0:
    case 0xE0:
      for (int i = 0; i < octets; ++i) {
        int octet = ReadOctet();
        if (aNumber.Length() >= aNumber.MaxLength()) continue;
        AppendSemiOctet(aNumber, octet & 0x0F);
        if ((octet & 0xF0) != 0xF0) AppendSemiOctet(aNumber, octet >> 4);
      }
      return 0;
    default:
      LogMessage(KLogFilePath, u"TPduSmsFormat::ConvertPhoneNum - unknown numbertype 0x%1!x!", type);
      return KErrCorrupt;
  }
}

void TPduSmsFormat::Unpack7Bit(TModDesc16& aText, int aCount, bool aConvert) {
  aText.Zero();
  if (aCount > aText.MaxLength()) aCount = aText.MaxLength();
  WCHAR* out = aText.Ptr();
  int length = 0;
  // Septets are packed from the lowest bit of the first octet upwards, so
  // seven octets hold eight septets. A source that runs out supplies zero bits.
  unsigned accumulator = 0;
  int held = 0;
  while (length < aCount) {
    if (held < 7) {
      if (HasOctet()) accumulator |= static_cast<unsigned>(ReadOctet()) << held;
      held += 8;
    }
    out[length++] = static_cast<WCHAR>(accumulator & 0x7F);
    accumulator >>= 7;
    held -= 7;
  }
  if (aConvert) length = GsmToLatin(out, length);
  aText.SetLength(length);
  if (length < aText.MaxLength()) aText.ZeroTerminate();
}
