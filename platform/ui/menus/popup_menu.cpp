#include "ui/menus/popup_menu.h"

#include <algorithm>
#include <vector>

#include "ui/menus/menu_model.h"
#include "ui/windows/message_point.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {

const char16_t kPopupMenuClass[] = u"KvPopupMenu";

namespace {

constexpr int kTextIndent = 18;  // room for a check mark
constexpr int kRightMargin = 14; // room for a pop-up arrow

struct Tracking {
  std::vector<MenuItemRecord> items;
  std::vector<RECT> rows;  // client coordinates
  int hot = -1;
  bool pressedInside = false;
  bool done = false;
  UINT chosen = 0;
  HWND owner = nullptr;
  UINT flags = 0;
  int depth = 0;
};

Tracking* MenuStateOf(HWND w) { return reinterpret_cast<Tracking*>(GetWindowLongPtrW(w, GWL_USERDATA)); }

int RowAt(const Tracking& t, POINT p) {
  for (size_t i = 0; i < t.rows.size(); ++i)
    if (PtInRect(&t.rows[i], p)) return static_cast<int>(i);
  return -1;
}

void Paint(HWND w, Tracking& t) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  RECT client;
  GetClientRect(w, &client);
  FillSolid(dc, client, GetSysColor(COLOR_MENU));
  SetBkMode(dc, TRANSPARENT);
  for (size_t i = 0; i < t.items.size(); ++i) {
    const MenuItemRecord& item = t.items[i];
    RECT r = t.rows[i];
    if (item.flags & MF_SEPARATOR) {
      RECT line{r.left + 2, (r.top + r.bottom) / 2, r.right - 2, (r.top + r.bottom) / 2 + 1};
      FillSolid(dc, line, GetSysColor(COLOR_BTNSHADOW));
      continue;
    }
    bool hot = static_cast<int>(i) == t.hot && IsChoosable(item);
    if (hot) FillSolid(dc, r, GetSysColor(COLOR_HIGHLIGHT));
    COLORREF text = (item.flags & (MF_GRAYED | MF_DISABLED)) ? GetSysColor(COLOR_GRAYTEXT)
                    : hot ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                          : GetSysColor(COLOR_MENUTEXT);
    SetTextColor(dc, text);
    if (item.flags & MF_CHECKED) {
      RECT mark{r.left, r.top, r.left + kTextIndent, r.bottom};
      DrawTextW(dc, u"\u2713", 1, &mark, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    RECT label{r.left + kTextIndent, r.top, r.right - kRightMargin, r.bottom};
    DrawTextW(dc, item.text.c_str(), -1, &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (item.flags & MF_POPUP) {
      RECT arrow{r.right - kRightMargin, r.top, r.right, r.bottom};
      DrawTextW(dc, u"\u25B8", 1, &arrow, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
  }
  EndPaint(w, &ps);
}

void Choose(HWND w, Tracking& t, int row);

void MoveHot(HWND w, Tracking& t, int step) {
  int n = static_cast<int>(t.items.size());
  if (n == 0) return;
  int at = t.hot;
  for (int tries = 0; tries < n; ++tries) {
    at = at < 0 ? (step > 0 ? 0 : n - 1) : (at + step + n) % n;
    if (IsChoosable(t.items[static_cast<size_t>(at)]) || (t.items[static_cast<size_t>(at)].flags & MF_POPUP)) {
      t.hot = at;
      InvalidateRect(w, nullptr, FALSE);
      return;
    }
  }
}

LRESULT CALLBACK PopupProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(w, GWL_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  Tracking* t = MenuStateOf(w);
  if (!t) return DefWindowProcW(w, message, wParam, lParam);
  POINT p = PointFromParam(lParam);
  switch (message) {
    case WM_PAINT:
      Paint(w, *t);
      return 0;
    case WM_LBUTTONDOWN: {
      RECT client;
      GetClientRect(w, &client);
      if (!PtInRect(&client, p)) {  // a tap outside dismisses the menu
        t->done = true;
        return 0;
      }
      t->pressedInside = true;
      t->hot = RowAt(*t, p);
      InvalidateRect(w, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (wParam & MK_LBUTTON) {
        int row = RowAt(*t, p);
        if (row != t->hot) {
          t->hot = row;
          InvalidateRect(w, nullptr, FALSE);
        }
      }
      return 0;
    case WM_LBUTTONUP: {
      if (!t->pressedInside) return 0;
      t->pressedInside = false;
      int row = RowAt(*t, p);
      if (row < 0) {
        RECT client;
        GetClientRect(w, &client);
        if (!PtInRect(&client, p)) t->done = true;
        return 0;
      }
      Choose(w, *t, row);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != w) t->done = true;
      return 0;
    default:
      return DefWindowProcW(w, message, wParam, lParam);
  }
}

void Choose(HWND w, Tracking& t, int row) {
  if (row < 0 || static_cast<size_t>(row) >= t.items.size()) return;
  const MenuItemRecord& item = t.items[static_cast<size_t>(row)];
  if (item.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)) return;  // greyed items cannot be chosen
  if (item.flags & MF_POPUP) {
    RECT r = t.rows[static_cast<size_t>(row)];
    POINT corner{r.right, r.top};
    ClientToScreen(w, &corner);
    UINT sub = RunPopupMenu(item.popup, TPM_RETURNCMD | TPM_NONOTIFY, corner.x, corner.y, t.owner, 0);
    SetCapture(w);
    if (sub) {
      t.chosen = sub;
      t.done = true;
    }
    return;
  }
  t.chosen = item.id;
  t.done = true;
}

// Keys reach the focus window, not the menu: the loop hands them here.
bool HandleKey(HWND w, Tracking& t, const MSG& msg) {
  if (msg.message == WM_KEYDOWN) {
    switch (msg.wParam) {
      case VK_UP: MoveHot(w, t, -1); break;
      case VK_DOWN: MoveHot(w, t, 1); break;
      case VK_RETURN: Choose(w, t, t.hot); break;
      case VK_ESCAPE:
      case VK_LEFT: t.done = true; break;
      default: break;
    }
    return true;
  }
  return msg.message == WM_CHAR || msg.message == WM_KEYUP;
}

}  // namespace

void RegisterPopupMenuClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PopupProc;
  wc.lpszClassName = kPopupMenuClass;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_MENU + 1);
  RegisterClassW(&wc);
}

UINT RunPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner, LPARAM initParam) {
  if (!IsMenu(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return 0;
  }
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!(flags & TPM_NONOTIFY)) SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), initParam);

  Tracking t;
  t.items = MenuItemsOf(menu);
  t.owner = owner;
  t.flags = flags;
  if (t.items.empty()) return 0;

  // Measure the rows in the menu font.
  HDC dc = GetDC(nullptr);
  int width = 60;
  for (auto& item : t.items) {
    SIZE size{};
    GetTextExtentPoint32W(dc, item.text.c_str(), static_cast<int>(item.text.size()), &size);
    width = std::max<int>(width, size.cx + kTextIndent + kRightMargin);
  }
  ReleaseDC(nullptr, dc);
  width = std::min(width, kScreenWidth - 2);
  int top = 0;
  for (auto& item : t.items) {
    int h = (item.flags & MF_SEPARATOR) ? kMenuSeparatorHeight : kMenuRowHeight;
    t.rows.push_back(RECT{0, top, width, top + h});
    top += h;
  }
  int outerWidth = width + 2, outerHeight = std::min(top + 2, kScreenHeight - kTaskbarHeight);

  if (flags & TPM_RIGHTALIGN) x -= outerWidth;
  else if (flags & TPM_CENTERALIGN) x -= outerWidth / 2;
  if (flags & TPM_BOTTOMALIGN) y -= outerHeight;
  else if (flags & TPM_VCENTERALIGN) y -= outerHeight / 2;
  x = std::clamp(x, 0, kScreenWidth - outerWidth);
  y = std::clamp(y, kTaskbarHeight, kScreenHeight - outerHeight);

  RegisterPopupMenuClass();
  HWND popup = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kPopupMenuClass, u"", WS_POPUP | WS_BORDER, x, y,
                               outerWidth, outerHeight, owner, nullptr, nullptr, &t);
  if (!popup) return 0;
  ShowWindow(popup, SW_SHOWNA);
  HWND previousCapture = GetCapture();
  SetCapture(popup);

  MSG msg;
  bool quit = false;
  int quitCode = 0;
  while (!t.done && IsWindow(popup) && IsWindow(owner)) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    bool key = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
    if (key && HandleKey(popup, t, msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (IsWindow(popup)) {
    SetWindowLongPtrW(popup, GWL_USERDATA, 0);
    if (GetCapture() == popup) ReleaseCapture();
    DestroyWindow(popup);
  }
  if (previousCapture && IsWindow(previousCapture) && previousCapture != popup) SetCapture(previousCapture);
  if (quit) PostQuitMessage(quitCode);
  return t.chosen;
}

bool PopupMenuRowOf(HWND popup, const std::u16string& text, RECT* screenRect) {
  Tracking* t = MenuStateOf(popup);
  if (t == nullptr) return false;
  // The rows are fixed before the window exists, so another thread may read them.
  for (size_t i = 0; i < t->items.size(); ++i) {
    std::u16string shown;
    for (char16_t c : t->items[i].text)
      if (c != u'&') shown += c;
    if (shown != text || (t->items[i].flags & MF_SEPARATOR)) continue;
    RECT r = t->rows[i];
    MapWindowPoints(popup, nullptr, reinterpret_cast<POINT*>(&r), 2);
    *screenRect = r;
    return true;
  }
  return false;
}

}  // namespace kvplatform::ui

using namespace kvplatform::ui;

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS) {
  UINT chosen = RunPopupMenu(menu, flags, x, y, owner, 0);
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen && IsWindow(owner)) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  return chosen != 0;
}
