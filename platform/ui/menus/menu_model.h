// Menus as the program builds and loads them: items with text, command,
// state and pop-ups, named by HMENU handles.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "core/handle_table.h"

namespace kvplatform::ui {

struct MenuItemRecord {
  std::u16string text;
  UINT id = 0;
  UINT flags = 0;  // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_SEPARATOR, MF_POPUP
  HMENU popup = nullptr;
};

// A copy of a menu's items, taken under the menus' lock.
std::vector<MenuItemRecord> MenuItemsOf(HMENU menu);
bool IsChoosable(const MenuItemRecord& item);

}  // namespace kvplatform::ui
