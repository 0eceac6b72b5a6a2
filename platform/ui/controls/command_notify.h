// The standard controls' one way to tell their parent of an event.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

// Sends WM_COMMAND with the control's identifier and `code` (BN_*, EN_*,
// CBN_*) to its parent; false when the parent destroyed the control meanwhile.
bool NotifyCommand(HWND control, WORD code);

}  // namespace kvplatform::ui
