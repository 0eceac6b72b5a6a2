// The 26-pixel strip at the top of the screen: the active window's title,
// the time and, while a full-screen dialog wants it, the "ok" button.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

bool TaskbarVisible();
// Hides or shows the strip (a full-screen window covers it).
void SetTaskbarVisible(bool visible);
// Shows the "ok" button for `target` (null hides it); a tap on it posts
// WM_COMMAND with IDOK to the target.
void SetTaskbarDoneButton(HWND target);
HWND TaskbarDoneTarget();
void RedrawTaskbarLocked();
// Keeps the clock right; returns milliseconds until the next minute.
DWORD TaskbarTick();
// A stylus press on the strip (screen coordinates); true when it was used.
bool TaskbarPress(POINT point);

}  // namespace kvplatform::ui
