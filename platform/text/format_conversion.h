// The printf-style conversion shared by wvsprintfW and FormatMessageW inserts:
// flags "-+ 0#", width, precision, sizes h l ll I64 w, conversions
// d i u x X o c C s S p.
#pragma once

#include <cstdint>
#include <string>

namespace kvplatform {

struct FormatSpec {
  bool leftAlign = false;
  bool zeroPad = false;
  bool plusSign = false;
  bool spaceSign = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;
  bool wide64 = false;     // ll or I64
  bool narrowText = false; // hs / S: an 8-bit string or character
  char16_t conversion = 0;
};

// Parses the conversion that follows '%'. Returns the number of characters used, or
// 0 when the text there is not a spec this formatter knows.
size_t ParseFormatSpec(const char16_t* text, size_t length, FormatSpec& spec);

enum class FormatKind { kSigned, kUnsigned, kWideText, kNarrowText, kCharacter, kPointer };
FormatKind KindOf(const FormatSpec& spec);

struct FormatValue {
  int64_t signedValue = 0;
  uint64_t unsignedValue = 0;
  const char16_t* wideText = nullptr;
  const char* narrowText = nullptr;
};

void AppendFormatted(std::u16string& out, const FormatSpec& spec, const FormatValue& value);

}  // namespace kvplatform
