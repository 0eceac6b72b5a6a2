// The combo box's drop-down list: a list box that, while it is open, holds
// the stylus. A tap on a row chooses it; a tap anywhere else dismisses the
// list. Everything else is the list box's own behaviour.
#include "ui/controls/combobox_window.h"
#include "ui/controls/listbox_window.h"
#include "ui/windows/message_point.h"

namespace kvplatform::ui {
namespace {

HWND ComboOf(HWND list) { return GetParent(list); }

// The row under a client point, or -1 when the point is on no row.
int RowAt(HWND list, POINT p) {
  LRESULT hit = ListBoxProc(list, LB_ITEMFROMPOINT, 0, ParamFromPoint(p));
  return HIWORD(hit) ? -1 : static_cast<int>(LOWORD(hit));
}

void Highlight(HWND list, int row) {
  if (row >= 0 && row != static_cast<int>(ListBoxProc(list, LB_GETCURSEL, 0, 0)))
    ListBoxProc(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

}  // namespace

LRESULT CALLBACK ComboListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  POINT p = PointFromParam(lParam);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      int row = RowAt(window, p);
      RECT client;
      GetClientRect(window, &client);
      if (!PtInRect(&client, p)) {
        SendMessageW(ComboOf(window), kComboCloseUpMessage, FALSE, 0);
        return 0;
      }
      Highlight(window, row);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (wParam & MK_LBUTTON) Highlight(window, RowAt(window, p));
      return 0;
    case WM_LBUTTONUP:
      if (RowAt(window, p) >= 0) SendMessageW(ComboOf(window), kComboCloseUpMessage, TRUE, 0);
      return 0;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      // Losing the stylus to someone else closes the list unchanged.
      if (IsWindowVisible(window)) SendMessageW(ComboOf(window), kComboCloseUpMessage, FALSE, 0);
      return 0;
    default: return ListBoxProc(window, message, wParam, lParam);
  }
}

}  // namespace kvplatform::ui
