// A whole file of the device (a path such as "\My Documents\a.vcf") read
// into memory or written from it, for the exports and imports the views run.
#pragma once

#include <string>

#include <windows.h>

#include "exchange/exchange_file.h"

// False, with aError saying why, when the file cannot be read or is not one
// of aKind (too large, or not text).
bool KvReadDeviceFileL(LPCWSTR aPath, kvexchange::TInputKind aKind, std::string& aText, std::u16string& aError);
// Creates or replaces the file, private to the user, whole or not at all:
// False, with aError, when it cannot be written; an earlier file is then
// left as it was.
bool KvWriteDeviceFileL(LPCWSTR aPath, const std::string& aText, std::u16string& aError);
