// Taps on the scroll bars a window's WS_VSCROLL / WS_HSCROLL style gives it.
// An arrow or a page area sends one WM_VSCROLL / WM_HSCROLL; dragging the
// thumb sends SB_THUMBTRACK as it goes and SB_THUMBPOSITION where it stops;
// SB_ENDSCROLL follows when the stylus is lifted. The window itself gets no
// mouse message for such a press.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

// The stylus went down on `target`: true when the point (screen
// coordinates) is on one of its scroll bars, which then owns the press.
bool ScrollBarPress(HWND target, POINT screen);
// True while a scroll bar owns the press: the move or release is its.
bool ScrollBarMove(POINT screen);
bool ScrollBarRelease(POINT screen);

}  // namespace kvplatform::ui
