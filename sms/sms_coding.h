// The alphabet a message's data coding scheme names, and the scheme the
// program sends a text with.
#pragma once

enum TSmsCoding {
  ESmsCoding7Bit,        // GSM 7-bit default alphabet
  ESmsCoding8Bit,        // 8-bit data
  ESmsCodingUcs2,        // UTF-16, big-endian
  ESmsCodingCompressed,  // compressed text, which the program does not read
  ESmsCodingReserved,    // a reserved coding group
};

inline constexpr int KSmsSchemeUcs2 = 0x08;

// The coding a received data coding scheme names: groups 00xx and 01xx by
// bits 3-2 (the reserved value reads as 7-bit) unless bit 5 marks compressed
// text; 1100 and 1101 7-bit; 1110 UCS2; 1111 by bit 2; the rest reserved.
TSmsCoding SmsCodingOfScheme(int aScheme);

// The coding the encoder writes a record's text in: 8-bit when the record's
// scheme passes the 8-bit test (IsEightBit), UCS2 when the scheme names it,
// else 7-bit.
TSmsCoding SmsEncodingOfScheme(int aScheme);

// aScheme changed to name UCS2, keeping the message class of the general
// coding group; schemes of other groups become plain UCS2 (0x08).
int SmsSchemeAsUcs2(int aScheme);
