#include "exchange/csv.h"

#include <algorithm>

namespace kvexchange {
namespace {

// What a spreadsheet reads as the start of a formula, and the guard itself.
bool IsGuarded(char aFirst) {
  return aFirst == '=' || aFirst == '+' || aFirst == '-' || aFirst == '@' || aFirst == '\t' || aFirst == '\r' ||
         aFirst == '\'';
}

// The separator the header line uses most outside quoted fields.
char SeparatorOf(const std::string& aText, size_t aStart) {
  long commas = 0, semicolons = 0;
  bool quoted = false;
  for (size_t i = aStart; i < aText.size(); ++i) {
    char c = aText[i];
    if (c == '"') quoted = !quoted;
    else if (!quoted && (c == '\r' || c == '\n')) break;
    else if (!quoted && c == ',') ++commas;
    else if (!quoted && c == ';') ++semicolons;
  }
  return semicolons > commas ? ';' : ',';
}

// Starts a field written with escapes: "'" keeps it text in a spreadsheet,
// and a field is written with "'" and a backslash in no other case.
const char KEscapedFieldMark[] = "'\\";

std::string EscapedField(const std::string& aText) {
  std::string out = KEscapedFieldMark;
  for (char c : aText) {
    if (c == '\0')
      out += "\\0";
    else if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

// Undoes EscapedField after the mark; a backslash before anything else
// stays as it is.
std::string UnescapedField(const std::string& aField) {
  std::string out;
  for (size_t i = 2; i < aField.size(); ++i) {
    if (aField[i] == '\\' && i + 1 < aField.size() && (aField[i + 1] == '0' || aField[i + 1] == '\\')) {
      out += aField[++i] == '0' ? '\0' : '\\';
    } else {
      out += aField[i];
    }
  }
  return out;
}

}  // namespace

std::string CsvField(const std::string& aText) {
  std::string text = aText.find('\0') != std::string::npos            ? EscapedField(aText)
                     : !aText.empty() && IsGuarded(aText.front()) ? "'" + aText
                                                                  : aText;
  if (text.find_first_of(",;\"\r\n") == std::string::npos && (text.empty() || (text.front() != ' ' && text.back() != ' ')))
    return text;
  std::string quoted = "\"";
  for (char c : text) {
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
  const char separator = SeparatorOf(aText, start);

  std::vector<TCsvRow> records;
  std::vector<int> lines;
  TCsvRow row;
  std::string field;
  bool quoted = false, fieldStarted = false;
  int line = 1, rowLine = 1;
  auto endField = [&] {
    if (field.rfind(KEscapedFieldMark, 0) == 0)
      field = UnescapedField(field);
    else if (field.size() >= 2 && field[0] == '\'' && IsGuarded(field[1]))
      field.erase(0, 1);
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
