// The GSM 7-bit default alphabet and its extension table, mapped to UTF-16,
// as used for message text, alphanumeric senders and phone book names. The
// operations keep their historical "Latin" names: the text side was 8859-1
// once and is UTF-16 now (8859-1 is its first 256 code units).
#pragma once

#include <wintypes.h>

#include "kernel/descriptors.h"

// One row of an alphabet table: a GSM code and the UTF-16 character it stands for.
struct TGsmCharPair {
  int iGsm;
  int iChar;
};

inline constexpr int KGsmEscape = 0x1B;
inline constexpr int KGsmMainRows = 128;
inline constexpr int KGsmEscapeRows = 10;
inline constexpr WCHAR KReplacementChar = 0xFFFD;

// Both tables end with the row (-1, -1).
extern const TGsmCharPair KGsmMainTable[KGsmMainRows + 1];
extern const TGsmCharPair KGsmEscapeTable[KGsmEscapeRows + 1];

// The GSM code for one UTF-16 code unit. aEscaped tells that the code belongs
// to the extension table (send 0x1B first); aNotFound that the character has
// no GSM code and was replaced. Both flags are cleared on entry. O(1): a table
// built once from the alphabet tables.
int LatinToGsm(WCHAR aChar, bool& aEscaped, bool& aNotFound);
// The same answer found by walking the alphabet tables row by row; what the
// lookup table is built to agree with.
int LatinToGsmTableWalk(WCHAR aChar, bool& aEscaped, bool& aNotFound);

// Whether every code unit of aText has a GSM code (default alphabet or
// extension table), so that the text can go as 7-bit without loss.
bool IsGsmText(const TDesc16& aText);

// Raw-buffer forms of the descriptor operations below; each returns the new length.
int GsmToLatin(WCHAR* aText, int aLength);
int ConvertToGsm(WCHAR* aText, int aLength, int aMaxLength);
int InsertEscapes(WCHAR* aText, int aLength, int aMaxLength);

// Whether aChar is sent as an escape sequence.
bool NeedsEscape(WCHAR aChar);

// In place, GSM codes to UTF-16; escape sequences become one character (1B 1B
// a space) and a trailing escape is dropped (phone book names, alphanumeric
// senders).
void GsmToLatin(TModDesc16& aText);
// In place, UTF-16 to GSM codes, with 0x1B before each escaped code. Escapes
// that do not fit the descriptor's maximum are left out.
void ConvertToGsm(TModDesc16& aText);
// Number of characters of aText that need an escape when sent.
int CountEscapes(const TDesc16& aText);
// Inserts the character 27 before every character that needs an escape; the
// text stays UTF-16. Escapes that do not fit the maximum are left out.
void InsertEscapes(TModDesc16& aText);
