// Each module instance's resources, as the program declared them: raw bytes
// by type and name (dialogs, menus, accelerators, bitmaps, RCDATA) and the
// string table.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "core/handle_table.h"

namespace kvplatform::ui {

struct ResourceEntry : KernelObject {
  std::vector<BYTE> bytes;
  int width = 0, height = 0;  // bitmaps only
};

// A resource name or type as a key: "#123" for an integer, else the name in
// upper case, as the system compares them.
std::u16string ResourceKey(LPCWSTR nameOrId);

void AddResource(HINSTANCE module, LPCWSTR type, UINT id, std::shared_ptr<ResourceEntry> entry);
void AddString(HINSTANCE module, UINT id, std::u16string text);
void ForgetResources(HINSTANCE module);

// The entry and its handle; null (and ERROR_RESOURCE_NAME_NOT_FOUND) when missing.
std::shared_ptr<ResourceEntry> FindEntry(HINSTANCE module, LPCWSTR name, LPCWSTR type, HRSRC* handle = nullptr);
const std::u16string* FindString(HINSTANCE module, UINT id);

}  // namespace kvplatform::ui
