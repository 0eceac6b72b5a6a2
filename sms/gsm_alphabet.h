// The GSM 03.38 default alphabet and its mapping to ISO 8859-1, as used for
// message text, alphanumeric senders and phone book names.
#pragma once

#include <windows.h>

#include "kernel/descriptors.h"

// One row of an alphabet table: a GSM code and the 8859-1 character it stands for.
struct TGsmLatinPair {
  int iGsm;
  int iLatin;
};

inline constexpr int KGsmEscape = 0x1B;
inline constexpr int KGsmMainRows = 128;
inline constexpr int KGsmEscapeRows = 10;

// Both tables end with the row (-1, -1).
extern const TGsmLatinPair KGsmMainTable[KGsmMainRows + 1];
extern const TGsmLatinPair KGsmEscapeTable[KGsmEscapeRows + 1];

// The GSM code for one 8859-1 character. aEscaped tells that the code belongs
// to the escape table (send 0x1B first); aNotFound that the character has no
// GSM code and was replaced. Both flags are cleared on entry.
int LatinToGsm(WCHAR aChar, bool& aEscaped, bool& aNotFound);

// Raw-buffer forms of the descriptor operations below; each returns the new length.
int GsmToLatin(WCHAR* aText, int aLength);
int ConvertToGsm(WCHAR* aText, int aLength, int aMaxLength);
int InsertEscapes(WCHAR* aText, int aLength, int aMaxLength);

// Whether aChar is sent as an escape sequence ("e" never is: it is not the euro).
bool NeedsEscape(WCHAR aChar);

// In place, GSM codes to 8859-1; escape sequences become one character.
void GsmToLatin(TModDesc16& aText);
// In place, 8859-1 to GSM codes, with 0x1B before each escaped code. Escapes
// that do not fit the descriptor's maximum are left out.
void ConvertToGsm(TModDesc16& aText);
// Number of characters of aText that need an escape when sent.
int CountEscapes(const TDesc16& aText);
// Inserts the character 27 before every character that needs an escape; the
// text stays 8859-1. Escapes that do not fit the maximum are left out.
void InsertEscapes(TModDesc16& aText);
