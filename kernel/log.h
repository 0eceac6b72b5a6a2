// The diagnostic log and error boxes.
//
// LogMessage writes one 8-bit line "0x<thread> <ms>: <message>" CR LF to the
// log file while logging is on. Message formats use FormatMessageW inserts
// ("%1!d!", "%2!x!", "%1!s!"), numbered in the order of the arguments; each
// argument travels with its own type (integers, handles, pointers, LPCWSTR).
// ErrorBox formats with wsprintfW syntax ("%d", "%s") and is shown whatever
// the logging switch says.
#pragma once

#include <type_traits>

#include <windows.h>

#include "kernel/descriptors.h"

// The one log file every caller passes.
inline constexpr WCHAR KLogFilePath[] = u"\\My Documents\\KorvanetLog.Txt";

void SetLogging(int aOn);
int LoggingOn();

// Appends an 8-bit line to the file at the path (opened on first use, never
// truncated).
void LogToFile(LPCWSTR aPath, const TDesc8& aLine);
// Closes the open log file; the next line opens it again. For a change of
// device root (tools, tests).
void LogCloseFile();

void ErrorBox(LPCWSTR aCaption, LPCWSTR aFormat, ...);

// Argument slots for FormatMessageW's argument array.
namespace KvLogArgs {
template <typename A>
DWORD_PTR Slot(A aValue) {
  if constexpr (std::is_enum_v<A>) {
    return static_cast<DWORD_PTR>(static_cast<std::underlying_type_t<A>>(aValue));
  } else if constexpr (std::is_integral_v<A> && std::is_signed_v<A>) {
    return static_cast<DWORD_PTR>(static_cast<intptr_t>(aValue));  // sign-extended
  } else if constexpr (std::is_integral_v<A>) {
    return static_cast<DWORD_PTR>(aValue);
  } else if constexpr (std::is_pointer_v<A>) {
    return reinterpret_cast<DWORD_PTR>(aValue);
  } else if constexpr (std::is_null_pointer_v<A>) {
    return 0;
  } else {
    static_assert(std::is_pointer_v<A>, "log arguments are integers, handles or pointers");
    return 0;
  }
}
}  // namespace KvLogArgs

// The untyped forms behind the templates: aArgs holds one slot per insert.
void LogMessageArgs(LPCWSTR aPath, LPCWSTR aFormat, const DWORD_PTR* aArgs);
void LogMessageWithErrorArgs(DWORD aError, LPCWSTR aPath, LPCWSTR aFormat, const DWORD_PTR* aArgs);
void LogHexDumpArgs(LPCWSTR aPath, const void* aData, int aLength, LPCWSTR aFormat, const DWORD_PTR* aArgs);

template <typename... A>
void LogMessage(LPCWSTR aPath, LPCWSTR aFormat, A... aArgs) {
  if (!LoggingOn()) return;
  const DWORD_PTR args[] = {KvLogArgs::Slot(aArgs)..., 0};
  LogMessageArgs(aPath, aFormat, args);
}

// As LogMessage, with " ERROR <last error>" appended.
template <typename... A>
void LogMessageWithError(LPCWSTR aPath, LPCWSTR aFormat, A... aArgs) {
  DWORD error = GetLastError();
  if (!LoggingOn()) return;
  const DWORD_PTR args[] = {KvLogArgs::Slot(aArgs)..., 0};
  LogMessageWithErrorArgs(error, aPath, aFormat, args);
}

// A log line followed by a dump of aLength bytes at aData: 16 bytes a line,
// hexadecimal pairs and the printable characters between double quotes.
template <typename... A>
void LogHexDump(LPCWSTR aPath, const void* aData, int aLength, LPCWSTR aFormat, A... aArgs) {
  if (!LoggingOn()) return;
  const DWORD_PTR args[] = {KvLogArgs::Slot(aArgs)..., 0};
  LogHexDumpArgs(aPath, aData, aLength, aFormat, args);
}
