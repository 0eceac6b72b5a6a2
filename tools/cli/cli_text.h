// Conversions between the program's 16-bit texts and the terminal's UTF-8,
// and the forms the CLI prints.
#pragma once

#include <string>

#include <windows.h>

#include "exchange/exchange_text.h"
#include "kernel/descriptors.h"

namespace kvcli {

// The same conversions as the files the tool reads and writes.
using kvexchange::IsoUtc;
using kvexchange::Utf16;
using kvexchange::Utf8;
using kvexchange::WithLf;
// Lone LF or CR become CR LF, as a multi-line edit box stores them.
std::u16string WithCrLf(const std::u16string& aText);
// Whether the bytes are well-formed UTF-8: arguments are taken as UTF-8
// whatever the locale says, and anything else is refused, not guessed.
bool IsUtf8(const std::string& aText);
// aText followed by spaces to aColumns terminal columns; East Asian wide
// characters and emoji take two columns, combining marks none.
std::string Padded(const std::string& aText, size_t aColumns);
// aText made safe to print: a message or a name from anyone must not drive
// the terminal. Control characters (C0, DEL, C1) become "\x1B" or "\u0085",
// and the characters that reorder or break a line (bidirectional overrides,
// isolates and marks, line and paragraph separators) "\u202E"; bytes that
// are not UTF-8 "\xFF". Line feeds stay where aKeepLineFeeds says so.
std::string Printable(const std::string& aText, bool aKeepLineFeeds = false);
// A whole file's text made safe to show as Printable does, its lines kept:
// CR LF and LF end a line; a CR alone, which would let a line overwrite
// another, is escaped.
std::string PrintableLines(const std::string& aText);
// Serialised JSON with the characters Printable escapes that JSON leaves as
// they are (DEL, C1, the line reordering ones) written as \u escapes: the
// same values, and nothing in it acts on a terminal.
std::string TerminalJson(const std::string& aJson);

}  // namespace kvcli
