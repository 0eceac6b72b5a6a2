// What the core's window records tell the screen: a window was made, is
// going, changed its text or style. The screen keeps order, focus, painting
// and the display in step with them.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

// The rectangle CreateWindowExW gives a new window (CW_USEDEFAULT: the whole
// desktop for a top-level window, nothing for a child).
RECT InitialWindowRect(DWORD style, int x, int y, int width, int height);
// After WM_CREATE succeeded: WM_SIZE, WM_MOVE and, when asked for, showing it.
void OnWindowCreated(HWND window, bool visible);
// Before WM_DESTROY: the window leaves the screen, focus, capture and activation.
void OnWindowDestroying(HWND window);
// After the record has gone.
void OnWindowDestroyed(HWND window);
// Its owner thread ended (under the wait core's lock): forget it quietly.
void OnWindowForgotten(HWND window);
void OnTextChanged(HWND window);
void OnStyleChanged(HWND window, DWORD oldStyle, DWORD newStyle);
// DefWindowProcW for what the screen handles (WM_PAINT, WM_ERASEBKGND, ...).
LRESULT DefaultScreenMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A top-level window of another process on the same device root, or null.
HWND FindWindowOfOtherProcess(LPCWSTR className, LPCWSTR windowName);

}  // namespace kvplatform::ui
