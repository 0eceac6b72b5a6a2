#include "exchange/phone_number.h"

#include <cctype>

namespace kvexchange {

std::string StorableNumber(const std::string& aWritten) {
  std::string text = aWritten;
  if (text.size() >= 4 && (text.compare(0, 4, "tel:") == 0 || text.compare(0, 4, "TEL:") == 0)) {
    text.erase(0, 4);
    size_t parameters = text.find(';');  // ";ext=12", ";phone-context=..."
    if (parameters != std::string::npos) text.erase(parameters);
  }
  // A no-break space (UTF-8 C2 A0) separates digits as a space does.
  std::string number;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
      ++i;
    } else if (c != ' ' && c != '\t' && c != '-' && c != '.' && c != '(' && c != ')' && c != '/') {
      number += c;
    }
  }
  return number;
}

bool IsStorableNumber(const std::string& aNumber) {
  if (aNumber.empty() || aNumber.size() > KMaxStoredNumber) return false;
  for (size_t i = 0; i < aNumber.size(); ++i) {
    char c = aNumber[i];
    bool dialling = std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#' || c == 'p' || c == 'P' ||
                    c == 'w' || c == 'W';
    if (!dialling && !(c == '+' && i == 0)) return false;
  }
  return aNumber != "+";
}

std::string ComparableNumber(const std::string& aNumber) {
  std::string number = StorableNumber(aNumber);
  if (number.compare(0, 2, "00") == 0) number = "+" + number.substr(2);
  return number;
}

}  // namespace kvexchange
