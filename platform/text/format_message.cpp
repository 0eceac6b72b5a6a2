// FormatMessageW on a message given as a string, with numbered inserts taken
// from an array of pointer-sized values ("%1!d!", "%2!x!", "%3!s!").
#include <algorithm>

#include <winbase.h>

#include "format_conversion.h"

using namespace kvplatform;

namespace {

// Reads one insert's value from its slot, with the type its spec names:
// integers are the slot's low 32 bits unless the conversion says 64.
FormatValue ValueFromSlot(const FormatSpec& spec, DWORD_PTR slot) {
  FormatValue value;
  switch (KindOf(spec)) {
    case FormatKind::kSigned:
      value.signedValue = spec.wide64 ? static_cast<int64_t>(slot) : static_cast<int32_t>(static_cast<uint32_t>(slot));
      break;
    case FormatKind::kUnsigned:
      value.unsignedValue = spec.wide64 ? static_cast<uint64_t>(slot) : static_cast<uint32_t>(slot);
      break;
    case FormatKind::kCharacter:
      value.unsignedValue = static_cast<uint16_t>(slot);
      break;
    case FormatKind::kWideText:
      value.wideText = reinterpret_cast<const char16_t*>(slot);
      break;
    case FormatKind::kNarrowText:
      value.narrowText = reinterpret_cast<const char*>(slot);
      break;
    case FormatKind::kPointer:
      value.unsignedValue = slot;
      break;
  }
  return value;
}

// Expands the message; false for a malformed insert or missing arguments.
bool Expand(const char16_t* format, const DWORD_PTR* arguments, bool ignoreInserts, std::u16string& out) {
  size_t length = 0;
  while (format[length]) ++length;
  for (size_t i = 0; i < length;) {
    char16_t c = format[i];
    if (c != u'%') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 >= length) {  // a lone percent sign at the end
      ++i;
      continue;
    }
    char16_t next = format[i + 1];
    if (next >= u'1' && next <= u'9') {
      size_t start = i;
      unsigned number = next - u'0';
      i += 2;
      if (i < length && format[i] >= u'0' && format[i] <= u'9') number = number * 10 + (format[i++] - u'0');
      FormatSpec spec;
      spec.conversion = u's';
      if (i < length && format[i] == u'!') {
        size_t close = i + 1;
        while (close < length && format[close] != u'!') ++close;
        if (close >= length) return false;
        if (ParseFormatSpec(format + i + 1, close - i - 1, spec) != close - i - 1) return false;
        i = close + 1;
      }
      if (ignoreInserts) {
        out.append(format + start, format + i);
        continue;
      }
      if (arguments == nullptr) return false;
      AppendFormatted(out, spec, ValueFromSlot(spec, arguments[number - 1]));
      continue;
    }
    i += 2;
    switch (next) {
      case u'0':
        return true;
      case u'n':
        out += u"\r\n";
        break;
      case u'r':
        out += u'\r';
        break;
      case u't':
        out += u'\t';
        break;
      case u'b':
        out += u' ';
        break;
      default:
        out += next;  // "%%", "%.", "%!" and the like stand for the character itself
        break;
    }
  }
  return true;
}

}  // namespace

DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD, DWORD, LPWSTR buffer, DWORD size, va_list* arguments) {
  const bool ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
  const bool argumentArray = (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0;
  if (!(flags & FORMAT_MESSAGE_FROM_STRING) || source == nullptr || buffer == nullptr ||
      (arguments != nullptr && !argumentArray && !ignoreInserts)) {
    // Messages come from strings only, and a va_list cannot say what type
    // each insert has: callers pass an argument array.
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string out;
  const auto* slots = argumentArray ? reinterpret_cast<const DWORD_PTR*>(arguments) : nullptr;
  if (!Expand(static_cast<const char16_t*>(source), slots, ignoreInserts, out)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    auto* block = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, (std::max<size_t>(out.size() + 1, size)) * sizeof(WCHAR)));
    if (block == nullptr) return 0;
    std::copy(out.begin(), out.end(), block);
    block[out.size()] = 0;
    *reinterpret_cast<LPWSTR*>(buffer) = block;
    return static_cast<DWORD>(out.size());
  }
  if (out.size() + 1 > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(out.begin(), out.end(), buffer);
  buffer[out.size()] = 0;
  return static_cast<DWORD>(out.size());
}
