// The dialog manager's keyboard: Tab between WS_TABSTOP controls, Enter for
// the default button, Escape for Cancel, unless the control wants the key.
#include "core/window_manager.h"
#include "ui/dialogs/dialog_state.h"

namespace kvplatform::ui {

std::vector<HWND> ChildrenInTabOrder(HWND dialog) {
  std::vector<HWND> children;
  for (auto& w : AllWindows())
    if (w->parent == dialog && !w->destroying) children.push_back(w->handle);
  return children;
}

namespace {

bool IsTabStop(HWND w) {
  DWORD style = static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE));
  return (style & WS_TABSTOP) && IsWindowVisible(w) && IsWindowEnabled(w);
}

// The control of the dialog that holds `window` (itself or an ancestor).
HWND ControlOf(HWND dialog, HWND window) {
  while (window && GetParent(window) != dialog) window = GetParent(window);
  return window;
}

UINT DialogCode(HWND control, const MSG& msg) {
  UINT code = static_cast<UINT>(
      SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(const_cast<MSG*>(&msg))));
  // A multi-line edit box that takes Enter keeps it, whatever it answered.
  constexpr DWORD kMultiLine = 0x0004, kWantReturn = 0x1000;
  DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
  if (HasClass(control, u"EDIT") && (style & kMultiLine) && (style & kWantReturn) && msg.wParam == VK_RETURN)
    code |= DLGC_WANTALLKEYS;
  return code;
}

HWND DefaultButton(HWND dialog, int* id) {
  HWND focus = ControlOf(dialog, GetFocus());
  if (focus && IsPushButton(focus)) {
    *id = GetDlgCtrlID(focus);
    return focus;
  }
  LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
  *id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
  return GetDlgItem(dialog, *id);
}

}  // namespace

}  // namespace kvplatform::ui

using namespace kvplatform;
using namespace kvplatform::ui;

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> children = ChildrenInTabOrder(dialog);
  if (children.empty()) return nullptr;
  int n = static_cast<int>(children.size());
  int at = -1;
  for (int i = 0; i < n; ++i)
    if (children[static_cast<size_t>(i)] == control) at = i;
  int step = previous ? -1 : 1;
  if (at < 0) at = previous ? 0 : n - 1;
  for (int tries = 0; tries < n; ++tries) {
    at = (at + step + n) % n;
    if (IsTabStop(children[static_cast<size_t>(at)])) return children[static_cast<size_t>(at)];
  }
  return control;
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (!msg || !IsWindow(dialog) || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return FALSE;
  HWND control = msg->hwnd == dialog ? nullptr : ControlOf(dialog, msg->hwnd);
  bool navigation = msg->wParam == VK_TAB || msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE;
  if (msg->message == WM_KEYDOWN && navigation) {
    UINT code = control ? DialogCode(control, *msg) : 0;
    if (!(code & DLGC_WANTALLKEYS)) {
      if (msg->wParam == VK_TAB && !(code & DLGC_WANTTAB)) {
        bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        if (HWND next = GetNextDlgTabItem(dialog, control, back)) {
          SetFocus(next);
          if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(next, 0x00B1, 0, -1);  // EM_SETSEL
        }
        return TRUE;
      }
      if (msg->wParam == VK_RETURN) {
        int id = IDOK;
        HWND button = DefaultButton(dialog, &id);
        if (!button || IsWindowEnabled(button))
          SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(button));
        return TRUE;
      }
      if (msg->wParam == VK_ESCAPE) {
        HWND cancel = GetDlgItem(dialog, IDCANCEL);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), reinterpret_cast<LPARAM>(cancel));
        return TRUE;
      }
    }
  }
  if (msg->message == WM_CHAR && (msg->wParam == u'\t' || msg->wParam == u'\r' || msg->wParam == 0x1B)) {
    // The character of a key the dialog took is not typed into the control.
    UINT code = control ? DialogCode(control, *msg) : 0;
    bool wanted = (code & (DLGC_WANTALLKEYS | DLGC_WANTCHARS)) || (msg->wParam == u'\t' && (code & DLGC_WANTTAB));
    if (!wanted) return TRUE;
  }
  TranslateMessage(msg);
  DispatchMessageW(msg);
  return TRUE;
}
