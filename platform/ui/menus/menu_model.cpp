#include "ui/menus/menu_model.h"

#include <cstring>
#include <mutex>

namespace kvplatform::ui {
namespace {

struct Menu : KernelObject {
  bool popup = false;
  std::vector<MenuItemRecord> items;
};

std::recursive_mutex& MenuLock() {
  static auto* lock = new std::recursive_mutex;
  return *lock;
}

std::shared_ptr<Menu> MenuOf(HMENU handle) {
  auto menu = LookupAs<Menu>(handle);
  if (!menu) SetLastError(ERROR_INVALID_MENU_HANDLE);
  return menu;
}

HMENU NewMenu(bool popup) {
  auto menu = std::make_shared<Menu>();
  menu->popup = popup;
  uintptr_t value = InsertHandle(menu);
  if (value == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return reinterpret_cast<HMENU>(value);
}

// The item by position, or by command anywhere in the menu and its pop-ups.
MenuItemRecord* FindItem(Menu& menu, UINT item, UINT flags) {
  if (flags & MF_BYPOSITION) return item < menu.items.size() ? &menu.items[item] : nullptr;
  for (auto& entry : menu.items) {
    if (!(entry.flags & MF_POPUP) && !(entry.flags & MF_SEPARATOR) && entry.id == item) return &entry;
    if (entry.flags & MF_POPUP)
      if (auto sub = LookupAs<Menu>(entry.popup))
        if (auto* found = FindItem(*sub, item, flags)) return found;
  }
  return nullptr;
}

// Reads the items of a menu resource (MENUITEMTEMPLATE records) into `menu`.
const BYTE* ParseItems(const BYTE* p, const BYTE* end, Menu& menu, int depth) {
  while (p && p + 2 <= end) {
    WORD flags;
    std::memcpy(&flags, p, 2);
    p += 2;
    MenuItemRecord item;
    item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR | MF_POPUP);
    if (!(flags & MF_POPUP)) {
      if (p + 2 > end) return nullptr;
      WORD id;
      std::memcpy(&id, p, 2);
      item.id = id;
      p += 2;
    }
    for (;;) {
      if (p + 2 > end) return nullptr;
      char16_t c;
      std::memcpy(&c, p, 2);
      p += 2;
      if (c == 0) break;
      item.text += c;
    }
    if (item.text.empty() && item.id == 0 && !(flags & MF_POPUP)) item.flags |= MF_SEPARATOR;
    if (flags & MF_POPUP) {
      if (depth > 8) return nullptr;
      item.popup = NewMenu(true);
      auto sub = LookupAs<Menu>(item.popup);
      p = ParseItems(p, end, *sub, depth + 1);
    }
    menu.items.push_back(std::move(item));
    if (flags & MF_END) return p;
  }
  return nullptr;
}

}  // namespace

std::vector<MenuItemRecord> MenuItemsOf(HMENU handle) {
  std::lock_guard guard(MenuLock());
  auto menu = LookupAs<Menu>(handle);
  return menu ? menu->items : std::vector<MenuItemRecord>{};
}

bool IsChoosable(const MenuItemRecord& item) {
  return !(item.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR));
}

}  // namespace kvplatform::ui

using namespace kvplatform;
using namespace kvplatform::ui;

#include "ui/shell/resource_table.h"

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL IsMenu(HMENU handle) { return LookupAs<Menu>(handle) != nullptr; }

BOOL AppendMenuW(HMENU handle, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  std::lock_guard guard(MenuLock());
  auto menu = MenuOf(handle);
  if (!menu) return FALSE;
  MenuItemRecord item;
  item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR | MF_POPUP);
  if (flags & MF_POPUP) {
    item.popup = reinterpret_cast<HMENU>(idOrPopup);
    if (!LookupAs<Menu>(item.popup)) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return FALSE;
    }
  } else {
    item.id = static_cast<UINT>(idOrPopup);
  }
  if (!(flags & MF_SEPARATOR) && text) item.text = text;
  menu->items.push_back(std::move(item));
  return TRUE;
}

BOOL DestroyMenu(HMENU handle) {
  std::vector<HMENU> popups;
  {
    std::lock_guard guard(MenuLock());
    auto menu = MenuOf(handle);
    if (!menu) return FALSE;
    for (auto& item : menu->items)
      if (item.flags & MF_POPUP) popups.push_back(item.popup);
    RemoveHandle(reinterpret_cast<uintptr_t>(handle));
  }
  // A menu owns its pop-ups.
  for (HMENU popup : popups) DestroyMenu(popup);
  return TRUE;
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  auto entry = FindEntry(instance, name, RT_MENU);
  if (!entry) return nullptr;
  const BYTE* p = entry->bytes.data();
  const BYTE* end = p + entry->bytes.size();
  HMENU handle = NewMenu(false);
  auto menu = LookupAs<Menu>(handle);
  if (!menu) return nullptr;
  std::lock_guard guard(MenuLock());
  if (entry->bytes.size() < 4 || !ParseItems(p + 4, end, *menu, 0)) {
    DestroyMenu(handle);
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return handle;
}

HMENU GetSubMenu(HMENU handle, int position) {
  std::lock_guard guard(MenuLock());
  auto menu = MenuOf(handle);
  if (!menu || position < 0 || static_cast<size_t>(position) >= menu->items.size()) return nullptr;
  auto& item = menu->items[static_cast<size_t>(position)];
  return (item.flags & MF_POPUP) ? item.popup : nullptr;
}

int GetMenuItemCount(HMENU handle) {
  std::lock_guard guard(MenuLock());
  auto menu = MenuOf(handle);
  return menu ? static_cast<int>(menu->items.size()) : -1;
}

UINT GetMenuItemID(HMENU handle, int position) {
  std::lock_guard guard(MenuLock());
  auto menu = MenuOf(handle);
  if (!menu || position < 0 || static_cast<size_t>(position) >= menu->items.size()) return static_cast<UINT>(-1);
  auto& item = menu->items[static_cast<size_t>(position)];
  return (item.flags & MF_POPUP) ? static_cast<UINT>(-1) : item.id;
}

DWORD EnableMenuItem(HMENU handle, UINT item, UINT flags) {
  std::lock_guard guard(MenuLock());
  auto menu = MenuOf(handle);
  MenuItemRecord* entry = menu ? FindItem(*menu, item, flags) : nullptr;
  if (!entry) return static_cast<DWORD>(-1);
  DWORD previous = entry->flags & (MF_GRAYED | MF_DISABLED);
  entry->flags = (entry->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return previous;
}

DWORD CheckMenuItem(HMENU handle, UINT item, UINT flags) {
  std::lock_guard guard(MenuLock());
  auto menu = MenuOf(handle);
  MenuItemRecord* entry = menu ? FindItem(*menu, item, flags) : nullptr;
  if (!entry) return static_cast<DWORD>(-1);
  DWORD previous = entry->flags & MF_CHECKED;
  entry->flags = (entry->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
  return previous;
}

UINT GetMenuState(HMENU handle, UINT item, UINT flags) {
  std::lock_guard guard(MenuLock());
  auto menu = MenuOf(handle);
  MenuItemRecord* entry = menu ? FindItem(*menu, item, flags) : nullptr;
  if (!entry) return static_cast<UINT>(-1);
  return entry->flags;
}
