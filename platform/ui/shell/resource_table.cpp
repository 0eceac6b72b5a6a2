#include "ui/shell/resource_table.h"

#include <map>
#include <mutex>

#include <kvresources.h>

namespace kvplatform::ui {
namespace {

struct Stored {
  std::shared_ptr<ResourceEntry> entry;
  uintptr_t handle = 0;
};

struct Table {
  std::mutex lock;
  std::map<std::pair<HINSTANCE, std::u16string>, Stored> resources;  // key: type + "/" + name
  std::map<std::pair<HINSTANCE, UINT>, std::u16string> strings;
};

Table& TheTable() {
  static auto* table = new Table;
  return *table;
}

HINSTANCE Resolve(HINSTANCE module) { return module ? module : kvresources::ProgramInstance(); }

}  // namespace

std::u16string ResourceKey(LPCWSTR nameOrId) {
  if (IS_INTRESOURCE(nameOrId)) {
    auto n = static_cast<unsigned>(reinterpret_cast<uintptr_t>(nameOrId));
    std::u16string key = u"#";
    for (char c : std::to_string(n)) key += static_cast<char16_t>(c);
    return key;
  }
  std::u16string key(nameOrId);
  // "#123" spelled as text names the same resource as the integer.
  for (auto& c : key)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return key;
}

void AddResource(HINSTANCE module, LPCWSTR type, UINT id, std::shared_ptr<ResourceEntry> entry) {
  auto& table = TheTable();
  std::u16string key = ResourceKey(type) + u"/" + ResourceKey(MAKEINTRESOURCEW(id));
  uintptr_t handle = InsertHandle(entry);
  std::lock_guard guard(table.lock);
  auto& slot = table.resources[{Resolve(module), key}];
  if (slot.handle) RemoveHandle(slot.handle);  // declared again: the later one holds
  slot = Stored{std::move(entry), handle};
}

void AddString(HINSTANCE module, UINT id, std::u16string text) {
  auto& table = TheTable();
  std::lock_guard guard(table.lock);
  table.strings[{Resolve(module), id}] = std::move(text);
}

void ForgetResources(HINSTANCE module) {
  auto& table = TheTable();
  module = Resolve(module);
  std::lock_guard guard(table.lock);
  std::erase_if(table.resources, [&](auto& item) {
    if (item.first.first != module) return false;
    RemoveHandle(item.second.handle);
    return true;
  });
  std::erase_if(table.strings, [&](auto& item) { return item.first.first == module; });
}

std::shared_ptr<ResourceEntry> FindEntry(HINSTANCE module, LPCWSTR name, LPCWSTR type, HRSRC* handle) {
  if (name == nullptr || type == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto& table = TheTable();
  std::u16string key = ResourceKey(type) + u"/" + ResourceKey(name);
  std::lock_guard guard(table.lock);
  auto it = table.resources.find({Resolve(module), key});
  if (it == table.resources.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (handle) *handle = reinterpret_cast<HRSRC>(it->second.handle);
  return it->second.entry;
}

const std::u16string* FindString(HINSTANCE module, UINT id) {
  auto& table = TheTable();
  std::lock_guard guard(table.lock);
  auto it = table.strings.find({Resolve(module), id});
  return it == table.strings.end() ? nullptr : &it->second;
}

}  // namespace kvplatform::ui
