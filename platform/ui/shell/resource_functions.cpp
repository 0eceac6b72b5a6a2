// FindResourceW and friends, LoadStringW and LoadBitmapW on the module's
// resource table.
#include <algorithm>

#include <windows.h>

#include "ui/shell/resource_table.h"

using namespace kvplatform;
using namespace kvplatform::ui;

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC handle = nullptr;
  return FindEntry(module, name, type, &handle) ? handle : nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  // Resources stay loaded for the life of the module: the handle is the data's.
  if (!LookupAs<ResourceEntry>(resource)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return resource;
}

LPVOID LockResource(HGLOBAL loaded) {
  auto entry = LookupAs<ResourceEntry>(loaded);
  if (!entry || entry->bytes.empty()) return nullptr;
  return entry->bytes.data();
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
  auto entry = LookupAs<ResourceEntry>(resource);
  if (!entry) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
  }
  return static_cast<DWORD>(entry->bytes.size());
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
  if (buffer == nullptr || size < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string* text = FindString(instance, id);
  if (!text) {
    if (size > 0) buffer[0] = 0;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  if (size == 0) {
    *reinterpret_cast<LPCWSTR*>(buffer) = text->c_str();
    return static_cast<int>(text->size());
  }
  int n = std::min(static_cast<int>(text->size()), size - 1);
  std::copy_n(text->data(), n, buffer);
  buffer[n] = 0;
  return n;
}

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  auto entry = FindEntry(instance, name, RT_BITMAP);
  if (!entry) return nullptr;
  return CreateBitmap(entry->width, entry->height, 1, 32, entry->bytes.data());
}
