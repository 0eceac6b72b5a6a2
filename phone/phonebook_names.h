// Phone book names in the phone's UCS2 character set: hexadecimal UTF-16 out,
// and whatever shape a real phone sends back in.
#pragma once

#include "kernel/descriptors.h"

// How the phone wrote a name it sent in UCS2 mode. Real phones differ, and
// one phone keeps to its habit, so the habit seen once settles later names
// that could be read two ways.
enum TNameShape {
  ENameShapeUnknown = 0,
  ENameShapeUcs2,         // hexadecimal UTF-16, high byte first, as specified
  ENameShapeUcs2Swapped,  // hexadecimal UTF-16, low byte first
  ENameShapeHex8Bit,      // hexadecimal of 8-bit text ended by a 00 octet
  ENameShapePlain,        // the text itself, hexadecimal never used
};

// aField is the name field as received (one character a byte); aName gets
// the name, at most its maximum length and never half a surrogate pair.
// aHabit is the phone's habit so far, updated when this name shows it.
void DecodeUcs2ModeName(const TDesc16& aField, TModDesc16& aName, TNameShape& aHabit);

// Appends aName as hexadecimal UTF-16, high byte first ("0041" for "A").
void AppendUcs2Hex(TModDesc16& aOut, const TDesc16& aName);

// The length of aName cut to at most aLimit UTF-16 code units without
// splitting a surrogate pair.
int WholeCharactersLength(const TDesc16& aName, int aLimit);

// 8-bit text as received (a character a byte) to Unicode: UTF-8 when the
// bytes are UTF-8 with at least one multi-byte sequence, else 8859-1 as is.
void DecodeEightBitName(TModDesc16& aName);

// A name is one line: the control characters (C0, DEL, C1, the Unicode line
// and paragraph separators) become spaces, a CR LF pair one space. Imports
// and editors call it, and so does the upload, which must never put a line
// break on the line. In place; returns the new length.
int MakeOneLine(TText16* aText, int aLength);
inline void MakeOneLine(TModDesc16& aText) { aText.SetLength(MakeOneLine(aText.Ptr(), aText.Length())); }
