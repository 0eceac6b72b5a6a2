// The "LISTBOX" window class; the combo box's drop-down list builds on it.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

LRESULT CALLBACK ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kvplatform::ui
