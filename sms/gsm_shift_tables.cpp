#include "sms/gsm_shift_tables.h"

#include "sms/gsm_alphabet.h"

namespace {

// The default alphabet and its extension table in the layout of the national
// tables, built once from the alphabet tables.
struct TDefaultShiftTables {
  TDefaultShiftTables() {
    for (int i = 0; i < KGsmMainRows; ++i) iLocking[KGsmMainTable[i].iGsm] = static_cast<WCHAR>(KGsmMainTable[i].iChar);
    for (int i = 0; i < KGsmEscapeRows; ++i) iSingle[KGsmEscapeTable[i].iGsm] = static_cast<WCHAR>(KGsmEscapeTable[i].iChar);
  }
  WCHAR iLocking[KGsmShiftTableSize] = {};
  WCHAR iSingle[KGsmShiftTableSize] = {};
};

const TDefaultShiftTables& DefaultTables() {
  static const TDefaultShiftTables tables;
  return tables;
}

}  // namespace

const WCHAR* GsmLockingShiftTable(int aLanguage) {
  if (aLanguage > 0 && aLanguage < KGsmLanguageCount && KGsmLockingShiftTables[aLanguage] != nullptr) {
    return KGsmLockingShiftTables[aLanguage];
  }
  return DefaultTables().iLocking;
}

const WCHAR* GsmSingleShiftTable(int aLanguage) {
  if (aLanguage > 0 && aLanguage < KGsmLanguageCount && KGsmSingleShiftTables[aLanguage] != nullptr) {
    return KGsmSingleShiftTables[aLanguage];
  }
  return DefaultTables().iSingle;
}

int GsmSeptetsToText(WCHAR* aText, int aLength, int aLockingLanguage, int aSingleLanguage) {
  const WCHAR* locking = GsmLockingShiftTable(aLockingLanguage);
  const WCHAR* single = GsmSingleShiftTable(aSingleLanguage);
  int out = 0;
  for (int in = 0; in < aLength; ++in) {
    const WCHAR code = aText[in] & 0x7F;
    WCHAR c = locking[code];
    if (code == KGsmEscape) {
      if (in + 1 == aLength) {
        c = KReplacementChar;  // a trailing escape introduces nothing, but is not lost silently
      } else {
        const WCHAR next = aText[++in] & 0x7F;
        // A second escape is reserved for a further table, which a receiver
        // without it shows as a space.
        c = next == KGsmEscape ? u' ' : single[next] != 0 ? single[next] : locking[next];
      }
    }
    aText[out++] = c == KGsmEscape ? KReplacementChar : c;
  }
  return out;
}
