// The "BUTTON" window class: push buttons (plain and default) and check
// boxes (plain and automatic).
#pragma once

#include <windows.h>

namespace kvplatform::ui {

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kvplatform::ui
