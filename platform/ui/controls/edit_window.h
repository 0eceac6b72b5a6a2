// The "EDIT" window class: single- and multi-line edit boxes.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kvplatform::ui
