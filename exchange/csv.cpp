#include "exchange/csv.h"

#include <algorithm>

namespace kvexchange {

std::string CsvField(const std::string& aText) {
  if (aText.find_first_of(",;\"\r\n") == std::string::npos && (aText.empty() || (aText.front() != ' ' && aText.back() != ' ')))
    return aText;
  std::string quoted = "\"";
  for (char c : aText) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvLine(const TCsvRow& aFields) {
  std::string line;
  for (size_t i = 0; i < aFields.size(); ++i) {
    if (i != 0) line += ',';
    line += CsvField(aFields[i]);
  }
  return line + "\r\n";
}

bool ReadCsv(const std::string& aText, TCsvTable& aTable, std::string& aError) {
  size_t start = aText.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  size_t headerEnd = aText.find_first_of("\r\n", start);
  std::string header = aText.substr(start, headerEnd == std::string::npos ? std::string::npos : headerEnd - start);
  const char separator = std::count(header.begin(), header.end(), ';') > std::count(header.begin(), header.end(), ',') ? ';' : ',';

  std::vector<TCsvRow> records;
  std::vector<int> lines;
  TCsvRow row;
  std::string field;
  bool quoted = false, fieldStarted = false;
  int line = 1, rowLine = 1;
  auto endField = [&] {
    row.push_back(field);
    field.clear();
    fieldStarted = false;
  };
  auto endRow = [&] {
    endField();
    bool empty = std::all_of(row.begin(), row.end(), [](const std::string& f) { return f.empty(); });
    if (!empty) {
      records.push_back(std::move(row));
      lines.push_back(rowLine);
    }
    row.clear();
  };
  for (size_t i = start; i < aText.size(); ++i) {
    char c = aText[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < aText.size() && aText[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line;
        field += c;
      }
      continue;
    }
    if (c == '"' && !fieldStarted) {
      quoted = true;
      fieldStarted = true;
    } else if (c == separator) {
      endField();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < aText.size() && aText[i + 1] == '\n') ++i;
      endRow();
      rowLine = ++line;
    } else {
      field += c;
      fieldStarted = true;
    }
  }
  if (quoted) {
    aError = "a quoted field that starts on line " + std::to_string(rowLine) + " never ends";
    return false;
  }
  if (fieldStarted || !row.empty()) endRow();
  if (records.empty()) {
    aError = "no header row";
    return false;
  }
  aTable.iHeader = std::move(records.front());
  aTable.iRows.assign(std::make_move_iterator(records.begin() + 1), std::make_move_iterator(records.end()));
  aTable.iRowLines.assign(lines.begin() + 1, lines.end());
  return true;
}

}  // namespace kvexchange
