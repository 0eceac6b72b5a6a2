// The second transcription of the GSM 7-bit tables (data/gsm_tables.txt),
// read for the tests that hold the program's tables against it.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// One cell. iChar is the character, or one of the marks below.
struct TGsmTableCell {
  bool iLocking = false;
  int iLanguage = 0;
  int iCode = 0;
  int iChar = 0;
};

inline constexpr int KCellNone = -1;
inline constexpr int KCellEscape = -2;

// Every cell of the file in its order; empty when it cannot be read or a
// line is not understood (the caller's count check then fails).
inline std::vector<TGsmTableCell> ReadGsmTableCells() {
  std::ifstream in(KV_TEST_DATA "/gsm_tables.txt");
  std::vector<TGsmTableCell> cells;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string table, code, cell;
    TGsmTableCell parsed;
    if (!(fields >> table >> parsed.iLanguage >> code >> cell) || (table != "locking" && table != "single")) return {};
    parsed.iLocking = table == "locking";
    parsed.iCode = static_cast<int>(std::stoul(code, nullptr, 16));
    if (cell == "none")
      parsed.iChar = KCellNone;
    else if (cell == "escape")
      parsed.iChar = KCellEscape;
    else if (cell.rfind("U+", 0) == 0)
      parsed.iChar = static_cast<int>(std::stoul(cell.substr(2), nullptr, 16));
    else
      return {};
    cells.push_back(parsed);
  }
  return cells;
}
