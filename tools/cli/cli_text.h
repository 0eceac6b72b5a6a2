// Conversions between the program's 16-bit texts and the terminal's UTF-8,
// and the forms the CLI prints.
#pragma once

#include <string>

#include <windows.h>

#include "kernel/descriptors.h"

namespace kvcli {

std::string Utf8(const TDesc16& aText);
std::u16string Utf16(const std::string& aText);
// Lone LF or CR become CR LF, as a multi-line edit box stores them.
std::u16string WithCrLf(const std::u16string& aText);
// CR LF and lone CR become LF, for printing.
std::string WithLf(const std::string& aText);
// Whether the bytes are well-formed UTF-8: arguments are taken as UTF-8
// whatever the locale says, and anything else is refused, not guessed.
bool IsUtf8(const std::string& aText);
// aText followed by spaces to aColumns terminal columns; East Asian wide
// characters and emoji take two columns, combining marks none.
std::string Padded(const std::string& aText, size_t aColumns);
// "2003-01-05T10:00:00Z" (the stored times are UTC).
std::string IsoUtc(const FILETIME& aTime);

}  // namespace kvcli
