// Helpers shared by the fuzz targets.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <windows.h>

#include "fuzz/fuzz_check.h"

// Text in a heap block of exactly its length, so that AddressSanitizer sees
// any read or write one character past it (a std::u16string has spare room).
class ExactText {
 public:
  explicit ExactText(size_t length) : length_(length), text_(new WCHAR[length]) {}
  WCHAR* data() { return text_.get(); }
  const WCHAR* data() const { return text_.get(); }
  int length() const { return static_cast<int>(length_); }
  std::u16string str() const { return std::u16string(text_.get(), length_); }

 private:
  size_t length_;
  std::unique_ptr<WCHAR[]> text_;
};

inline std::string Printable(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[12];
      std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(c));
      out += hex;
    }
  }
  return out;
}
