// Painting: the frame (border, caption, scroll bars) drawn by the system.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

// Draws the non-client parts of a window (border, caption, scroll bars).
void PaintFrameOf(HWND window);
// The screen rectangle of a window's scroll bar (SB_VERT / SB_HORZ).
bool ScrollBarRect(HWND window, int bar, RECT& screenRect);

}  // namespace kvplatform::ui
