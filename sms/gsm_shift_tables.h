// The national language shift tables of 3GPP TS 23.038 and the reading of
// 7-bit message text with them. A message names its tables in its user data
// header (single shift, locking shift); without one it uses the default
// alphabet and its extension table.
#pragma once

#include <wintypes.h>

inline constexpr int KGsmShiftTableSize = 128;
// National language identifiers 0 (the default alphabet) to 13 (Urdu).
inline constexpr int KGsmLanguageCount = 14;

enum TGsmLanguage {
  EGsmLanguageDefault = 0,
  EGsmLanguageTurkish = 1,
  EGsmLanguageSpanish = 2,
  EGsmLanguagePortuguese = 3,
  EGsmLanguageBengali = 4,
  EGsmLanguageGujarati = 5,
  EGsmLanguageHindi = 6,
  EGsmLanguageKannada = 7,
  EGsmLanguageMalayalam = 8,
  EGsmLanguageOriya = 9,
  EGsmLanguagePunjabi = 10,
  EGsmLanguageTamil = 11,
  EGsmLanguageTelugu = 12,
  EGsmLanguageUrdu = 13,
};

// By language identifier, null where the standard has no such table (index
// 0, which the default alphabet serves, and Spanish locking shift).
extern const WCHAR* const KGsmLockingShiftTables[KGsmLanguageCount];
extern const WCHAR* const KGsmSingleShiftTables[KGsmLanguageCount];

// The 128 characters a text locked onto aLanguage reads with: the default
// alphabet for 0, for an unknown identifier and for a language without a
// locking-shift table. 0xFFFD where the table has no character.
const WCHAR* GsmLockingShiftTable(int aLanguage);
// The characters behind the escape for aLanguage: the default extension
// table for 0 and for an unknown identifier. 0 where the table is empty.
const WCHAR* GsmSingleShiftTable(int aLanguage);

// Converts GSM codes (one a code unit, 0 to 127) in place to UTF-16 with the
// tables of the two languages; returns the new length. An escape followed by
// a code the single-shift table lacks reads as the locking table's character
// (3GPP TS 23.038 6.2.1.1); an escape after an escape, reserved for a further
// table, reads as a space; a code without a character and a trailing escape
// become U+FFFD.
int GsmSeptetsToText(WCHAR* aText, int aLength, int aLockingLanguage, int aSingleLanguage);
