// The "BUTTON" window class. A press is followed while the stylus stays
// down; lifting it over the button clicks it (BN_CLICKED), as does Space.
// Push buttons are drawn by the style painter; check boxes are a small
// framed box with a tick, and their text beside it.
#include "ui/controls/button.h"

#include <string>

#include "ui/controls/command_notify.h"
#include "ui/controls/control_state.h"
#include "ui/controls/font_and_focus.h"
#include "ui/controls/static.h"
#include "ui/windows/message_point.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"

namespace kvplatform::ui {
namespace {

constexpr int kBoxSize = 11;
constexpr int kBoxGap = 4;

struct ButtonState {
  HWND self = nullptr;
  HFONT font = nullptr;
  UINT check = BST_UNCHECKED;
  bool pushed = false;    // drawn pressed: the stylus is down over it, or Space is held
  bool tracking = false;  // the stylus went down on it and is still down
  bool focused = false;
};

DWORD TypeOf(const ButtonState& s) { return static_cast<DWORD>(GetWindowLongW(s.self, GWL_STYLE)) & BS_TYPEMASK; }
bool IsCheckBox(const ButtonState& s) { return TypeOf(s) == BS_CHECKBOX || TypeOf(s) == BS_AUTOCHECKBOX; }

void Redraw(ButtonState& s) { InvalidateRect(s.self, nullptr, FALSE); }

// BN_CLICKED to the parent; false when the parent destroyed the button.
void Click(ButtonState& s) {
  if (TypeOf(s) == BS_AUTOCHECKBOX) {
    s.check = s.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    Redraw(s);
  }
  NotifyCommand(s.self, BN_CLICKED);
}

std::u16string TextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

void PaintCheckBox(ButtonState& s, HDC dc, const RECT& client, bool enabled) {
  FillRect(dc, &client, ParentBackground(s.self));
  int top = (client.bottom - kBoxSize) / 2;
  RECT box{0, top, kBoxSize, top + kBoxSize};
  FillSolid(dc, box, GetSysColor(s.pushed ? COLOR_BTNFACE : COLOR_WINDOW));
  PaintFrame(dc, box, enabled ? RGB(0, 0, 0) : GetSysColor(COLOR_GRAYTEXT));
  if (s.check == BST_CHECKED) {
    // A tick: down from the left, then up to the right, two pixels thick.
    COLORREF ink = enabled ? RGB(0, 0, 0) : RGB(128, 128, 128);
    const int xs[] = {2, 3, 4, 5, 6, 7, 8};
    const int ys[] = {4, 5, 6, 5, 4, 3, 2};
    for (int i = 0; i < 7; ++i) {
      RECT dot{box.left + xs[i], box.top + ys[i], box.left + xs[i] + 1, box.top + ys[i] + 3};
      FillSolid(dc, dot, ink);
    }
  }
  RECT textRect{kBoxSize + kBoxGap, 0, client.right, client.bottom};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  std::u16string text = TextOf(s.self);
  DrawTextW(dc, text.c_str(), -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (s.focused) {
    RECT extent = textRect;
    DrawTextW(dc, text.c_str(), -1, &extent, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    int height = extent.bottom - extent.top;
    RECT focus{textRect.left - 1, (client.bottom - height) / 2 - 1, extent.right + 1, (client.bottom + height) / 2 + 1};
    DrawFocusRect(dc, &focus);
  }
}

LRESULT OnPaint(ButtonState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(s.self, &ps);
  RECT client;
  GetClientRect(s.self, &client);
  HGDIOBJ old = SelectObject(dc, FontToDraw(s.font));
  bool enabled = IsWindowEnabled(s.self) != FALSE;
  if (IsCheckBox(s)) {
    PaintCheckBox(s, dc, client, enabled);
  } else {
    std::u16string text = TextOf(s.self);
    PaintButton(dc, client, text.c_str(), s.pushed, TypeOf(s) == BS_DEFPUSHBUTTON, enabled);
    if (s.focused && !s.pushed) {
      RECT focus = client;
      InflateRect(&focus, -3, -3);
      DrawFocusRect(dc, &focus);
    }
  }
  SelectObject(dc, old);
  EndPaint(s.self, &ps);
  return 0;
}

bool Inside(const ButtonState& s, int x, int y) {
  RECT client;
  GetClientRect(s.self, &client);
  return PtInRect(&client, POINT{x, y}) != FALSE;
}

LRESULT OnStylusDown(ButtonState& s) {
  if (GetFocus() != s.self) SetFocus(s.self);
  if (!IsWindow(s.self)) return 0;
  s.tracking = true;
  s.pushed = true;
  SetCapture(s.self);
  Redraw(s);
  return 0;
}

LRESULT OnStylusMove(ButtonState& s, int x, int y) {
  if (!s.tracking) return 0;
  bool over = Inside(s, x, y);
  if (over != s.pushed) {
    s.pushed = over;
    Redraw(s);
  }
  return 0;
}

LRESULT OnStylusUp(ButtonState& s, int x, int y) {
  if (!s.tracking) return 0;
  s.tracking = false;
  s.pushed = false;
  if (GetCapture() == s.self) ReleaseCapture();
  Redraw(s);
  if (Inside(s, x, y)) Click(s);
  return 0;
}

LRESULT OnCancel(ButtonState& s) {
  bool wasTracking = s.tracking;
  s.tracking = false;
  s.pushed = false;
  if (wasTracking && GetCapture() == s.self) ReleaseCapture();
  Redraw(s);
  return 0;
}

LRESULT OnKey(ButtonState& s, UINT key, bool down) {
  if (key != VK_SPACE) return 0;
  if (down) {
    s.pushed = true;
    Redraw(s);
  } else if (s.pushed) {
    s.pushed = false;
    Redraw(s);
    Click(s);
  }
  return 0;
}

LRESULT OnGetDlgCode(const ButtonState& s) {
  switch (TypeOf(s)) {
    case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    default: return DLGC_BUTTON;
  }
}

LRESULT OnSetStyle(ButtonState& s, DWORD type, bool redraw) {
  DWORD style = static_cast<DWORD>(GetWindowLongW(s.self, GWL_STYLE));
  SetWindowLongW(s.self, GWL_STYLE, static_cast<LONG>((style & ~BS_TYPEMASK) | (type & BS_TYPEMASK)));
  if (redraw) Redraw(s);
  return 0;
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* state = new ButtonState;
    state->self = window;
    AttachState(window, state);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  auto* s = ControlState<ButtonState>(window);
  if (!s) return DefWindowProcW(window, message, wParam, lParam);
  auto [x, y] = PointFromParam(lParam);
  switch (message) {
    case WM_NCDESTROY:
      DetachState<ButtonState>(window);
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT: return OnPaint(*s);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: Redraw(*s); return 0;
    case WM_SETFONT:
      s->font = reinterpret_cast<HFONT>(wParam);
      if (lParam) Redraw(*s);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SETFOCUS: s->focused = true; Redraw(*s); return 0;
    case WM_KILLFOCUS:
      s->focused = false;
      return OnCancel(*s);
    case WM_GETDLGCODE: return OnGetDlgCode(*s);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return OnStylusDown(*s);
    case WM_MOUSEMOVE: return OnStylusMove(*s, x, y);
    case WM_LBUTTONUP: return OnStylusUp(*s, x, y);
    case WM_CANCELMODE: return OnCancel(*s);
    case WM_CAPTURECHANGED:
      if (s->tracking) return OnCancel(*s);
      return 0;
    case WM_KEYDOWN: return OnKey(*s, static_cast<UINT>(wParam), true);
    case WM_KEYUP: return OnKey(*s, static_cast<UINT>(wParam), false);
    case BM_GETCHECK: return IsCheckBox(*s) ? s->check : BST_UNCHECKED;
    case BM_SETCHECK:
      if (IsCheckBox(*s)) s->check = wParam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
      Redraw(*s);
      return 0;
    case BM_GETSTATE:
      return (IsCheckBox(*s) ? s->check : 0) | (s->pushed ? BST_PUSHED : 0) | (s->focused ? BST_FOCUS : 0);
    case BM_SETSTATE:
      s->pushed = wParam != 0;
      Redraw(*s);
      return 0;
    case BM_SETSTYLE: return OnSetStyle(*s, static_cast<DWORD>(wParam), lParam != 0);
    case BM_CLICK:
      Click(*s);
      return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kvplatform::ui
