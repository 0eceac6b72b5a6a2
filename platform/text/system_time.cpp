// UTC system time and the 100-nanosecond file time counted from 1601-01-01.
#include <time.h>

#include <windows.h>

namespace {

constexpr uint64_t kTicksPerMillisecond = 10000;
constexpr uint64_t kTicksPerSecond = 10000000;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kDaysTo1970 = 134774;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

void FromTimespec(const timespec& now, bool local, LPSYSTEMTIME out) {
  time_t seconds = now.tv_sec;
  tm parts{};
  // localtime_r need not look at TZ again; a zone changed since is read here.
  if (local) {
    tzset();
    localtime_r(&seconds, &parts);
  } else {
    gmtime_r(&seconds, &parts);
  }
  out->wYear = static_cast<WORD>(parts.tm_year + 1900);
  out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
  out->wDay = static_cast<WORD>(parts.tm_mday);
  out->wHour = static_cast<WORD>(parts.tm_hour);
  out->wMinute = static_cast<WORD>(parts.tm_min);
  out->wSecond = static_cast<WORD>(parts.tm_sec);
  out->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

}  // namespace

void GetSystemTime(LPSYSTEMTIME time) {
  if (time == nullptr) return;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  FromTimespec(now, false, time);
}

void GetLocalTime(LPSYSTEMTIME time) {
  if (time == nullptr) return;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  FromTimespec(now, true, time);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, LPFILETIME fileTime) {
  if (st == nullptr || fileTime == nullptr || st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 ||
      st->wMonth > 12 || st->wDay < 1 || st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 ||
      st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay) + kDaysTo1970;
  uint64_t seconds = static_cast<uint64_t>(days) * 86400 + st->wHour * 3600u + st->wMinute * 60u + st->wSecond;
  uint64_t ticks = seconds * kTicksPerSecond + st->wMilliseconds * kTicksPerMillisecond;
  fileTime->dwLowDateTime = static_cast<DWORD>(ticks);
  fileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME st) {
  if (fileTime == nullptr || st == nullptr || (fileTime->dwHighDateTime & 0x80000000u)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t ticks = (static_cast<uint64_t>(fileTime->dwHighDateTime) << 32) | fileTime->dwLowDateTime;
  uint64_t seconds = ticks / kTicksPerSecond;
  int64_t days = static_cast<int64_t>(seconds / 86400);
  uint64_t rest = seconds % 86400;
  int64_t year;
  unsigned month, day;
  CivilFromDays(days - kDaysTo1970, year, month, day);
  st->wYear = static_cast<WORD>(year);
  st->wMonth = static_cast<WORD>(month);
  st->wDay = static_cast<WORD>(day);
  st->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  st->wHour = static_cast<WORD>(rest / 3600);
  st->wMinute = static_cast<WORD>(rest / 60 % 60);
  st->wSecond = static_cast<WORD>(rest % 60);
  st->wMilliseconds = static_cast<WORD>(ticks % kTicksPerSecond / kTicksPerMillisecond);
  return TRUE;
}

BOOL SystemTimeToTzSpecificLocalTime(const void* timeZone, const SYSTEMTIME* universalTime, LPSYSTEMTIME localTime) {
  FILETIME fileTime;
  if (timeZone != nullptr || localTime == nullptr || !SystemTimeToFileTime(universalTime, &fileTime)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const uint64_t ticks = (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
  timespec moment{};
  moment.tv_sec = static_cast<time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) - kDaysTo1970 * 86400);
  moment.tv_nsec = static_cast<long>(ticks % kTicksPerSecond * 100);
  FromTimespec(moment, true, localTime);
  return TRUE;
}
