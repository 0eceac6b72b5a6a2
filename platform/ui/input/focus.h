// Which window is active (its title in the taskbar, above the others),
// which has the keyboard focus, and which has captured the stylus.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

HWND ActiveWindowLocked();
HWND FocusWindowLocked();
HWND CaptureWindowLocked();
// Makes a top-level window active: on top, WM_ACTIVATE to the old and new.
void ActivateWindow(HWND topLevel, WORD how);
// The window is going: focus, capture and activation move elsewhere.
void ForgetFocusOf(HWND window);
// As above without any message (its thread has ended).
void DropFocusLocked(HWND window);

}  // namespace kvplatform::ui
