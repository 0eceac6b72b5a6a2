#include "tools/cli/cli_text.h"

#include <cstdio>

#include <kvplatform.h>

namespace kvcli {

std::string Utf8(const TDesc16& aText) {
  if (aText.Length() == 0) return {};
  return kvplatform::ToUtf8(std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())));
}

std::u16string Utf16(const std::string& aText) { return kvplatform::FromUtf8(aText); }

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

std::string WithLf(const std::string& aText) {
  std::string out;
  out.reserve(aText.size());
  for (size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] == '\r') {
      out += '\n';
      if (i + 1 < aText.size() && aText[i + 1] == '\n') ++i;
    } else {
      out += aText[i];
    }
  }
  return out;
}

std::string IsoUtc(const FILETIME& aTime) {
  SYSTEMTIME t = {};
  if (!FileTimeToSystemTime(&aTime, &t)) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}

}  // namespace kvcli
