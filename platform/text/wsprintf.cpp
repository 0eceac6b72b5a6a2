// wvsprintfW / wsprintfW: the device's small printf. No floating point; the
// output is cut at 1024 characters including the terminator.
#include <cstdarg>

#include <winbase.h>

#include "format_conversion.h"

using namespace kvplatform;

namespace {
constexpr size_t kWsprintfLimit = 1024;
}

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list arguments) {
  if (buffer == nullptr || format == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  std::u16string out;
  size_t length = 0;
  while (format[length]) ++length;
  for (size_t i = 0; i < length && out.size() < kWsprintfLimit;) {
    if (format[i] != u'%') {
      out += format[i++];
      continue;
    }
    FormatSpec spec;
    size_t used = ParseFormatSpec(format + i + 1, length - i - 1, spec);
    if (used == 0) {
      // "%%" and unknown conversions give the character after the percent sign.
      if (i + 1 < length) out += format[i + 1];
      i += 2;
      continue;
    }
    i += 1 + used;
    FormatValue value;
    switch (KindOf(spec)) {
      case FormatKind::kSigned:
        value.signedValue = spec.wide64 ? va_arg(arguments, long long) : va_arg(arguments, int);
        break;
      case FormatKind::kUnsigned:
        value.unsignedValue = spec.wide64 ? va_arg(arguments, unsigned long long) : va_arg(arguments, unsigned int);
        break;
      case FormatKind::kCharacter:
        value.unsignedValue = static_cast<unsigned>(va_arg(arguments, int));
        break;
      case FormatKind::kWideText:
        value.wideText = va_arg(arguments, const char16_t*);
        break;
      case FormatKind::kNarrowText:
        value.narrowText = va_arg(arguments, const char*);
        break;
      case FormatKind::kPointer:
        value.unsignedValue = reinterpret_cast<uintptr_t>(va_arg(arguments, void*));
        break;
    }
    AppendFormatted(out, spec, value);
  }
  if (out.size() > kWsprintfLimit - 1) out.resize(kWsprintfLimit - 1);
  std::copy(out.begin(), out.end(), buffer);
  buffer[out.size()] = 0;
  return static_cast<int>(out.size());
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int written = wvsprintfW(buffer, format, arguments);
  va_end(arguments);
  return written;
}
