// GetDateFormatW and GetTimeFormatW. The short date follows the host's LC_TIME
// (what "%x" gives there); picture strings ("dd/MM/yyyy") are honoured too.
#include <locale.h>
#include <time.h>

#include <string>

#include <kvplatform.h>
#include <windows.h>

namespace {

bool ValidDate(const SYSTEMTIME& st) {
  FILETIME unused;
  return SystemTimeToFileTime(&st, &unused) != FALSE;
}

tm ToTm(const SYSTEMTIME& st) {
  tm parts{};
  parts.tm_year = st.wYear - 1900;
  parts.tm_mon = st.wMonth - 1;
  parts.tm_mday = st.wDay;
  parts.tm_hour = st.wHour;
  parts.tm_min = st.wMinute;
  parts.tm_sec = st.wSecond;
  parts.tm_isdst = -1;
  // Day of week from the date itself, so a caller's stale wDayOfWeek is ignored.
  FILETIME ft;
  SYSTEMTIME normalised;
  if (SystemTimeToFileTime(&st, &ft) && FileTimeToSystemTime(&ft, &normalised)) parts.tm_wday = normalised.wDayOfWeek;
  return parts;
}

std::u16string HostFormat(const char* pattern, const tm& parts) {
  locale_t host = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (host == static_cast<locale_t>(0)) host = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  char text[128];
  size_t n = strftime_l(text, sizeof text, pattern, &parts, host);
  freelocale(host);
  return kvplatform::FromUtf8(std::string(text, n));
}

std::u16string Number(int value, int digits) {
  std::u16string text = kvplatform::FromUtf8(std::to_string(value));
  if (static_cast<int>(text.size()) < digits) text.insert(0, digits - text.size(), u'0');
  return text;
}

// Expands a picture string such as "dd/MM/yyyy", "ddd, MMM d" or "HH':'mm".
std::u16string Picture(const std::u16string& picture, const SYSTEMTIME& st) {
  tm parts = ToTm(st);
  std::u16string out;
  for (size_t i = 0; i < picture.size();) {
    char16_t c = picture[i];
    if (c == u'\'') {
      size_t close = picture.find(u'\'', i + 1);
      if (close == std::u16string::npos) close = picture.size();
      out += picture.substr(i + 1, close - i - 1);
      i = close + 1;
      continue;
    }
    size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    switch (c) {
      case u'd':
        out += run == 1 ? Number(st.wDay, 1) : run == 2 ? Number(st.wDay, 2) : HostFormat(run == 3 ? "%a" : "%A", parts);
        break;
      case u'M':
        out += run == 1 ? Number(st.wMonth, 1) : run == 2 ? Number(st.wMonth, 2) : HostFormat(run == 3 ? "%b" : "%B", parts);
        break;
      case u'y':
        out += run <= 2 ? Number(st.wYear % 100, static_cast<int>(run)) : Number(st.wYear, 4);
        break;
      case u'H':
        out += Number(st.wHour, static_cast<int>(std::min<size_t>(run, 2)));
        break;
      case u'h':
        out += Number(st.wHour % 12 == 0 ? 12 : st.wHour % 12, static_cast<int>(std::min<size_t>(run, 2)));
        break;
      case u'm':
        out += Number(st.wMinute, static_cast<int>(std::min<size_t>(run, 2)));
        break;
      case u's':
        out += Number(st.wSecond, static_cast<int>(std::min<size_t>(run, 2)));
        break;
      case u't':
        out += std::u16string(st.wHour < 12 ? u"AM" : u"PM").substr(0, run == 1 ? 1 : 2);
        break;
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

int Deliver(const std::u16string& text, LPWSTR buffer, int size) {
  int needed = static_cast<int>(text.size()) + 1;
  if (size == 0) return needed;
  if (buffer == nullptr || size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return needed;
}

bool ResolveTime(const SYSTEMTIME* given, SYSTEMTIME& st) {
  if (given == nullptr)
    GetLocalTime(&st);
  else
    st = *given;
  if (!ValidDate(st)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

}  // namespace

int GetDateFormatW(LCID, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR buffer, int size) {
  SYSTEMTIME st;
  if (size < 0 || (format != nullptr && (flags & (DATE_SHORTDATE | DATE_LONGDATE))) || !ResolveTime(date, st)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string text;
  if (format != nullptr)
    text = Picture(format, st);
  else
    text = HostFormat((flags & DATE_LONGDATE) ? "%A, %e %B %Y" : "%x", ToTm(st));
  return Deliver(text, buffer, size);
}

int GetTimeFormatW(LCID, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR buffer, int size) {
  SYSTEMTIME st;
  if (size < 0 || !ResolveTime(time, st)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string text;
  if (format != nullptr)
    text = Picture(format, st);
  else if (flags & TIME_FORCE24HOURFORMAT)
    text = Picture((flags & TIME_NOSECONDS) ? u"HH':'mm" : u"HH':'mm':'ss", st);
  else
    text = HostFormat((flags & TIME_NOSECONDS) ? "%H:%M" : "%X", ToTm(st));
  return Deliver(text, buffer, size);
}
