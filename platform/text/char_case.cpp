// Case mapping for the 8859-1 range (and ÿ/Ÿ), plus the lstr* helpers.
#include <winbase.h>

namespace {

WCHAR ToUpper(WCHAR c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<WCHAR>(c - 32);
  if (c == 0xFF) return 0x178;
  return c;
}

WCHAR ToLower(WCHAR c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<WCHAR>(c + 32);
  if (c == 0x178) return 0xFF;
  return c;
}

// A "pointer" below 0x10000 carries a single character in its low word.
template <WCHAR (*Map)(WCHAR)>
LPWSTR MapText(LPWSTR text) {
  auto value = reinterpret_cast<uintptr_t>(text);
  if (value < 0x10000) return reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(Map(static_cast<WCHAR>(value))));
  for (LPWSTR p = text; *p; ++p) *p = Map(*p);
  return text;
}

}  // namespace

LPWSTR CharUpperW(LPWSTR text) { return MapText<ToUpper>(text); }
LPWSTR CharLowerW(LPWSTR text) { return MapText<ToLower>(text); }

DWORD CharUpperBuffW(LPWSTR text, DWORD length) {
  if (text == nullptr) return 0;
  for (DWORD i = 0; i < length; ++i) text[i] = ToUpper(text[i]);
  return length;
}

DWORD CharLowerBuffW(LPWSTR text, DWORD length) {
  if (text == nullptr) return 0;
  for (DWORD i = 0; i < length; ++i) text[i] = ToLower(text[i]);
  return length;
}

int lstrlenW(LPCWSTR text) {
  if (text == nullptr) return 0;
  int n = 0;
  while (text[n]) ++n;
  return n;
}

LPWSTR lstrcpyW(LPWSTR destination, LPCWSTR source) {
  if (destination == nullptr || source == nullptr) return nullptr;
  LPWSTR d = destination;
  while ((*d++ = *source++) != 0) {
  }
  return destination;
}

int lstrcmpW(LPCWSTR a, LPCWSTR b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  while (*a && *a == *b) ++a, ++b;
  return *a < *b ? -1 : *a > *b ? 1 : 0;
}

int lstrcmpiW(LPCWSTR a, LPCWSTR b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  // Folded only where the texts differ: sorting a long list compares many
  // characters that are the same.
  for (;; ++a, ++b) {
    if (*a == *b) {
      if (*a == 0) return 0;
      continue;
    }
    WCHAR x = ToLower(*a), y = ToLower(*b);
    if (x != y) return x < y ? -1 : 1;
  }
}
