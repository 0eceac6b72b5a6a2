#include "sms/sms_length.h"

#include "sms/gsm_alphabet.h"

namespace {

bool IsHighSurrogate(WCHAR aChar) { return aChar >= 0xD800 && aChar <= 0xDBFF; }
bool IsLowSurrogate(WCHAR aChar) { return aChar >= 0xDC00 && aChar <= 0xDFFF; }

}  // namespace

int SmsSinglePartLimit(TSmsCoding aCoding) {
  switch (aCoding) {
    case ESmsCoding8Bit: return 140;
    case ESmsCodingUcs2: return 70;
    default: return 160;
  }
}

int SmsConcatPartSize(TSmsCoding aCoding) {
  // The six header octets: 7 septets with the fill bit, or 3 UTF-16 units.
  switch (aCoding) {
    case ESmsCoding8Bit: return 134;
    case ESmsCodingUcs2: return 67;
    default: return 153;
  }
}

TSmsCoding SmsCodingForText(const TDesc16& aText) {
  return IsGsmText(aText) ? ESmsCoding7Bit : ESmsCodingUcs2;
}

int SmsUnits(const TDesc16& aText, TSmsCoding aCoding) {
  if (aCoding == ESmsCoding7Bit) return aText.Length() + CountEscapes(aText);
  return aText.Length();
}

TSmsPart SmsNextPart(const TDesc16& aText, int aFrom, int aPartSize, TSmsCoding aCoding) {
  const WCHAR* text = aText.Ptr();
  const int length = aText.Length();
  TSmsPart part = {0, 0};
  int at = aFrom;
  while (at < length) {
    int characters = 1;
    int units = 1;
    if (aCoding == ESmsCoding7Bit && NeedsEscape(text[at])) {
      units = 2;
    } else if (aCoding == ESmsCodingUcs2 && IsHighSurrogate(text[at]) && at + 1 < length &&
               IsLowSurrogate(text[at + 1])) {
      characters = 2;
      units = 2;
    }
    if (part.iUnits + units > aPartSize) break;
    part.iCharacters += characters;
    part.iUnits += units;
    at += characters;
  }
  return part;
}

int SmsPartsOf(const TDesc16& aText, TSmsCoding aCoding) {
  const int units = SmsUnits(aText, aCoding);
  if (units == 0) return 0;
  if (units <= SmsSinglePartLimit(aCoding)) return 1;
  const int partSize = SmsConcatPartSize(aCoding);
  int parts = 0;
  for (int from = 0; from < aText.Length(); ++parts) {
    from += SmsNextPart(aText, from, partSize, aCoding).iCharacters;
  }
  return parts;
}

TSmsLength SmsLengthOf(const TDesc16& aText) {
  TSmsLength length;
  length.iCoding = SmsCodingForText(aText);
  length.iUnits = SmsUnits(aText, length.iCoding);
  length.iParts = SmsPartsOf(aText, length.iCoding);
  length.iUnitsPerPart =
      length.iParts > 1 ? SmsConcatPartSize(length.iCoding) : SmsSinglePartLimit(length.iCoding);
  return length;
}
