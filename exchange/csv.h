// Comma-separated values as spreadsheets and address books write them: a
// header row, fields quoted with '"' when they hold the separator, a quote
// or a line break (doubled quotes inside), CR LF between records.
#pragma once

#include <string>
#include <vector>

namespace kvexchange {

using TCsvRow = std::vector<std::string>;

// One field, quoted when it needs to be.
std::string CsvField(const std::string& aText);
// A record and its CR LF.
std::string CsvLine(const TCsvRow& aFields);

struct TCsvTable {
  TCsvRow iHeader;
  std::vector<TCsvRow> iRows;
  std::vector<int> iRowLines;  // the line each row starts on, from 1
};

// Reads the whole text; the separator is ',' unless the header holds more
// ';' (as some spreadsheets write). Rows left wholly empty are dropped.
// False, with aError, for a quote that never closes.
bool ReadCsv(const std::string& aText, TCsvTable& aTable, std::string& aError);

}  // namespace kvexchange
