// Every cell of every GSM 7-bit table against a second transcription made
// apart from the program's own (data/gsm_tables.txt): reading a message
// locked or shifted onto a language, and, for the default alphabet and its
// extension table, which the program also writes, the way out.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "sms/gsm_alphabet.h"
#include "sms/gsm_shift_tables.h"
#include "sms/tests/gsm_table_data.h"

namespace {

// The septets aCodes read with the two tables, as the message decoder reads them.
std::u16string Read(std::vector<WCHAR> aCodes, int aLocking, int aSingle) {
  const int length = GsmSeptetsToText(aCodes.data(), static_cast<int>(aCodes.size()), aLocking, aSingle);
  return std::u16string(aCodes.data(), static_cast<size_t>(length));
}

std::u16string Char(int aChar) { return std::u16string(1, static_cast<char16_t>(aChar)); }

}  // namespace

TEST(GsmTables, EveryCellAgreesWithTheSecondTranscription) {
  const std::vector<TGsmTableCell> cells = ReadGsmTableCells();
  // 14 locking tables (Spanish has none) and 14 single-shift tables.
  ASSERT_EQ(cells.size(), 27u * KGsmShiftTableSize);
  std::map<std::pair<int, int>, int> lockingCells;  // (language, code) to the cell
  std::set<std::tuple<bool, int, int>> seen;
  for (const TGsmTableCell& cell : cells) {
    EXPECT_TRUE(seen.insert({cell.iLocking, cell.iLanguage, cell.iCode}).second) << "a cell twice in the data";
    if (cell.iLocking) lockingCells[{cell.iLanguage, cell.iCode}] = cell.iChar;
  }

  for (const TGsmTableCell& cell : cells) {
    const int language = cell.iLanguage;
    const int code = cell.iCode;
    SCOPED_TRACE(testing::Message() << (cell.iLocking ? "locking" : "single") << " table " << language << " code 0x"
                                    << std::hex << code);
    if (cell.iLocking) {
      const int held = language == 0 ? KGsmMainTable[code].iChar : GsmLockingShiftTable(language)[code];
      if (language == 0) {
        EXPECT_EQ(KGsmMainTable[code].iGsm, code);
      }
      if (cell.iChar == KCellEscape) {
        EXPECT_EQ(held, KGsmEscape);
        continue;
      }
      EXPECT_EQ(held, cell.iChar == KCellNone ? KReplacementChar : cell.iChar);
      EXPECT_EQ(Read({static_cast<WCHAR>(code)}, language, 0),
                Char(cell.iChar == KCellNone ? KReplacementChar : cell.iChar));
      continue;
    }
    // After the escape: the single-shift character, else the locking
    // table's own (the default alphabet's where the language has none).
    int held = GsmSingleShiftTable(language)[code];
    if (language == 0) {
      held = 0;
      for (int i = 0; i < KGsmEscapeRows; ++i)
        if (KGsmEscapeTable[i].iGsm == code && code != KGsmEscape) held = KGsmEscapeTable[i].iChar;
    }
    EXPECT_EQ(held, cell.iChar == KCellNone ? 0 : cell.iChar);
    int expected = cell.iChar;
    if (expected == KCellNone) {
      const int lockingLanguage = lockingCells.count({language, code}) != 0 ? language : 0;
      expected = lockingCells[{lockingLanguage, code}];
      if (expected == KCellNone) expected = KReplacementChar;
      // An escape after the escape is reserved for a further table: a space.
      if (expected == KCellEscape) expected = u' ';
    }
    EXPECT_EQ(Read({KGsmEscape, static_cast<WCHAR>(code)}, language, language), Char(expected));
  }
}

// The program writes only the default alphabet and its extension table, so
// those are the cells with a way out to check: each character must go out as
// the code it came in as.
TEST(GsmTables, EveryDefaultCellIsWrittenAsItsOwnCode) {
  const std::vector<TGsmTableCell> cells = ReadGsmTableCells();
  int checked = 0;
  for (const TGsmTableCell& cell : cells) {
    if (cell.iLanguage != 0 || cell.iChar < 0) continue;
    // A double quote would end a quoted field on the line, so it is carried otherwise.
    if (cell.iChar == u'"') continue;
    SCOPED_TRACE(testing::Message() << "U+" << std::hex << cell.iChar);
    bool escaped = true, notFound = true;
    EXPECT_EQ(LatinToGsm(static_cast<WCHAR>(cell.iChar), escaped, notFound), cell.iCode);
    EXPECT_EQ(escaped, !cell.iLocking);
    EXPECT_FALSE(notFound);
    EXPECT_EQ(LatinToGsmTableWalk(static_cast<WCHAR>(cell.iChar), escaped, notFound), cell.iCode);
    EXPECT_EQ(escaped, !cell.iLocking);
    ++checked;
  }
  EXPECT_EQ(checked, 126 + 10);  // the alphabet but its escape and quote, the extension's ten
}
