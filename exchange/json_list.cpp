#include "exchange/json_list.h"

#include <algorithm>

namespace kvexchange {

std::string TextPosition(const std::string& aText, size_t aIndex) {
  size_t end = std::min(aIndex, aText.size());
  size_t line = 1, column = 1;
  for (size_t i = 0; i < end; ++i) {
    if (aText[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(aText[i]) & 0xC0) != 0x80) {
      ++column;  // a character's first byte
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool ReadJsonList(const std::string& aText, const std::string& aWhat, nlohmann::json& aList, std::string& aError) {
  nlohmann::json parsed;
  try {
    parsed = nlohmann::json::parse(aText);
  } catch (const nlohmann::json::parse_error& error) {
    // The library's own message quotes the text it read: only the place is kept.
    aError = "the file is not valid JSON (it goes wrong at " + TextPosition(aText, error.byte == 0 ? 0 : error.byte - 1) + ")";
    return false;
  }
  if (!parsed.is_array()) {
    aError = "the file is not a JSON list of " + aWhat;
    return false;
  }
  aList = std::move(parsed);
  return true;
}

}  // namespace kvexchange
