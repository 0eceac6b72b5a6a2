#include "kernel/registry.h"

#include <cstdlib>

#include "kernel/log.h"

LPWSTR CEpocRegistry::GetRegistryString(LPCWSTR aKeyPath, LPCWSTR aValueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, aKeyPath, 0, 0, &key) != ERROR_SUCCESS) {
    LogMessageWithError(KLogFilePath, u"CEpocRegistry::GetRegistryString RegOpenKeyEx");
    return nullptr;
  }
  DWORD type = 0;
  DWORD size = 0;
  LONG result = RegQueryValueExW(key, aValueName, nullptr, &type, nullptr, &size);
  LPWSTR text = nullptr;
  if (result == ERROR_SUCCESS && type == REG_SZ) {
    // Room for a terminator even if the stored value lacks one.
    text = static_cast<LPWSTR>(std::calloc(1, size + sizeof(WCHAR)));
    result = text ? RegQueryValueExW(key, aValueName, nullptr, &type, reinterpret_cast<LPBYTE>(text), &size)
                  : ERROR_NOT_ENOUGH_MEMORY;
    if (result != ERROR_SUCCESS) {
      LogMessage(KLogFilePath, u"CKvDocument::LoadSettings %1!s! - RegQueryValueExW returned %2!d!", aValueName,
                 result);
      std::free(text);
      RegCloseKey(key);
      return nullptr;
    }
  } else {
    LogMessage(KLogFilePath, u"CEpocRegistry::GetRegistryString %1!s! - RegQueryValueExW returned %2!d!, type=%3!d!",
               aValueName, result, type);
  }
  if (RegCloseKey(key) != ERROR_SUCCESS)
    LogMessageWithError(KLogFilePath, u"CEpocRegistry::GetRegistryString RegCloseKey");
  return text;
}

int CEpocRegistry::GetRegistryInt(LPCWSTR aKeyPath, LPCWSTR aValueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, aKeyPath, 0, 0, &key) != ERROR_SUCCESS) {
    LogMessageWithError(KLogFilePath, u"CEpocRegistry::GetRegistryInt RegOpenKeyEx");
    return 0;
  }
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof value;
  LONG result = RegQueryValueExW(key, aValueName, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
  if (result == ERROR_SUCCESS && type == REG_DWORD) {
    if (RegCloseKey(key) != ERROR_SUCCESS)
      LogMessageWithError(KLogFilePath, u"CEpocRegistry::GetRegistryInt RegCloseKey");
    return static_cast<int>(value);
  }
  LogMessage(KLogFilePath, u"CEpocRegistry::GetRegistryInt RegQueryValueExW returned %1!d!, type=%2!d!", result, type);
  RegCloseKey(key);
  return 0;
}

void CEpocRegistry::SaveRegistryInt(LPCWSTR aKeyPath, LPCWSTR aValueName, int aValue) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, aKeyPath, 0, nullptr, 0, 0, nullptr, &key, &disposition) !=
      ERROR_SUCCESS) {
    LogMessageWithError(KLogFilePath, u"CEpocRegistry::SaveRegistryInt RegOpenKeyEx");
    return;
  }
  DWORD value = static_cast<DWORD>(aValue);
  LONG result =
      RegSetValueExW(key, aValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  if (result != ERROR_SUCCESS) LogMessage(KLogFilePath, u"CEpocRegistry::SaveRegistryInt - failed %1!d!", result);
  if (RegCloseKey(key) != ERROR_SUCCESS)
    LogMessageWithError(KLogFilePath, u"CEpocRegistry::SaveRegistryInt RegCloseKey");
}

void CEpocRegistry::SaveRegistryString(LPCWSTR aKeyPath, LPCWSTR aValueName, LPCWSTR aText) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, aKeyPath, 0, nullptr, 0, 0, nullptr, &key, &disposition);
  if (result != ERROR_SUCCESS) {
    LogMessageWithError(KLogFilePath, u"CEpocRegistry::SaveRegistryString RegOpenKeyEx disp=%1!d!", disposition,
                        result);
    return;
  }
  if (!aText) aText = u"";
  DWORD size = static_cast<DWORD>((lstrlenW(aText) + 1) * sizeof(WCHAR));
  result = RegSetValueExW(key, aValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(aText), size);
  if (result != ERROR_SUCCESS)
    LogMessage(KLogFilePath, u"CEpocRegistry::SaveRegistryString - failed %1!d!", result);
  if (RegCloseKey(key) != ERROR_SUCCESS)
    LogMessageWithError(KLogFilePath, u"CEpocRegistry::SaveRegistryString RegCloseKey");
}
