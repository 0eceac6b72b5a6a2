// Texts between the stores' 16-bit form and the UTF-8 of files, and the
// date forms files use.
#pragma once

#include <optional>
#include <string>

#include <wintypes.h>

#include "kernel/descriptors.h"

namespace kvexchange {

std::string Utf8(const TDesc16& aText);
std::u16string Utf16(const std::string& aText);
// Whether the bytes are well-formed UTF-8.
bool IsUtf8(const std::string& aText);
// ISO 8859-1 bytes as UTF-8: what a file that is not UTF-8 most likely is.
std::string Latin1ToUtf8(const std::string& aText);
// CR LF and lone CR become LF (files); lone LF and CR become CR LF (stores).
std::string WithLf(const std::string& aText);
std::string WithCrLf(const std::string& aText);

// ASCII case changes (keywords, headers), and blanks and line ends trimmed.
std::string AsciiUpper(std::string aText);
std::string AsciiLower(std::string aText);
std::string Trimmed(const std::string& aText);

// "2003-01-05T10:00:00Z"; the stores keep UTC.
std::string IsoUtc(const FILETIME& aTime);
// Reads "2003-01-05T10:00:00Z", with or without seconds, fractions, "Z" or
// an offset ("+01:00"); nothing for anything else.
std::optional<FILETIME> ParseIsoTime(const std::string& aText);
// Milliseconds since 1970 (UTC), as Android keeps dates, and back.
long long UnixMillis(const FILETIME& aTime);
// The latest of those a FILETIME holds (in the year 30828); later ones are
// taken as this one, so a file must refuse them first.
inline constexpr long long KLatestUnixMillis = 910692730085477LL;
FILETIME FromUnixMillis(long long aMillis);

// Keeps a view of a std::u16string for the store's setters.
inline TConstPtr16 View(const std::u16string& aText) { return TConstPtr16(aText.data(), static_cast<int>(aText.size())); }

}  // namespace kvexchange
