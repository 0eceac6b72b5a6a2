// The "STATIC" window class: a text label, left, centred or right aligned.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

// What a label or check box is drawn on: its parent's class background
// (the dialog's), or the window colour, white, when there is none.
HBRUSH ParentBackground(HWND control);

LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kvplatform::ui
