// RegOpenKeyExW ... RegCloseKey on the registry store. An open key is a handle
// naming a key path; the predefined roots name their hives.
#include <cstring>

#include <windows.h>

#include "../core/handle_table.h"
#include "registry_store.h"

namespace kvplatform {
namespace {

struct KeyObject : KernelObject {
  std::u16string path;
};

bool RootName(HKEY key, std::u16string& name) {
  auto value = reinterpret_cast<uintptr_t>(key);
  switch (value) {
    case 0x80000000u: name = u"HKEY_CLASSES_ROOT"; return true;
    case 0x80000001u: name = u"HKEY_CURRENT_USER"; return true;
    case 0x80000002u: name = u"HKEY_LOCAL_MACHINE"; return true;
    case 0x80000003u: name = u"HKEY_USERS"; return true;
    default: return false;
  }
}

// The full path of an open key, or false for a bad handle.
bool PathOf(HKEY key, std::u16string& path) {
  if (RootName(key, path)) return true;
  auto object = LookupAs<KeyObject>(key);
  if (!object) return false;
  path = object->path;
  return true;
}

// Joins a sub-key; false for names the registry does not take.
bool Join(const std::u16string& base, LPCWSTR subKey, std::u16string& path) {
  path = base;
  if (subKey == nullptr) return true;
  std::u16string part;
  auto flush = [&]() {
    if (!part.empty()) path += u"\\" + part;
    part.clear();
  };
  size_t length = 0;
  for (; subKey[length]; ++length) {
    char16_t c = subKey[length];
    if (c == u'\\') {
      flush();
    } else if (c < 0x20 || c == u'[' || c == u']') {
      return false;
    } else {
      part += c;
    }
    if (length > 255) return false;
  }
  flush();
  return true;
}

LONG NewKeyHandle(const std::u16string& path, PHKEY result) {
  auto object = std::make_shared<KeyObject>();
  object->path = path;
  uintptr_t value = InsertHandle(object);
  if (value == 0) return ERROR_NOT_ENOUGH_MEMORY;
  *result = reinterpret_cast<HKEY>(value);
  return ERROR_SUCCESS;
}

bool IsRoot(const std::u16string& path) { return path.find(u'\\') == std::u16string::npos; }

}  // namespace
}  // namespace kvplatform

using namespace kvplatform;

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::u16string base, path;
  if (!PathOf(key, base)) return ERROR_INVALID_HANDLE;
  if (!Join(base, subKey, path)) return ERROR_INVALID_PARAMETER;
  if (!IsRoot(path) && !RegistryStore::Instance().KeyExists(path)) return ERROR_FILE_NOT_FOUND;
  return NewKeyHandle(path, result);
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::u16string base, path;
  if (!PathOf(key, base)) return ERROR_INVALID_HANDLE;
  if (!Join(base, subKey, path)) return ERROR_INVALID_PARAMETER;
  bool created = false;
  if (!IsRoot(path)) {
    LONG status = static_cast<LONG>(RegistryStore::Instance().CreateKey(path, created));
    if (status != ERROR_SUCCESS) return status;
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return NewKeyHandle(path, result);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  std::u16string path;
  if (!PathOf(key, path)) return ERROR_INVALID_HANDLE;
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  auto value = RegistryStore::Instance().QueryValue(path, valueName ? valueName : u"");
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  DWORD needed = static_cast<DWORD>(value->data.size());
  if (dataSize == nullptr) return ERROR_SUCCESS;
  if (data == nullptr) {
    *dataSize = needed;
    return ERROR_SUCCESS;
  }
  if (*dataSize < needed) {
    *dataSize = needed;
    return ERROR_MORE_DATA;
  }
  if (needed) std::memcpy(data, value->data.data(), needed);
  *dataSize = needed;
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  std::u16string path;
  if (!PathOf(key, path)) return ERROR_INVALID_HANDLE;
  if ((data == nullptr && dataSize > 0) || dataSize > 1024 * 1024) return ERROR_INVALID_PARAMETER;
  if (type == REG_DWORD && dataSize != 4) return ERROR_INVALID_PARAMETER;
  if (IsRoot(path)) return ERROR_ACCESS_DENIED;
  RegistryValue value;
  value.name = valueName ? valueName : u"";
  value.type = type;
  if (dataSize) value.data.assign(data, data + dataSize);
  if (type == REG_SZ) {
    // Keep text values terminated whatever length the caller passed.
    if (value.data.size() % 2) value.data.pop_back();
    if (value.data.size() < 2 || value.data[value.data.size() - 1] != 0 || value.data[value.data.size() - 2] != 0) {
      value.data.push_back(0);
      value.data.push_back(0);
    }
  }
  return static_cast<LONG>(RegistryStore::Instance().SetValue(path, value));
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  std::u16string path;
  if (!PathOf(key, path)) return ERROR_INVALID_HANDLE;
  return static_cast<LONG>(RegistryStore::Instance().DeleteValue(path, valueName ? valueName : u""));
}

LONG RegCloseKey(HKEY key) {
  std::u16string name;
  if (RootName(key, name)) return ERROR_SUCCESS;
  if (!LookupAs<KeyObject>(key)) return ERROR_INVALID_HANDLE;
  RemoveHandle(reinterpret_cast<uintptr_t>(key));
  return ERROR_SUCCESS;
}
