// The "COMBOBOX" window class: a field (an edit box, or the chosen row's
// text) with an arrow button, and a drop-down list that opens over the
// other windows. The rows live in the list; typing into the edit field
// clears the chosen row, so the typed text is what the box holds.
#include "ui/controls/combobox_window.h"

#include <algorithm>
#include <string>

#include "ui/controls/edit_window.h"
#include "ui/controls/command_notify.h"
#include "ui/controls/control_state.h"
#include "ui/controls/font_and_focus.h"
#include "ui/controls/row_painter.h"
#include "ui/windows/message_point.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

constexpr int kButtonWidth = kScrollBarSize;
constexpr int kEditId = 1001;

struct ComboState {
  HWND self = nullptr;
  HWND edit = nullptr;  // CBS_DROPDOWN only
  HWND list = nullptr;
  WNDPROC editProc = nullptr;  // the edit box's own procedure, under our filter
  HFONT font = nullptr;
  int fieldHeight = 20;
  int droppedHeight = 100;  // the height the box was made with: field and list
  bool dropped = false;
  int selectionAtDrop = -1;
  bool settingEdit = false;  // the edit's text is being set by the combo box itself
  bool resizing = false;
  bool focused = false;
};


LRESULT ToList(const ComboState& s, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendMessageW(s.list, message, wParam, lParam);
}

int Selection(const ComboState& s) { return static_cast<int>(ToList(s, LB_GETCURSEL)); }

std::u16string RowText(const ComboState& s, int row) {
  LRESULT length = ToList(s, LB_GETTEXTLEN, static_cast<WPARAM>(row));
  if (length < 0) return {};
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  ToList(s, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

std::u16string FieldText(const ComboState& s) {
  if (!s.edit) return RowText(s, Selection(s));
  int length = GetWindowTextLengthW(s.edit);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(s.edit, text.data(), length + 1)));
  return text;
}

void Redraw(const ComboState& s) { InvalidateRect(s.self, nullptr, FALSE); }

// The window record keeps a copy of the field's text, for those who read it there.
void SyncWindowText(const ComboState& s) {
  std::u16string text = FieldText(s);
  DefWindowProcW(s.self, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SetEditText(ComboState& s, const std::u16string& text) {
  if (!s.edit) return;
  s.settingEdit = true;
  SetWindowTextW(s.edit, text.c_str());
  SendMessageW(s.edit, EM_SETSEL, 0, -1);
  s.settingEdit = false;
}

// The field shows the chosen row.
void ShowSelection(ComboState& s) {
  SetEditText(s, RowText(s, Selection(s)));
  SyncWindowText(s);
  Redraw(s);
}

void Drop(ComboState& s) {
  if (s.dropped) return;
  int count = static_cast<int>(ToList(s, LB_GETCOUNT));
  int itemHeight = static_cast<int>(ToList(s, LB_GETITEMHEIGHT));
  int room = std::max(s.droppedHeight - s.fieldHeight, itemHeight + 2);
  int height = std::min(room, std::max(count, 1) * itemHeight + 2);
  RECT field;
  GetWindowRect(s.self, &field);
  int y = field.bottom;
  // Upwards when there is no room below.
  if (y + height > kScreenHeight) y = std::max(kTaskbarHeight, static_cast<int>(field.top) - height);
  s.selectionAtDrop = Selection(s);
  s.dropped = true;
  SetWindowPos(s.list, HWND_TOPMOST, field.left, y, field.right - field.left, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  if (s.selectionAtDrop >= 0) ToList(s, LB_SETCURSEL, static_cast<WPARAM>(s.selectionAtDrop));
  SetCapture(s.list);
  Redraw(s);
}

void CloseUp(ComboState& s, bool choose) {
  if (!s.dropped) return;
  s.dropped = false;
  ShowWindow(s.list, SW_HIDE);
  if (GetCapture() == s.list) ReleaseCapture();
  Redraw(s);
  int chosen = Selection(s);
  if (!choose) {
    if (chosen != s.selectionAtDrop) {
      ToList(s, LB_SETCURSEL, static_cast<WPARAM>(s.selectionAtDrop));
      ShowSelection(s);
    }
    return;
  }
  ShowSelection(s);
  if (chosen != s.selectionAtDrop) NotifyCommand(s.self, CBN_SELCHANGE);
}

LRESULT OnKey(ComboState& s, UINT key) {
  if (s.dropped) {
    if (key == VK_RETURN) CloseUp(s, true);
    else if (key == VK_ESCAPE) CloseUp(s, false);
    else ToList(s, WM_KEYDOWN, key, 0);
    return 0;
  }
  if (key != VK_UP && key != VK_DOWN) return 0;
  int count = static_cast<int>(ToList(s, LB_GETCOUNT));
  if (count == 0) return 0;
  int from = Selection(s);
  int to = from < 0 ? 0 : std::clamp(from + (key == VK_UP ? -1 : 1), 0, count - 1);
  if (to == from) return 0;
  ToList(s, LB_SETCURSEL, static_cast<WPARAM>(to));
  ShowSelection(s);
  NotifyCommand(s.self, CBN_SELCHANGE);
  return 0;
}

// The edit field passes the keys that work the list to the combo box.
LRESULT CALLBACK ComboEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = ControlState<ComboState>(GetParent(edit));
  if (!s || !s->editProc) return EditProc(edit, message, wParam, lParam);
  WNDPROC base = s->editProc;
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_UP || wParam == VK_DOWN || (s->dropped && (wParam == VK_RETURN || wParam == VK_ESCAPE)))
        return OnKey(*s, static_cast<UINT>(wParam));
      break;
    case WM_CHAR:
      if (s->dropped && (wParam == u'\r' || wParam == 0x1B)) return 0;
      break;
    case WM_GETDLGCODE: {
      LRESULT code = CallWindowProcW(base, edit, message, wParam, lParam);
      return s->dropped ? code | DLGC_WANTALLKEYS : code;
    }
    case WM_KILLFOCUS:
      if (reinterpret_cast<HWND>(wParam) != s->self) CloseUp(*s, false);
      break;
    default: break;
  }
  return CallWindowProcW(base, edit, message, wParam, lParam);
}

void Layout(ComboState& s) {
  RECT client;
  GetClientRect(s.self, &client);
  if (s.edit) MoveWindow(s.edit, 1, 1, std::max(0, static_cast<int>(client.right) - kButtonWidth - 1), s.fieldHeight - 2, TRUE);
}

LRESULT OnCreate(ComboState& s, const CREATESTRUCTW& create) {
  // The box draws its own frame; a scroll bar in its style is the list's.
  DWORD style = static_cast<DWORD>(create.style);
  s.resizing = true;
  SetWindowLongW(s.self, GWL_STYLE, static_cast<LONG>(style & ~(WS_BORDER | WS_VSCROLL | WS_HSCROLL)));
  s.droppedHeight = create.cy;
  HDC dc = GetDC(s.self);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  ReleaseDC(s.self, dc);
  s.fieldHeight = static_cast<int>(metrics.tmHeight) + 6;
  bool sorted = (style & CBS_SORT) != 0;
  s.list = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kComboListClass, u"",
                           WS_POPUP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | (sorted ? LBS_SORT : 0), 0, 0, 0, 0,
                           s.self, nullptr, create.hInstance, nullptr);
  if (!s.list) return -1;
  if ((style & 0x3) == CBS_DROPDOWN) {
    DWORD editStyle = WS_CHILD | WS_VISIBLE | ((style & CBS_AUTOHSCROLL) ? ES_AUTOHSCROLL : 0);
    s.edit = CreateWindowExW(0, u"EDIT", create.lpszName ? create.lpszName : u"", editStyle, 0, 0, 0, 0, s.self,
                             reinterpret_cast<HMENU>(static_cast<intptr_t>(kEditId)), create.hInstance, nullptr);
    if (!s.edit) return -1;
    s.editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(s.edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&ComboEditProc)));
  }
  SetWindowPos(s.self, nullptr, 0, 0, create.cx, s.fieldHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  s.resizing = false;
  Layout(s);
  return 0;
}

LRESULT OnSize(ComboState& s) {
  RECT window;
  GetWindowRect(s.self, &window);
  int height = window.bottom - window.top;
  // A new height is the dropped height; the field keeps its own.
  if (!s.resizing && height != s.fieldHeight) {
    s.droppedHeight = height;
    s.resizing = true;
    SetWindowPos(s.self, nullptr, 0, 0, window.right - window.left, s.fieldHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.resizing = false;
  }
  Layout(s);
  Redraw(s);
  return 0;
}

void PaintArrowButton(HDC dc, const RECT& r, bool pressed, bool enabled) {
  PaintButton(dc, r, nullptr, pressed, false, enabled);
  COLORREF ink = pressed ? RGB(255, 255, 255) : enabled ? RGB(0, 0, 0) : RGB(128, 128, 128);
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2 - 1;
  for (int i = 0; i < 4; ++i) {
    RECT line{cx - 3 + i, cy + i, cx + 4 - i, cy + i + 1};
    FillSolid(dc, line, ink);
  }
}

LRESULT OnPaint(ComboState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(s.self, &ps);
  RECT client;
  GetClientRect(s.self, &client);
  bool enabled = IsWindowEnabled(s.self) != FALSE;
  FillSolid(dc, client, GetSysColor(COLOR_WINDOW));
  RECT button{client.right - kButtonWidth, 0, client.right, client.bottom};
  if (!s.edit) {
    // The field shows the chosen row as a row of the list looks.
    RECT field{1, 1, button.left, client.bottom - 1};
    PaintRow(dc, field, s.focused && !s.dropped ? RowLook::kSelected : RowLook::kPlain, enabled);
    HGDIOBJ old = SelectObject(dc, FontToDraw(s.font));
    SetBkMode(dc, TRANSPARENT);
    RECT textRect{field.left + 2, field.top, field.right - 1, field.bottom};
    std::u16string text = FieldText(s);
    DrawTextW(dc, text.c_str(), -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
  }
  PaintFrame(dc, client, enabled ? RGB(0, 0, 0) : GetSysColor(COLOR_GRAYTEXT));
  PaintArrowButton(dc, button, s.dropped, enabled);
  EndPaint(s.self, &ps);
  return 0;
}

LRESULT OnStylusDown(ComboState& s, int x) {
  if (GetFocus() != s.self && GetFocus() != s.edit) SetFocus(s.self);
  if (!IsWindow(s.self)) return 0;
  RECT client;
  GetClientRect(s.self, &client);
  if (s.dropped) CloseUp(s, false);
  else if (!s.edit || x >= client.right - kButtonWidth) Drop(s);
  return 0;
}

LRESULT OnCommand(ComboState& s, HWND from, WORD code) {
  if (from == s.edit && !s.settingEdit) {
    if (code == EN_UPDATE) return NotifyCommand(s.self, CBN_EDITUPDATE), 0;
    if (code != EN_CHANGE) return 0;
    // Typed text is not a chosen row.
    if (Selection(s) >= 0) ToList(s, LB_SETCURSEL, static_cast<WPARAM>(-1));
    SyncWindowText(s);
    NotifyCommand(s.self, CBN_EDITCHANGE);
  } else if (from == s.list && code == LBN_SELCHANGE && s.dropped) {
    ShowSelection(s);
  }
  return 0;
}

LRESULT OnSetText(ComboState& s, LPCWSTR text) {
  std::u16string value = text ? text : u"";
  if (s.edit) {
    SetEditText(s, value);
    ToList(s, LB_SETCURSEL, static_cast<WPARAM>(-1));
    SyncWindowText(s);
    return TRUE;
  }
  int count = static_cast<int>(ToList(s, LB_GETCOUNT));
  for (int row = 0; row < count; ++row)
    if (lstrcmpiW(RowText(s, row).c_str(), value.c_str()) == 0) {
      ToList(s, LB_SETCURSEL, static_cast<WPARAM>(row));
      ShowSelection(s);
      return TRUE;
    }
  return CB_ERR;
}

LRESULT OnGetText(const ComboState& s, size_t size, LPWSTR buffer) {
  if (!buffer || size == 0) return 0;
  std::u16string text = FieldText(s);
  size_t count = std::min(text.size(), size - 1);
  std::copy_n(text.data(), count, buffer);
  buffer[count] = 0;
  return static_cast<LRESULT>(count);
}

LRESULT OnFocus(ComboState& s, bool gained, HWND other) {
  s.focused = gained;
  if (gained && s.edit) {
    SetFocus(s.edit);
    SendMessageW(s.edit, EM_SETSEL, 0, -1);
  }
  if (!gained && other != s.edit) CloseUp(s, false);
  Redraw(s);
  return 0;
}

LRESULT OnResetContent(ComboState& s) {
  ToList(s, LB_RESETCONTENT);
  SetEditText(s, u"");
  SyncWindowText(s);
  Redraw(s);
  return CB_OKAY;
}

}  // namespace

LRESULT CALLBACK ComboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* state = new ComboState;
    state->self = window;
    AttachState(window, state);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  auto* s = ControlState<ComboState>(window);
  if (!s) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE: return OnCreate(*s, *reinterpret_cast<const CREATESTRUCTW*>(lParam));
    case WM_DESTROY:
      if (s->list) DestroyWindow(s->list);
      s->list = nullptr;
      return 0;
    case WM_NCDESTROY:
      DetachState<ComboState>(window);
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_SIZE: return OnSize(*s);
    case WM_PAINT: return OnPaint(*s);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE:
      if (s->edit) EnableWindow(s->edit, static_cast<BOOL>(wParam));
      Redraw(*s);
      return 0;
    case WM_SETFONT:
      s->font = reinterpret_cast<HFONT>(wParam);
      if (s->edit) SendMessageW(s->edit, WM_SETFONT, wParam, lParam);
      ToList(*s, WM_SETFONT, wParam, lParam);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SETFOCUS: return OnFocus(*s, true, reinterpret_cast<HWND>(wParam));
    case WM_KILLFOCUS: return OnFocus(*s, false, reinterpret_cast<HWND>(wParam));
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS | (s->dropped ? DLGC_WANTALLKEYS : 0);
    case WM_KEYDOWN: return OnKey(*s, static_cast<UINT>(wParam));
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return OnStylusDown(*s, PointFromParam(lParam).x);
    case WM_COMMAND: return OnCommand(*s, reinterpret_cast<HWND>(lParam), HIWORD(wParam));
    case kComboCloseUpMessage: CloseUp(*s, wParam != 0); return 0;
    case WM_SETTEXT: return OnSetText(*s, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT: return OnGetText(*s, static_cast<size_t>(wParam), reinterpret_cast<LPWSTR>(lParam));
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(FieldText(*s).size());
    case CB_ADDSTRING: return ToList(*s, LB_ADDSTRING, 0, lParam);
    case CB_INSERTSTRING: return ToList(*s, LB_INSERTSTRING, wParam, lParam);
    case CB_DELETESTRING: return ToList(*s, LB_DELETESTRING, wParam);
    case CB_GETCOUNT: return ToList(*s, LB_GETCOUNT);
    case CB_GETCURSEL: return Selection(*s);
    case CB_SETCURSEL: {
      LRESULT result = ToList(*s, LB_SETCURSEL, wParam);
      ShowSelection(*s);
      return result;
    }
    case CB_GETLBTEXT: return ToList(*s, LB_GETTEXT, wParam, lParam);
    case CB_GETLBTEXTLEN: return ToList(*s, LB_GETTEXTLEN, wParam);
    case CB_SETITEMDATA: return ToList(*s, LB_SETITEMDATA, wParam, lParam);
    case CB_GETITEMDATA: return ToList(*s, LB_GETITEMDATA, wParam);
    case CB_RESETCONTENT: return OnResetContent(*s);
    case CB_SHOWDROPDOWN:
      if (wParam) Drop(*s);
      else CloseUp(*s, false);
      return TRUE;
    case CB_GETDROPPEDSTATE: return s->dropped ? TRUE : FALSE;
    case CB_LIMITTEXT:
      if (s->edit) SendMessageW(s->edit, EM_LIMITTEXT, wParam, 0);
      return TRUE;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kvplatform::ui
