#include "exchange/exchange_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include <kvplatform.h>
#include <windows.h>

namespace kvexchange {
namespace {

// FILETIME ticks (100 ns since 1601) at 1970-01-01.
const long long KUnixEpochTicks = 116444736000000000LL;

long long Ticks(const FILETIME& aTime) {
  return static_cast<long long>((static_cast<unsigned long long>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime);
}

FILETIME FromTicks(long long aTicks) {
  auto value = static_cast<unsigned long long>(aTicks < 0 ? 0 : aTicks);
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// Days from 1970-01-01 to the date (proleptic Gregorian).
long long DaysFromCivil(int aYear, unsigned aMonth, unsigned aDay) {
  aYear -= aMonth <= 2;
  const long long era = (aYear >= 0 ? aYear : aYear - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(aYear - era * 400);
  const unsigned doy = (153 * (aMonth + (aMonth > 2 ? -3 : 9)) + 2) / 5 + aDay - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

std::string Utf8(const TDesc16& aText) {
  if (aText.Length() == 0) return {};
  return kvplatform::ToUtf8(std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())));
}

std::u16string Utf16(const std::string& aText) { return kvplatform::FromUtf8(aText); }

bool IsUtf8(const std::string& aText) {
  for (size_t i = 0; i < aText.size();) {
    auto c = static_cast<unsigned char>(aText[i]);
    int extra = c < 0x80 ? 0 : c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= aText.size()) return false;
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(aText[i + static_cast<size_t>(k)]) & 0xC0) != 0x80) return false;
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

std::string Latin1ToUtf8(const std::string& aText) {
  std::string out;
  out.reserve(aText.size());
  for (char ch : aText) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
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

std::string WithCrLf(const std::string& aText) {
  std::string lf = WithLf(aText);
  std::string out;
  out.reserve(lf.size() + 8);
  for (char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string AsciiUpper(std::string aText) {
  for (char& c : aText) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return aText;
}

std::string AsciiLower(std::string aText) {
  for (char& c : aText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return aText;
}

std::string Trimmed(const std::string& aText) {
  size_t first = aText.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return aText.substr(first, aText.find_last_not_of(" \t\r\n") - first + 1);
}

std::string IsoUtc(const FILETIME& aTime) {
  SYSTEMTIME t = {};
  if (!FileTimeToSystemTime(&aTime, &t)) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}

std::optional<FILETIME> ParseIsoTime(const std::string& aText) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
  if (std::sscanf(aText.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 || used != 10) return std::nullopt;
  size_t pos = 10;
  if (pos < aText.size() && (aText[pos] == 'T' || aText[pos] == ' ')) {
    int part = 0;
    if (std::sscanf(aText.c_str() + pos + 1, "%2d:%2d%n", &hour, &minute, &part) != 2 || part != 5) return std::nullopt;
    pos += 6;
    if (pos < aText.size() && aText[pos] == ':') {
      if (std::sscanf(aText.c_str() + pos + 1, "%2d%n", &second, &part) != 1 || part != 2) return std::nullopt;
      pos += 3;
      if (pos < aText.size() && (aText[pos] == '.' || aText[pos] == ',')) {
        ++pos;
        while (pos < aText.size() && aText[pos] >= '0' && aText[pos] <= '9') ++pos;
      }
    }
  }
  int offsetMinutes = 0;
  if (pos < aText.size() && aText[pos] == 'Z') {
    ++pos;
  } else if (pos < aText.size() && (aText[pos] == '+' || aText[pos] == '-')) {
    int oh = 0, om = 0, part = 0;
    if (std::sscanf(aText.c_str() + pos + 1, "%2d:%2d%n", &oh, &om, &part) != 2 || part != 5) return std::nullopt;
    offsetMinutes = (aText[pos] == '-' ? -1 : 1) * (oh * 60 + om);
    pos += 6;
  }
  if (pos != aText.size() || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 ||
      year < 1601)
    return std::nullopt;
  long long seconds = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400LL +
                      hour * 3600LL + minute * 60LL + second - offsetMinutes * 60LL;
  return FromUnixMillis(seconds * 1000);
}

long long UnixMillis(const FILETIME& aTime) { return (Ticks(aTime) - KUnixEpochTicks) / 10000; }

FILETIME FromUnixMillis(long long aMillis) {
  return FromTicks(std::min(aMillis, KLatestUnixMillis) * 10000 + KUnixEpochTicks);
}

}  // namespace kvexchange
