#include "gsm_text.h"

#include <array>

namespace phonesim {
namespace {

// The GSM 03.38 default alphabet, septet value -> Unicode.
constexpr std::array<char32_t, 128> kGsmBasic = {
    0x40,  0xA3,  0x24,  0xA5,  0xE8,  0xE9,  0xF9,  0xEC,  0xF2,  0xC7,  0x0A,  0xD8,  0xF8,
    0x0D,  0xC5,  0xE5,  0x394, 0x5F,  0x3A6, 0x393, 0x39B, 0x3A9, 0x3A0, 0x3A8, 0x3A3, 0x398,
    0x39E, 0x1B,  0xC6,  0xE6,  0xDF,  0xC9,  0x20,  0x21,  0x22,  0x23,  0xA4,  0x25,  0x26,
    0x27,  0x28,  0x29,  0x2A,  0x2B,  0x2C,  0x2D,  0x2E,  0x2F,  0x30,  0x31,  0x32,  0x33,
    0x34,  0x35,  0x36,  0x37,  0x38,  0x39,  0x3A,  0x3B,  0x3C,  0x3D,  0x3E,  0x3F,  0xA1,
    0x41,  0x42,  0x43,  0x44,  0x45,  0x46,  0x47,  0x48,  0x49,  0x4A,  0x4B,  0x4C,  0x4D,
    0x4E,  0x4F,  0x50,  0x51,  0x52,  0x53,  0x54,  0x55,  0x56,  0x57,  0x58,  0x59,  0x5A,
    0xC4,  0xD6,  0xD1,  0xDC,  0xA7,  0xBF,  0x61,  0x62,  0x63,  0x64,  0x65,  0x66,  0x67,
    0x68,  0x69,  0x6A,  0x6B,  0x6C,  0x6D,  0x6E,  0x6F,  0x70,  0x71,  0x72,  0x73,  0x74,
    0x75,  0x76,  0x77,  0x78,  0x79,  0x7A,  0xE4,  0xF6,  0xF1,  0xFC,  0xE0};

struct Extension {
  uint8_t code;
  char32_t ch;
};
constexpr std::array<Extension, 10> kGsmExtension = {{{0x0A, 0x0C},
                                                      {0x14, '^'},
                                                      {0x28, '{'},
                                                      {0x29, '}'},
                                                      {0x2F, '\\'},
                                                      {0x3C, '['},
                                                      {0x3D, '~'},
                                                      {0x3E, ']'},
                                                      {0x40, '|'},
                                                      {0x65, 0x20AC}}};

constexpr uint8_t kEscape = 0x1B;

bool SameCharset(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'a' && a[i] <= 'z' ? a[i] - 32 : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<uint8_t>(text[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      auto n = static_cast<uint8_t>(text[i + k]);
      if ((n & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (n & 0x3F);
    }
    if (!ok) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(c);
    i += extra + 1;
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string ToUtf16(std::u32string_view text) {
  std::u16string out;
  for (char32_t c : text) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      char32_t v = c - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | (v >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (v & 0x3FF)));
    }
  }
  return out;
}

std::u32string FromUtf16(std::u16string_view units) {
  std::u32string out;
  for (size_t i = 0; i < units.size(); ++i) {
    char16_t u = units[i];
    bool high = u >= 0xD800 && u <= 0xDBFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (units[++i] - 0xDC00));
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out.push_back(0xFFFD);
    } else {
      out.push_back(u);
    }
  }
  return out;
}

size_t Utf16Length(std::u32string_view text) {
  size_t n = 0;
  for (char32_t c : text) n += c >= 0x10000 && c <= 0x10FFFF ? 2 : 1;
  return n;
}

bool ToGsmSeptets(std::u32string_view text, std::vector<uint8_t>& septets) {
  for (char32_t c : text) {
    bool found = false;
    for (size_t s = 0; s < kGsmBasic.size() && !found; ++s) {
      if (kGsmBasic[s] == c && s != kEscape) {
        septets.push_back(static_cast<uint8_t>(s));
        found = true;
      }
    }
    for (const Extension& e : kGsmExtension) {
      if (!found && e.ch == c) {
        septets.push_back(kEscape);
        septets.push_back(e.code);
        found = true;
      }
    }
    if (!found) return false;
  }
  return true;
}

std::u32string FromGsmSeptets(const std::vector<uint8_t>& septets) {
  std::u32string out;
  for (size_t i = 0; i < septets.size(); ++i) {
    uint8_t s = septets[i] & 0x7F;
    if (s == kEscape && i + 1 < septets.size()) {
      uint8_t code = septets[++i] & 0x7F;
      char32_t c = kGsmBasic[code];  // an unknown extension shows its basic character
      for (const Extension& e : kGsmExtension) {
        if (e.code == code) c = e.ch;
      }
      out.push_back(c);
    } else {
      out.push_back(kGsmBasic[s]);
    }
  }
  return out;
}

bool IsKnownCharset(std::string_view name) {
  return SameCharset(name, "GSM") || SameCharset(name, "8859-1") || SameCharset(name, "UCS2") ||
         SameCharset(name, "IRA");
}

std::string EncodeCharset(std::string_view charset, std::string_view utf8) {
  std::u32string text = DecodeUtf8(utf8);
  std::string out;
  if (SameCharset(charset, "UCS2")) {
    static const char* kHex = "0123456789ABCDEF";
    for (char16_t u : ToUtf16(text)) {
      for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(u >> shift) & 0xF]);
    }
    return out;
  }
  for (char32_t c : text) {
    if (SameCharset(charset, "GSM")) {
      std::vector<uint8_t> septets;
      if (!ToGsmSeptets(std::u32string_view(&c, 1), septets)) septets = {0x3F};
      out.append(septets.begin(), septets.end());
    } else {
      char32_t limit = SameCharset(charset, "8859-1") ? 0xFF : 0x7F;
      out.push_back(c <= limit ? static_cast<char>(c) : '?');
    }
  }
  return out;
}

bool DecodeCharset(std::string_view charset, std::string_view bytes, std::string& utf8) {
  std::u32string text;
  if (SameCharset(charset, "UCS2")) {
    if (bytes.size() % 4 != 0) return false;
    std::u16string units;
    for (size_t i = 0; i < bytes.size(); i += 4) {
      char16_t u = 0;
      for (size_t k = 0; k < 4; ++k) {
        int d = HexDigit(bytes[i + k]);
        if (d < 0) return false;
        u = static_cast<char16_t>(u << 4 | d);
      }
      units.push_back(u);
    }
    text = FromUtf16(units);
  } else if (SameCharset(charset, "GSM")) {
    std::vector<uint8_t> septets(bytes.begin(), bytes.end());
    text = FromGsmSeptets(septets);
  } else {
    for (char b : bytes) text.push_back(static_cast<uint8_t>(b));
  }
  utf8 = EncodeUtf8(text);
  return true;
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0xF]);
  }
  return out;
}

bool FromHex(std::string_view hex, std::vector<uint8_t>& bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexDigit(hex[i]);
    int lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  return true;
}

}  // namespace phonesim
