// The "COMBOBOX" window class (drop-down with an edit field, or drop-down
// list) and its drop-down list, a list box that floats over other windows.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

// The drop-down list tells its combo box it closes: wParam TRUE when the
// user chose the row under the stylus, FALSE when the list was dismissed.
constexpr UINT kComboCloseUpMessage = 0x03A0;

LRESULT CALLBACK ComboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The class of the drop-down list.
constexpr const char16_t* kComboListClass = u"ComboLBox";
LRESULT CALLBACK ComboListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kvplatform::ui
