// A whole file of the device (a path such as "\My Documents\a.vcf") read
// into memory or written from it, for the exports and imports the views run.
#pragma once

#include <string>

#include <windows.h>

// False, with aError saying why, when the file cannot be read.
bool KvReadDeviceFileL(LPCWSTR aPath, std::string& aText, std::u16string& aError);
// Creates or replaces the file. False, with aError, when it cannot be
// written; a file left half-written is removed.
bool KvWriteDeviceFileL(LPCWSTR aPath, const std::string& aText, std::u16string& aError);
