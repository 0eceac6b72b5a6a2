// MessageBoxW on the screen: a modal box on the calling thread.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

// Shows the box and runs the calling thread's messages until it is
// dismissed (a button, Enter, Escape or the taskbar's "ok").
int RunMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

}  // namespace kvplatform::ui
