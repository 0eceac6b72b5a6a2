// How long a text is as a phone counts it, and how it is cut into parts:
// one set of rules for the compose dialog's counter and for the sender.
#pragma once

#include <wintypes.h>

#include "kernel/descriptors.h"
#include "sms/sms_coding.h"

// The most parts a long message can have: its header counts them in one
// octet. A longer text is refused, never sent.
inline constexpr int KSmsMaxParts = 255;

// One message holds 160 septets, 140 octets or 70 UTF-16 code units; a part of
// a long one loses the room its concatenation header takes.
int SmsSinglePartLimit(TSmsCoding aCoding);
int SmsConcatPartSize(TSmsCoding aCoding);

// The coding the program sends a typed text with: 7-bit when every character
// is in the GSM default alphabet or its extension table, else UCS2.
TSmsCoding SmsCodingForText(const TDesc16& aText);

// Units aText takes in aCoding: septets (an escaped character counts two),
// octets, or UTF-16 code units (a surrogate pair counts two).
int SmsUnits(const TDesc16& aText, TSmsCoding aCoding);

// The next part of aText from character aFrom: as many characters as fit in
// aPartSize units, a character never parted from its escape, nor a surrogate
// pair split. aText is the plain text, escapes not inserted.
struct TSmsPart {
  int iCharacters;
  int iUnits;
};
TSmsPart SmsNextPart(const TDesc16& aText, int aFrom, int aPartSize, TSmsCoding aCoding);

// Parts aText goes out in when sent with aCoding: 0 for an empty text, 1 when
// it fits one message, else the parts of a concatenated message.
int SmsPartsOf(const TDesc16& aText, TSmsCoding aCoding);

// What the compose dialog shows: "75 / 2", and whether it goes as Unicode.
struct TSmsLength {
  TSmsCoding iCoding;  // ESmsCoding7Bit or ESmsCodingUcs2
  int iUnits;          // characters as the phone counts them (see SmsUnits)
  int iParts;          // messages it goes out as; 0 for an empty text
  int iUnitsPerPart;   // room of one part: 160 / 70 for one message, 153 / 67 for more
  bool IsUnicode() const { return iCoding == ESmsCodingUcs2; }
};
TSmsLength SmsLengthOf(const TDesc16& aText);
