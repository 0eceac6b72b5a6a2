// Locale-dependent formatting.
#pragma once

#include "wintypes.h"

// UTF-16: a character outside the basic plane is a high and a low surrogate.
#define IS_HIGH_SURROGATE(wch) (((wch) >= 0xD800) && ((wch) <= 0xDBFF))
#define IS_LOW_SURROGATE(wch) (((wch) >= 0xDC00) && ((wch) <= 0xDFFF))
#define IS_SURROGATE_PAIR(hs, ls) (IS_HIGH_SURROGATE(hs) && IS_LOW_SURROGATE(ls))

#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_USER_DEFAULT 0x0400
#define DATE_SHORTDATE 0x00000001
#define DATE_LONGDATE 0x00000002
#define TIME_NOSECONDS 0x00000002
#define TIME_FORCE24HOURFORMAT 0x00000008

// The short date follows the order of the host's LC_TIME date format.
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR buffer,
                   int size);
int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR buffer,
                   int size);

#define NORM_IGNORECASE 0x00000001
#define NORM_IGNORENONSPACE 0x00000002
#define NORM_IGNORESYMBOLS 0x00000004
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3

// The order of two texts under the collation a database's text sort orders
// use, the same in every locale: NORM_IGNORENONSPACE and NORM_IGNORESYMBOLS
// compare as CEDB_SORT_IGNORENONSPACE and CEDB_SORT_IGNORESYMBOLS sort; any
// other flag, NORM_IGNORECASE too, is refused (ERROR_INVALID_FLAGS). A length of -1 reads up to the
// terminator. CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN; 0 on failure.
int CompareStringW(LCID locale, DWORD flags, LPCWSTR first, int firstLength, LPCWSTR second, int secondLength);
