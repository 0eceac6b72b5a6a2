#include "ui/controls/vertical_scroll.h"

#include <algorithm>

namespace kvplatform::ui {
namespace {

// SB_THUMBTRACK and SB_THUMBPOSITION carry only the low 16 bits of the
// position; while the thumb is dragged the scroll bar holds all of them.
int ThumbPosition(HWND window, WORD carried) {
  SCROLLINFO info{sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
  if (GetScrollInfo(window, SB_VERT, &info) && LOWORD(info.nTrackPos) == carried) return info.nTrackPos;
  return carried;
}

}  // namespace

int RowScroll::HighestTop() const { return std::max(0, rows - page); }

int RowScroll::Clamp(int top) const { return std::clamp(top, 0, HighestTop()); }

int RowScroll::TopShowing(int row, int top) const {
  if (row < top) return row;
  if (row >= top + page) return row - page + 1;
  return top;
}

std::optional<int> ScrolledTop(HWND window, WPARAM wParam, int top, const RowScroll& scroll) {
  switch (LOWORD(wParam)) {
    case SB_LINEUP: return scroll.Clamp(top - 1);
    case SB_LINEDOWN: return scroll.Clamp(top + 1);
    case SB_PAGEUP: return scroll.Clamp(top - scroll.page);
    case SB_PAGEDOWN: return scroll.Clamp(top + scroll.page);
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return scroll.Clamp(ThumbPosition(window, HIWORD(wParam)));
    case SB_TOP: return 0;
    case SB_BOTTOM: return scroll.HighestTop();
    default: return std::nullopt;
  }
}

void ShowOnScrollBar(HWND window, const RowScroll& scroll, int top) {
  if (!(GetWindowLongW(window, GWL_STYLE) & WS_VSCROLL)) return;
  SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, scroll.rows - 1),
                  static_cast<UINT>(scroll.page), top, 0};
  SetScrollInfo(window, SB_VERT, &info, TRUE);
}

}  // namespace kvplatform::ui
