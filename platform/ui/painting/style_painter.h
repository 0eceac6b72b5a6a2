// How the screen's own parts look, in one place: buttons, frames, scroll
// bars, captions. Controls draw with these so the whole screen is alike.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

// A push button: 1-pixel black frame, face colour, centred text; pressed
// buttons are drawn in the highlight colours; the default one has a double frame.
void PaintButton(HDC dc, const RECT& r, LPCWSTR text, bool pressed, bool isDefault, bool enabled);
// A thin scroll bar (vertical when `vertical`) for the range and position.
void PaintScrollBar(HDC dc, const RECT& r, bool vertical, int min, int max, UINT page, int pos, bool enabled);
// The parts of a scroll bar: arrow buttons and the thumb, for hit tests.
struct ScrollBarParts {
  RECT lineUp, pageUp, thumb, pageDown, lineDown;
};
ScrollBarParts ScrollBarLayout(const RECT& r, bool vertical, int min, int max, UINT page, int pos);
// A caption bar with its text, as on pop-up windows and message boxes.
void PaintCaption(HDC dc, const RECT& r, LPCWSTR text);
void PaintFrame(HDC dc, const RECT& r, COLORREF color);
HFONT BoldSystemFont();

}  // namespace kvplatform::ui
