#include "tools/cli/cli_text.h"

#include <kvplatform.h>

namespace kvcli {


std::u16string WithCrLf(const std::u16string& aText) {
  std::u16string out;
  out.reserve(aText.size() + 8);
  for (size_t i = 0; i < aText.size(); ++i) {
    char16_t c = aText[i];
    if (c == u'\r') {
      out += u"\r\n";
      if (i + 1 < aText.size() && aText[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      out += u"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

// The code point starting at aText[aPos], or -1 when the bytes there are not
// UTF-8; aPos moves past it.
long NextCodePoint(const std::string& aText, size_t& aPos) {
  auto first = static_cast<unsigned char>(aText[aPos++]);
  if (first < 0x80) return first;
  int extra = first >= 0xC2 && first <= 0xDF ? 1 : first >= 0xE0 && first <= 0xEF ? 2 : first >= 0xF0 && first <= 0xF4 ? 3 : -1;
  if (extra < 0 || aPos + static_cast<size_t>(extra) > aText.size()) return -1;
  long c = first & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    auto next = static_cast<unsigned char>(aText[aPos++]);
    if ((next & 0xC0) != 0x80) return -1;
    c = c << 6 | (next & 0x3F);
  }
  // Overlong forms, surrogates and values past Unicode.
  if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
    return -1;
  return c;
}

int Columns(long c) {
  if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F)) return 0;
  if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) || (c >= 0xAC00 && c <= 0xD7A3) ||
      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F900 && c <= 0x1F9FF) ||
      (c >= 0x20000 && c <= 0x3FFFD))
    return 2;
  return 1;
}

// Characters that can reorder or break what surrounds them on a line.
bool MovesText(long c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string Hex(unsigned long aValue, int aDigits) {
  static const char KDigits[] = "0123456789ABCDEF";
  std::string out(static_cast<size_t>(aDigits), '0');
  for (int i = aDigits - 1; i >= 0; --i, aValue >>= 4) out[static_cast<size_t>(i)] = KDigits[aValue & 0xF];
  return out;
}

}  // namespace

std::string Printable(const std::string& aText, bool aKeepLineFeeds) {
  std::string out;
  out.reserve(aText.size());
  for (size_t pos = 0; pos < aText.size();) {
    const size_t start = pos;
    long c = NextCodePoint(aText, pos);
    if (c < 0) {
      // One byte at a time, so that what follows is read as it is.
      pos = start + 1;
      out += "\\x" + Hex(static_cast<unsigned char>(aText[start]), 2);
    } else if (c == '\n' && aKeepLineFeeds) {
      out += '\n';
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\x" + Hex(static_cast<unsigned long>(c), 2);
    } else if ((c >= 0x80 && c <= 0x9F) || MovesText(c)) {
      out += "\\u" + Hex(static_cast<unsigned long>(c), 4);
    } else {
      out.append(aText, start, pos - start);
    }
  }
  return out;
}

std::string PrintableLines(const std::string& aText) {
  std::string lines;
  lines.reserve(aText.size());
  for (size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] == '\r' && i + 1 < aText.size() && aText[i + 1] == '\n') continue;
    lines += aText[i];
  }
  return Printable(lines, true);
}

std::string TerminalJson(const std::string& aJson) {
  std::string out;
  out.reserve(aJson.size());
  for (size_t pos = 0; pos < aJson.size();) {
    const size_t start = pos;
    long c = NextCodePoint(aJson, pos);
    if (c < 0) pos = start + 1;
    // Outside strings JSON has none of these, so each stands in a string.
    if (c == 0x7F || (c >= 0x80 && c <= 0x9F) || MovesText(c))
      out += "\\u" + Hex(static_cast<unsigned long>(c), 4);
    else
      out.append(aJson, start, pos - start);
  }
  return out;
}

bool IsUtf8(const std::string& aText) {
  for (size_t pos = 0; pos < aText.size();)
    if (NextCodePoint(aText, pos) < 0) return false;
  return true;
}

std::string Padded(const std::string& aText, size_t aColumns) {
  size_t columns = 0;
  for (size_t pos = 0; pos < aText.size();) {
    long c = NextCodePoint(aText, pos);
    columns += c < 0 ? 1 : static_cast<size_t>(Columns(c));
  }
  return columns >= aColumns ? aText : aText + std::string(aColumns - columns, ' ');
}

}  // namespace kvcli
