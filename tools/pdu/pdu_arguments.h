// Command-line arguments of korvanet-pdu, checked before any codec work.
#pragma once

#include <string>
#include <vector>

namespace kvpdu {

struct EncodeOptions {
  std::string smsc;
  std::string to;
  std::string text;  // UTF-8 as given
  int validity = 2;  // one week, the record's default
  bool concat = false;
  int concatReference = 0;
  int concatTotal = 0;
  int concatPart = 0;
  int dcs = -1;  // -1: chosen from the text, as the program does
};

// Fills aOptions from the arguments after "encode". Returns an empty string
// when they are usable, otherwise what is wrong with them.
std::string ParseEncodeArguments(const std::vector<std::string>& aArgs, EncodeOptions& aOptions);

// A number of at most aMaxLength characters, optionally after one "+". aExtra
// names further characters allowed after the first ("*#" for dialling codes).
bool IsPhoneNumber(const std::string& aNumber, size_t aMaxLength, const char* aExtra);

// Parses a whole decimal or 0x-hexadecimal number within [aMin, aMax].
bool ParseInteger(const std::string& aText, int aMin, int aMax, int& aValue);

}  // namespace kvpdu
