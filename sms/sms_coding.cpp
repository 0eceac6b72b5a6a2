#include "sms/sms_coding.h"

TSmsCoding SmsCodingOfScheme(int aScheme) {
  switch (aScheme & 0xF0) {
    case 0x00:
    case 0x10:
    case 0x20:
    case 0x30:
    case 0x40:
    case 0x50:
    case 0x60:
    case 0x70:
      if (aScheme & 0x20) return ESmsCodingCompressed;
      switch (aScheme & 0x0C) {
        case 0x04: return ESmsCoding8Bit;
        case 0x08: return ESmsCodingUcs2;
        default: return ESmsCoding7Bit;  // 0x0C is reserved and read as the default alphabet
      }
    case 0xC0:
    case 0xD0:
      return ESmsCoding7Bit;  // message waiting, discard or store
    case 0xE0:
      return ESmsCodingUcs2;  // message waiting, store, UCS2
    case 0xF0:
      return (aScheme & 0x04) ? ESmsCoding8Bit : ESmsCoding7Bit;
    default:
      return ESmsCodingReserved;
  }
}

TSmsCoding SmsEncodingOfScheme(int aScheme) {
  const int masked = aScheme & 0xF4;
  if (masked == 0xF4 || masked == 0x84) return ESmsCoding8Bit;
  return SmsCodingOfScheme(aScheme) == ESmsCodingUcs2 ? ESmsCodingUcs2 : ESmsCoding7Bit;
}

int SmsSchemeAsUcs2(int aScheme) {
  if ((aScheme & 0xC0) == 0 && (aScheme & 0x20) == 0) return (aScheme & 0xF3) | KSmsSchemeUcs2;
  return KSmsSchemeUcs2;
}
