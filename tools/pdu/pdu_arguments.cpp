#include "tools/pdu/pdu_arguments.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kvpdu {

namespace {

// The record's number fields hold 32 characters.
constexpr size_t KNumberMax = 32;

}  // namespace

bool ParseInteger(const std::string& aText, int aMin, int aMax, int& aValue) {
  if (aText.empty() || aText.size() > 16) return false;
  const char* begin = aText.c_str();
  int base = 10;
  if (aText.size() > 2 && aText[0] == '0' && (aText[1] == 'x' || aText[1] == 'X')) {
    begin += 2;
    base = 16;
  }
  if (*begin == '\0' || *begin == '-' || *begin == '+' || *begin == ' ') return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(begin, &end, base);
  if (errno != 0 || *end != '\0' || value < aMin || value > aMax) return false;
  aValue = static_cast<int>(value);
  return true;
}

bool IsPhoneNumber(const std::string& aNumber, size_t aMaxLength, const char* aExtra) {
  if (aNumber.empty() || aNumber.size() > aMaxLength) return false;
  size_t digits = 0;
  for (size_t i = 0; i < aNumber.size(); ++i) {
    char c = aNumber[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '+' && (i == 0 || std::strchr(aExtra, '+') != nullptr)) {
      continue;
    } else if (c == '\0' || std::strchr(aExtra, c) == nullptr) {
      return false;
    }
  }
  return digits > 0;
}

std::string ParseEncodeArguments(const std::vector<std::string>& aArgs, EncodeOptions& aOptions) {
  bool haveSmsc = false;
  bool haveTo = false;
  bool haveText = false;
  for (size_t i = 0; i < aArgs.size(); ++i) {
    const std::string& name = aArgs[i];
    if (name.rfind("--", 0) != 0) return "unexpected argument '" + name + "'";
    if (i + 1 >= aArgs.size()) return name + " needs a value";
    const std::string& value = aArgs[++i];
    if (name == "--smsc") {
      if (!IsPhoneNumber(value, KNumberMax, "")) return "--smsc must be digits, optionally after '+'";
      aOptions.smsc = value;
      haveSmsc = true;
    } else if (name == "--to") {
      // "*", "#" and a later "+" serve supplementary-service prefixes such as *31#+4412345.
      if (!IsPhoneNumber(value, KNumberMax, "*#+")) return "--to must be a phone number (digits, '+', '*', '#')";
      aOptions.to = value;
      haveTo = true;
    } else if (name == "--text") {
      aOptions.text = value;
      haveText = true;
    } else if (name == "--validity") {
      if (!ParseInteger(value, 0, 4, aOptions.validity)) return "--validity must be 0 to 4";
    } else if (name == "--dcs") {
      if (!ParseInteger(value, 0, 255, aOptions.dcs)) return "--dcs must be 0 to 255";
    } else if (name == "--concat") {
      size_t first = value.find(',');
      size_t second = first == std::string::npos ? first : value.find(',', first + 1);
      if (second == std::string::npos ||
          !ParseInteger(value.substr(0, first), 0, 255, aOptions.concatReference) ||
          !ParseInteger(value.substr(first + 1, second - first - 1), 1, 255, aOptions.concatTotal) ||
          !ParseInteger(value.substr(second + 1), 1, 255, aOptions.concatPart) ||
          aOptions.concatPart > aOptions.concatTotal) {
        return "--concat must be REF,TOTAL,PART with 0<=REF<=255 and 1<=PART<=TOTAL<=255";
      }
      aOptions.concat = true;
    } else {
      return "unknown option '" + name + "'";
    }
  }
  if (!haveSmsc) return "--smsc is required";
  if (!haveTo) return "--to is required";
  if (!haveText) return "--text is required";
  return std::string();
}

}  // namespace kvpdu
