#include "format_conversion.h"

#include <algorithm>

namespace kvplatform {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::u16string Digits(uint64_t value, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::u16string digits;
  do {
    digits += static_cast<char16_t>(set[value % base]);
    value /= base;
  } while (value != 0);
  std::reverse(digits.begin(), digits.end());
  return digits;
}

void Pad(std::u16string& out, const FormatSpec& spec, const std::u16string& prefix, const std::u16string& body) {
  size_t length = prefix.size() + body.size();
  size_t fill = spec.width > 0 && static_cast<size_t>(spec.width) > length ? spec.width - length : 0;
  if (spec.leftAlign) {
    out += prefix;
    out += body;
    out.append(fill, u' ');
  } else if (spec.zeroPad) {
    out += prefix;
    out.append(fill, u'0');
    out += body;
  } else {
    out.append(fill, u' ');
    out += prefix;
    out += body;
  }
}

}  // namespace

size_t ParseFormatSpec(const char16_t* text, size_t length, FormatSpec& spec) {
  spec = FormatSpec{};
  size_t i = 0;
  for (; i < length; ++i) {
    char16_t c = text[i];
    if (c == u'-')
      spec.leftAlign = true;
    else if (c == u'+')
      spec.plusSign = true;
    else if (c == u' ')
      spec.spaceSign = true;
    else if (c == u'0')
      spec.zeroPad = true;
    else if (c == u'#')
      spec.alternate = true;
    else
      break;
  }
  while (i < length && IsDigit(text[i])) {
    spec.width = std::min(spec.width * 10 + (text[i] - u'0'), 4096);
    ++i;
  }
  if (i < length && text[i] == u'.') {
    ++i;
    spec.precision = 0;
    while (i < length && IsDigit(text[i])) {
      spec.precision = std::min(spec.precision * 10 + (text[i] - u'0'), 4096);
      ++i;
    }
  }
  // Size prefixes; 'l' is 32-bit as on the device.
  if (i + 2 < length && text[i] == u'I' && text[i + 1] == u'6' && text[i + 2] == u'4') {
    spec.wide64 = true;
    i += 3;
  } else if (i + 1 < length && text[i] == u'l' && text[i + 1] == u'l') {
    spec.wide64 = true;
    i += 2;
  } else if (i < length && (text[i] == u'l' || text[i] == u'w')) {
    ++i;
  } else if (i < length && text[i] == u'h') {
    spec.narrowText = true;
    ++i;
  }
  if (i >= length) return 0;
  char16_t c = text[i];
  switch (c) {
    case u'd': case u'i': case u'u': case u'x': case u'X': case u'o': case u'c': case u's': case u'p':
      break;
    case u'S': case u'C':
      spec.narrowText = true;
      c = c == u'S' ? u's' : u'c';
      break;
    default:
      return 0;
  }
  spec.conversion = c;
  return i + 1;
}

FormatKind KindOf(const FormatSpec& spec) {
  switch (spec.conversion) {
    case u'd': case u'i':
      return FormatKind::kSigned;
    case u'c':
      return FormatKind::kCharacter;
    case u's':
      return spec.narrowText ? FormatKind::kNarrowText : FormatKind::kWideText;
    case u'p':
      return FormatKind::kPointer;
    default:
      return FormatKind::kUnsigned;
  }
}

void AppendFormatted(std::u16string& out, const FormatSpec& spec, const FormatValue& value) {
  switch (KindOf(spec)) {
    case FormatKind::kSigned: {
      int64_t v = value.signedValue;
      uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
      std::u16string prefix;
      if (v < 0 || spec.plusSign || spec.spaceSign) prefix.push_back(v < 0 ? u'-' : spec.plusSign ? u'+' : u' ');
      std::u16string body = Digits(magnitude, 10, false);
      if (spec.precision >= 0 && body.size() < static_cast<size_t>(spec.precision))
        body.insert(0, spec.precision - body.size(), u'0');
      Pad(out, spec, prefix, body);
      return;
    }
    case FormatKind::kUnsigned:
    case FormatKind::kPointer: {
      unsigned base = spec.conversion == u'o' ? 8 : spec.conversion == u'u' ? 10 : 16;
      bool upper = spec.conversion == u'X' || spec.conversion == u'p';
      std::u16string body = Digits(value.unsignedValue, base, upper);
      if (spec.conversion == u'p' && body.size() < 2 * sizeof(void*)) body.insert(0, 2 * sizeof(void*) - body.size(), u'0');
      if (spec.precision >= 0 && body.size() < static_cast<size_t>(spec.precision))
        body.insert(0, spec.precision - body.size(), u'0');
      std::u16string prefix;
      if (spec.alternate && (base == 8 || (base == 16 && value.unsignedValue != 0))) prefix.push_back(u'0');
      if (spec.alternate && base == 16 && value.unsignedValue != 0) prefix.push_back(upper ? u'X' : u'x');
      Pad(out, spec, prefix, body);
      return;
    }
    case FormatKind::kCharacter: {
      FormatSpec noZero = spec;
      noZero.zeroPad = false;
      Pad(out, noZero, u"", std::u16string(1, static_cast<char16_t>(value.unsignedValue & 0xFFFF)));
      return;
    }
    case FormatKind::kWideText:
    case FormatKind::kNarrowText: {
      std::u16string body;
      size_t limit = spec.precision >= 0 ? static_cast<size_t>(spec.precision) : SIZE_MAX;
      if (spec.narrowText) {
        const char* s = value.narrowText ? value.narrowText : "(null)";
        for (size_t i = 0; s[i] && i < limit; ++i) body += static_cast<char16_t>(static_cast<unsigned char>(s[i]));
      } else {
        const char16_t* s = value.wideText ? value.wideText : u"(null)";
        for (size_t i = 0; s[i] && i < limit; ++i) body += s[i];
      }
      FormatSpec noZero = spec;
      noZero.zeroPad = false;
      Pad(out, noZero, u"", body);
      return;
    }
  }
}

}  // namespace kvplatform
