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
// "2003-01-05T10:00:00Z" (the stored times are UTC).
std::string IsoUtc(const FILETIME& aTime);

}  // namespace kvcli
