// What the common controls share: notifications to the parent, and
// measuring text. Their state lives as every control's does (control_state.h).
#pragma once

#include <string>

#include <commctrl.h>

#include "ui/controls/control_state.h"

namespace kvplatform::ui {

// Sends WM_NOTIFY with `header` (the start of the control's structure) to the
// parent after filling in sender, identifier and code. `stillExists` tells
// whether the control survived the parent's handling.
LRESULT NotifyParent(HWND control, NMHDR& header, UINT code, bool& stillExists);

// The text of a program's buffer; null gives empty text.
std::u16string TextFrom(LPCWSTR text);
// Copies text into a program's buffer of `size` characters, truncated and
// terminated; returns the characters copied.
int CopyTextTo(const std::u16string& text, LPWSTR buffer, int size);

// The height of a line of text in the control's font, plus a little air.
int LineHeight(HDC dc);
int TextWidth(HDC dc, const std::u16string& text);

}  // namespace kvplatform::ui
