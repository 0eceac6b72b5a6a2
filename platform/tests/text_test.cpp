// Text formatting as the log lines and error boxes need it, case mapping,
// and time conversions.
#include <cstdlib>

#include <gtest/gtest.h>
#include <kvplatform.h>
#include <windows.h>

#include "time_zone.h"

namespace {

std::u16string Format(LPCWSTR format, std::initializer_list<DWORD_PTR> arguments, DWORD size = 256) {
  std::vector<DWORD_PTR> slots(arguments);
  WCHAR buffer[512] = {};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format, 0, 0, buffer, size,
                           reinterpret_cast<va_list*>(slots.data()));
  return n == 0 ? u"<failed>" : std::u16string(buffer, n);
}

DWORD_PTR Text(const char16_t* text) { return reinterpret_cast<DWORD_PTR>(text); }
DWORD_PTR Int(int value) { return static_cast<DWORD_PTR>(static_cast<intptr_t>(value)); }

std::u16string Sprintf(LPCWSTR format, ...) {
  WCHAR buffer[1100];
  va_list arguments;
  va_start(arguments, format);
  int n = wvsprintfW(buffer, format, arguments);
  va_end(arguments);
  return std::u16string(buffer, n);
}

TEST(Text, FormatMessageGivesTheLogLinesExactly) {
  // The log header, with the caller's format passed through unexpanded.
  EXPECT_EQ(Format(u"0x%1!08x! %2!06d!: %3!s!", {0x1a2b, 1500, Text(u"PortInitialize Port = 0x%1!x!")}),
            u"0x00001a2b 001500: PortInitialize Port = 0x%1!x!");
  EXPECT_EQ(Format(u"PortInitialize Port = 0x%1!x!", {0x40}), u"PortInitialize Port = 0x40");
  EXPECT_EQ(Format(u"Active Panic %1!d!", {Int(46)}), u"Active Panic 46");
  EXPECT_EQ(Format(u"reason = %3!d!, status = 0x%2!x!, event 0x%1!x!", {0x44, 0x7fff12345678, Int(-33)}),
            u"reason = -33, status = 0x12345678, event 0x44");  // an address shows its low 32 bits
  EXPECT_EQ(Format(u"User::Panic Category: %1!s!, Reason %2!d!", {Text(u"Too many starts"), Int(666)}),
            u"User::Panic Category: Too many starts, Reason 666");
  EXPECT_EQ(Format(u"100%% sure %1", {Text(u"yes")}), u"100% sure yes");
  EXPECT_EQ(Format(u"%1!-6s!|%2!5u!|%3!c!", {Text(u"ab"), 42, u'Z'}), u"ab    |   42|Z");
  EXPECT_EQ(Format(u"line%nnext%0ignored", {}), u"line\r\nnext");

  // A result that does not fit fails and returns 0.
  WCHAR small[8];
  DWORD_PTR slot = Text(u"far too long for eight");
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, u"%1!s!", 0, 0, small, 8,
                           reinterpret_cast<va_list*>(&slot)),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(Format(u"1234567", {}, 8), u"1234567");
  EXPECT_EQ(Format(u"12345678", {}, 8), u"<failed>");
  EXPECT_EQ(Format(u"%1!q!", {1}), u"<failed>");  // a spec it does not know
}

TEST(Text, WsprintfFormatsErrorBoxTexts) {
  EXPECT_EQ(Sprintf(u"Failed to set event %d", -2), u"Failed to set event -2");
  EXPECT_EQ(Sprintf(u"Failed to open %s", u"\\My Documents\\KorvanetLog.Txt"),
            u"Failed to open \\My Documents\\KorvanetLog.Txt");
  EXPECT_EQ(Sprintf(u"[%5d|%-5d|%05d]", 42, 42, 42), u"[   42|42   |00042]");
  EXPECT_EQ(Sprintf(u"%x %X %08x %u", 255u, 255u, 0xbeefu, 4000000000u), u"ff FF 0000beef 4000000000");
  EXPECT_EQ(Sprintf(u"%c%c %lu %ld %hs", u'O', u'K', 7u, -7, "narrow"), u"OK 7 -7 narrow");
  EXPECT_EQ(Sprintf(u"%.3s|%s", u"abcdef", static_cast<const char16_t*>(nullptr)), u"abc|(null)");
  std::u16string big(2000, u'x');
  EXPECT_EQ(Sprintf(u"%s", big.c_str()).size(), 1023u);  // cut to the 1024-character buffer
}

TEST(Text, CaseMappingCoversLatin1) {
  WCHAR text[] = u"abcäöüßÿ xyz ÀÉ÷";
  CharUpperW(text);
  EXPECT_EQ(std::u16string(text), u"ABCÄÖÜßŸ XYZ ÀÉ÷");
  CharLowerW(text);
  EXPECT_EQ(std::u16string(text), u"abcäöüßÿ xyz àé÷");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(u'é')))),
            static_cast<uintptr_t>(u'É'));
  EXPECT_EQ(lstrcmpiW(u"KorvanetWindowClass", u"korvanetwindowclass"), 0);
  EXPECT_LT(lstrcmpW(u"abc", u"abd"), 0);
}

TEST(Time, FileTimesRoundTripAndInvalidInputFails) {
  SYSTEMTIME st{2002, 12, 0, 31, 23, 59, 59, 0};
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  // 2002-12-31 23:59:59 UTC is 1041379199 seconds after 1970.
  EXPECT_EQ(ticks, 116444736000000000ull + 1041379199ull * 10000000ull);
  SYSTEMTIME back{};
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
  EXPECT_EQ((std::vector<WORD>{back.wYear, back.wMonth, back.wDay, back.wDayOfWeek, back.wHour, back.wSecond}),
            (std::vector<WORD>{2002, 12, 31, 2, 23, 59}));  // a Tuesday

  SYSTEMTIME leap{2004, 2, 0, 29, 0, 0, 0, 0};
  EXPECT_TRUE(SystemTimeToFileTime(&leap, &ft));
  SYSTEMTIME bad[] = {{2003, 2, 0, 29, 0, 0, 0, 0}, {2003, 13, 0, 1, 0, 0, 0, 0}, {2003, 1, 0, 1, 24, 0, 0, 0},
                      {1600, 1, 0, 1, 0, 0, 0, 0},  {2003, 0, 0, 1, 0, 0, 0, 0},  {2003, 1, 0, 0, 0, 0, 0, 0}};
  for (const SYSTEMTIME& b : bad) EXPECT_FALSE(SystemTimeToFileTime(&b, &ft));
  FILETIME huge{0, 0x80000000u};
  EXPECT_FALSE(FileTimeToSystemTime(&huge, &back));

  SYSTEMTIME now;
  GetSystemTime(&now);
  EXPECT_GE(now.wYear, 2024);
  EXPECT_TRUE(SystemTimeToFileTime(&now, &ft));
}

// The zone is the user's (TZ), read again at each call, with its summer time
// on the day asked about, not today's.
TEST(Time, UtcBecomesTheUsersOwnTimeOfThatDay) {
  kvtest::TScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
  const SYSTEMTIME winter{2024, 1, 0, 15, 12, 0, 0, 0};
  const SYSTEMTIME summer{2024, 7, 0, 15, 12, 0, 0, 0};
  SYSTEMTIME local{};
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &winter, &local));
  EXPECT_EQ(local.wHour, 13);
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &summer, &local));
  EXPECT_EQ(local.wHour, 14);
  {
    kvtest::TScopedTimeZone newfoundland("NST3:30");  // 03:30 west, across midnight
    const SYSTEMTIME early{2024, 3, 0, 9, 1, 15, 0, 0};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &early, &local));
    EXPECT_EQ((std::vector<WORD>{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute}),
              (std::vector<WORD>{2024, 3, 8, 21, 45}));
  }
  const int zone = 0;
  EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(&zone, &winter, &local));  // only the user's zone is known
  const SYSTEMTIME bad{2024, 13, 0, 1, 0, 0, 0, 0};
  EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(nullptr, &bad, &local));
}

TEST(Time, ShortDateFollowsTheHostLocale) {
  const char* saved = std::getenv("LC_ALL");
  std::string restore = saved ? saved : "";
  setenv("LC_ALL", "C", 1);
  SYSTEMTIME st{2002, 12, 0, 31, 23, 59, 59, 0};
  WCHAR buffer[64];
  int needed = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, nullptr, 0);
  EXPECT_EQ(needed, 9);
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 64), 9);
  EXPECT_EQ(std::u16string(buffer), u"12/31/02");
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, u"dd'.'MM'.'yyyy", buffer, 64), 0);
  EXPECT_EQ(std::u16string(buffer), u"31.12.2002");
  SYSTEMTIME invalid{2002, 2, 0, 30, 0, 0, 0, 0};
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &invalid, nullptr, buffer, 64), 0);
  if (saved)
    setenv("LC_ALL", restore.c_str(), 1);
  else
    unsetenv("LC_ALL");
}

}  // namespace
