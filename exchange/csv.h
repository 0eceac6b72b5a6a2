// Comma-separated values as spreadsheets and address books write them: a
// header row, fields quoted with '"' when they hold the separator, a quote
// or a line break (doubled quotes inside), CR LF between records.
#pragma once

#include <string>
#include <vector>

namespace kvexchange {

using TCsvRow = std::vector<std::string>;

// One field, quoted when it needs to be. A text that a spreadsheet would
// take for a formula (starting with '=', '+', '-', '@', a tab or a CR) gets a
// leading "'", which spreadsheets show as text; so does one that starts with
// "'" already, so that ReadCsv can take exactly one away again. A text that
// holds U+0000, which no text file carries, is written "'\" and then the
// text with "\0" for U+0000 and "\\" for a backslash; no other field starts
// with "'\".
std::string CsvField(const std::string& aText);
// A record and its CR LF.
std::string CsvLine(const TCsvRow& aFields);

struct TCsvTable {
  TCsvRow iHeader;
  std::vector<TCsvRow> iRows;
  std::vector<int> iRowLines;  // the line each row starts on, from 1
};

// Reads the whole text, after a UTF-8 byte-order mark if there is one; the
// separator is ',' unless the header line holds more ';' outside quotes (as
// spreadsheets write in countries with a decimal comma). A field starting
// with "'" and then one of the characters CsvField guards loses the "'"; one
// starting with "'\" is read back to the text with its U+0000.
// Rows left wholly empty are dropped. False, with aError, for a quote that
// never closes.
bool ReadCsv(const std::string& aText, TCsvTable& aTable, std::string& aError);

}  // namespace kvexchange
