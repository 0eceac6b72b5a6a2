// "SysTabControl32": a strip of tabs along the top (or, with TCS_BOTTOM, the
// bottom) of a display area that the program fills with its own windows.
#include "ui/controls/tab_control.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ui/controls/common_control_support.h"
#include "ui/controls/font_and_focus.h"
#include "ui/windows/message_point.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"

namespace kvplatform::ui {
namespace {

constexpr int kTabPadding = 8;  // on each side of a tab's text

struct Tab {
  std::u16string text;
  LPARAM param = 0;
};

struct TabState {
  std::vector<Tab> tabs;
  int selected = -1;
  HFONT font = nullptr;
};

bool Bottom(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & TCS_BOTTOM) != 0; }

RECT StripRect(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  if (Bottom(window)) return RECT{client.left, client.bottom - kTabStripHeight, client.right, client.bottom};
  return RECT{client.left, client.top, client.right, client.top + kTabStripHeight};
}

// Each tab's rectangle in client coordinates, left to right.
std::vector<RECT> TabRects(HWND window, const TabState& s) {
  std::vector<RECT> rects;
  RECT strip = StripRect(window);
  FontDc dc(window, s.font);
  int x = strip.left;
  for (const Tab& tab : s.tabs) {
    int width = TextWidth(dc.Get(), tab.text) + 2 * kTabPadding;
    rects.push_back(RECT{x, strip.top, x + width, strip.bottom});
    x += width - 1;  // neighbours share their edge line
  }
  return rects;
}

int TabAt(HWND window, const TabState& s, POINT p) {
  std::vector<RECT> rects = TabRects(window, s);
  for (size_t i = 0; i < rects.size(); ++i)
    if (PtInRect(&rects[i], p)) return static_cast<int>(i);
  return -1;
}

LRESULT OnInsertItem(HWND window, TabState& s, int index, const TCITEMW* item) {
  if (!item || index < 0) return -1;
  index = std::min(index, static_cast<int>(s.tabs.size()));
  Tab tab;
  if (item->mask & TCIF_TEXT) tab.text = TextFrom(item->pszText);
  if (item->mask & TCIF_PARAM) tab.param = item->lParam;
  s.tabs.insert(s.tabs.begin() + index, std::move(tab));
  if (s.selected >= index) ++s.selected;
  if (s.selected < 0) s.selected = 0;  // the first tab starts selected
  InvalidateRect(window, nullptr, TRUE);
  return index;
}

LRESULT OnGetItemRect(HWND window, const TabState& s, int index, RECT* r) {
  if (!r || index < 0 || index >= static_cast<int>(s.tabs.size())) return FALSE;
  *r = TabRects(window, s)[static_cast<size_t>(index)];
  return TRUE;
}

LRESULT OnSetCurSel(HWND window, TabState& s, int index) {
  if (index < 0 || index >= static_cast<int>(s.tabs.size())) return -1;
  int old = s.selected;
  s.selected = index;
  InvalidateRect(window, nullptr, TRUE);
  return old;
}

// The window's frame (a border) on each side of its client area.
RECT FrameInsets(HWND window) {
  RECT outer;
  GetWindowRect(window, &outer);
  RECT client;
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return RECT{origin.x - outer.left, origin.y - outer.top, outer.right - (origin.x + client.right),
              outer.bottom - (origin.y + client.bottom)};
}

// wParam FALSE: from a window rectangle to its display area, inside the
// frame and clear of the strip (whose edge line stays in view); TRUE: back.
void OnAdjustRect(HWND window, bool larger, RECT* r) {
  if (!r) return;
  int sign = larger ? -1 : 1;
  RECT frame = FrameInsets(window);
  r->left += sign * frame.left;
  r->top += sign * frame.top;
  r->right -= sign * frame.right;
  r->bottom -= sign * frame.bottom;
  if (Bottom(window))
    r->bottom -= sign * kTabStripHeight;
  else
    r->top += sign * kTabStripHeight;
}

// The user picks a tab: the parent may refuse, then hears of the change.
void SelectByUser(HWND window, TabState& s, int index) {
  if (index < 0 || index == s.selected) return;
  NMHDR header{};
  bool alive = true;
  if (NotifyParent(window, header, TCN_SELCHANGING, alive) != 0 || !alive) return;
  s.selected = index;
  InvalidateRect(window, nullptr, TRUE);
  NotifyParent(window, header, TCN_SELCHANGE, alive);
}

void OnPaint(HWND window, const TabState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  SelectObject(dc, FontToDraw(s.font));
  RECT client;
  GetClientRect(window, &client);
  FillSolid(dc, client, GetSysColor(COLOR_WINDOW));
  RECT strip = StripRect(window);
  FillSolid(dc, strip, GetSysColor(COLOR_BTNFACE));
  bool bottom = Bottom(window);
  // The line between the display area and the strip; the selected tab opens onto it.
  RECT edge = bottom ? RECT{strip.left, strip.top, strip.right, strip.top + 1}
                     : RECT{strip.left, strip.bottom - 1, strip.right, strip.bottom};
  FillSolid(dc, edge, RGB(0, 0, 0));
  std::vector<RECT> rects = TabRects(window, s);
  SetBkMode(dc, TRANSPARENT);
  for (size_t i = 0; i < rects.size(); ++i) {
    RECT r = rects[i];
    bool selected = static_cast<int>(i) == s.selected;
    if (!selected) (bottom ? r.top : r.bottom) += bottom ? 2 : -2;  // unselected tabs sit lower
    FillSolid(dc, r, selected ? GetSysColor(COLOR_WINDOW) : GetSysColor(COLOR_BTNFACE));
    PaintFrame(dc, r, RGB(0, 0, 0));
    if (selected) {
      RECT open = bottom ? RECT{r.left + 1, r.top, r.right - 1, r.top + 1} : RECT{r.left + 1, r.bottom - 1, r.right - 1, r.bottom};
      FillSolid(dc, open, GetSysColor(COLOR_WINDOW));
    }
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    const std::u16string& text = s.tabs[i].text;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  EndPaint(window, &ps);
}

void OnKeyDown(HWND window, TabState& s, UINT key) {
  int count = static_cast<int>(s.tabs.size());
  if (count == 0) return;
  if (key == VK_LEFT && s.selected > 0) SelectByUser(window, s, s.selected - 1);
  if (key == VK_RIGHT && s.selected < count - 1) SelectByUser(window, s, s.selected + 1);
}

LRESULT CALLBACK TabControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = ControlState<TabState>(window);
  if (message == WM_NCCREATE) {
    AttachState(window, new TabState);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (!s) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case TCM_INSERTITEMW: return OnInsertItem(window, *s, static_cast<int>(wParam), reinterpret_cast<const TCITEMW*>(lParam));
    case TCM_GETITEMCOUNT: return static_cast<LRESULT>(s->tabs.size());
    case TCM_GETITEMRECT: return OnGetItemRect(window, *s, static_cast<int>(wParam), reinterpret_cast<RECT*>(lParam));
    case TCM_GETCURSEL: return s->selected;
    case TCM_SETCURSEL: return OnSetCurSel(window, *s, static_cast<int>(static_cast<INT_PTR>(wParam)));
    case TCM_ADJUSTRECT: OnAdjustRect(window, wParam != 0, reinterpret_cast<RECT*>(lParam)); return 0;
    case WM_LBUTTONDOWN: SelectByUser(window, *s, TabAt(window, *s, PointFromParam(lParam))); return 0;
    case WM_KEYDOWN: OnKeyDown(window, *s, static_cast<UINT>(wParam)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_SETFONT:
      s->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_PAINT: OnPaint(window, *s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_DESTROY: DetachState<TabState>(window); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

void RegisterTabControlClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = TabControlProc;
  wc.cbWndExtra = kStateBytes;
  wc.lpszClassName = WC_TABCONTROLW;
  RegisterClassW(&wc);
}

}  // namespace kvplatform::ui
