// The "STATIC" window class: its text lives in the window record; it only
// draws it, wrapped at the right edge unless asked not to.
#include "ui/controls/static.h"

#include <string>

#include "ui/controls/control_state.h"
#include "ui/controls/font_and_focus.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

struct StaticState {
  HFONT font = nullptr;
};

LRESULT OnPaint(HWND self, const StaticState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(self, &ps);
  RECT client;
  GetClientRect(self, &client);
  FillRect(dc, &client, ParentBackground(self));
  HGDIOBJ old = SelectObject(dc, FontToDraw(s.font));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(self) ? COLOR_STATICTEXT : COLOR_GRAYTEXT));
  DWORD style = static_cast<DWORD>(GetWindowLongW(self, GWL_STYLE));
  UINT format = DT_WORDBREAK | DT_EXPANDTABS;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER: format |= DT_CENTER; break;
    case SS_RIGHT: format |= DT_RIGHT; break;
    case SS_LEFTNOWORDWRAP: format = DT_SINGLELINE | DT_EXPANDTABS; break;
    default: break;
  }
  if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
  int length = GetWindowTextLengthW(self);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  GetWindowTextW(self, text.data(), length + 1);
  DrawTextW(dc, text.c_str(), -1, &client, format);
  SelectObject(dc, old);
  EndPaint(self, &ps);
  return 0;
}

}  // namespace

HBRUSH ParentBackground(HWND control) {
  auto parent = Lookup(GetParent(control));
  HBRUSH brush = parent && parent->windowClass ? parent->windowClass->info.hbrBackground : nullptr;
  return brush ? brush : GetSysColorBrush(COLOR_WINDOW);
}

LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    AttachState(window, new StaticState);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  auto* s = ControlState<StaticState>(window);
  if (!s) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_NCDESTROY:
      DetachState<StaticState>(window);
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT: return OnPaint(window, *s);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_SETFONT:
      s->font = reinterpret_cast<HFONT>(wParam);
      if (lParam) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_GETDLGCODE: return DLGC_STATIC;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kvplatform::ui
