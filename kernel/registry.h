// Single named values under a key of HKEY_CURRENT_USER. Each call opens (or
// creates) the key, reads or writes one value and closes it again.
#pragma once

#include <wintypes.h>

class CEpocRegistry {
 public:
  // A malloc'ed copy of a REG_SZ value (the caller frees it), or null.
  static LPWSTR GetRegistryString(LPCWSTR aKeyPath, LPCWSTR aValueName);
  // A REG_DWORD value, or 0 when it cannot be read.
  static int GetRegistryInt(LPCWSTR aKeyPath, LPCWSTR aValueName);
  static void SaveRegistryInt(LPCWSTR aKeyPath, LPCWSTR aValueName, int aValue);
  static void SaveRegistryString(LPCWSTR aKeyPath, LPCWSTR aValueName, LPCWSTR aText);
};
