// Message text given as bare hexadecimal, outside any PDU.
#include "sms/pdu_sms_format.h"

int TPduSmsFormat::HexOctets(const TDesc16& aHex) {
  int digits = 0;
  while (digits < aHex.Length() && HexDigitValue(aHex[digits]) >= 0) ++digits;
  return digits / 2;
}

void TPduSmsFormat::DecodePackedSeptets(const TDesc16& aHex, TModDesc16& aText) {
  iSource = aHex.Ptr();
  iEnd = HexOctets(aHex) * 2;
  iPos = 0;
  iTruncated = false;
  Unpack7Bit(aText, iEnd / 2 * 8 / 7, true);
}

void TPduSmsFormat::DecodeUcs2(const TDesc16& aHex, TModDesc16& aText) {
  iSource = aHex.Ptr();
  iEnd = HexOctets(aHex) * 2;
  iPos = 0;
  iTruncated = false;
  aText.Zero();
  while (iPos + 4 <= iEnd && aText.Length() < aText.MaxLength()) {
    int high = ReadOctet();
    aText.Append(static_cast<WCHAR>(high << 8 | ReadOctet()));
  }
}
