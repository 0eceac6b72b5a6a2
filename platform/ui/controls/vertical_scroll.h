// Scrolling a column of rows by its top row, as the list box, list view,
// tree view and multi-line edit box do: where the top may go, where
// WM_VSCROLL sends it, and what the vertical scroll bar shows.
#pragma once

#include <optional>

#include <windows.h>

namespace kvplatform::ui {

// `rows` in all, of which `page` (at least one) are shown at once.
struct RowScroll {
  int rows = 0;
  int page = 1;

  // The last top that still fills the page; 0 when every row fits.
  int HighestTop() const;
  int Clamp(int top) const;
  // The top nearest to `top` that shows `row` (not clamped: the caller
  // decides whether a top past the end may stay).
  int TopShowing(int row, int top) const;
};

// The top a WM_VSCROLL asks for, clamped; nothing for codes that do not
// move it (SB_ENDSCROLL). The thumb's position is read from the window's
// scroll bar where the message's 16 bits are too few.
std::optional<int> ScrolledTop(HWND window, WPARAM wParam, int top, const RowScroll& scroll);

// Shows the rows, page and top on the window's vertical scroll bar when its
// style gives it one.
void ShowOnScrollBar(HWND window, const RowScroll& scroll, int top);

}  // namespace kvplatform::ui
