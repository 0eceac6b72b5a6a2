// The JSON files that imports read: one list of objects.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace kvexchange {

// "line 3, column 14" for the byte at aIndex: lines from 1, columns from 1
// in characters (UTF-8), as an editor counts them.
std::string TextPosition(const std::string& aText, size_t aIndex);

// Parses aText as a JSON list. False, with aError, for text that is not JSON
// (saying where it goes wrong) or JSON that is not a list ("the file is not a
// JSON list of " + aWhat).
bool ReadJsonList(const std::string& aText, const std::string& aWhat, nlohmann::json& aList, std::string& aError);

}  // namespace kvexchange
