// Invalid parts, WM_PAINT's BeginPaint/EndPaint, device contexts of windows,
// and the frame and scroll bars the system draws.
#include "ui/painting/paint.h"

#include <algorithm>
#include <windows.h>

#include "ui/gdi/objects.h"
#include "ui/screen/screen.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

using namespace kvplatform;
using namespace kvplatform::ui;

namespace kvplatform::ui {

bool ScrollBarRect(HWND window, int bar, RECT& r) {
  UiLock lock;
  auto w = Lookup(window);
  if (!w) return false;
  DWORD flag = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  if (!(w->style & flag)) return false;
  RECT client = ClientScreenRectLocked(*w);
  if (bar == SB_VERT)
    r = RECT{client.right, client.top, client.right + kScrollBarSize, client.bottom};
  else
    r = RECT{client.left, client.bottom, client.right, client.bottom + kScrollBarSize};
  return true;
}

void PaintFrameOf(HWND window) {
  HDC dc = GetWindowDC(window);
  if (!dc) return;
  RECT screen{}, client{};
  DWORD style;
  std::u16string text;
  Window::ScrollBar vertical, horizontal;
  bool enabled;
  {
    UiLock lock;
    auto w = Lookup(window);
    if (!w) {
      ReleaseDC(window, dc);
      return;
    }
    screen = WindowScreenRectLocked(*w);
    client = ClientScreenRectLocked(*w);
    style = w->style;
    text = w->text;
    vertical = w->scroll[SB_VERT];
    horizontal = w->scroll[SB_HORZ];
    enabled = IsEnabledLocked(*w);
  }
  auto local = [&](RECT r) { return Offset(r, -screen.left, -screen.top); };
  RECT whole = local(screen);
  if (style & (WS_BORDER | WS_DLGFRAME)) PaintFrame(dc, whole, RGB(0, 0, 0));
  if (!(style & WS_CHILD) && (style & WS_CAPTION) == WS_CAPTION) {
    RECT caption{whole.left + 1, whole.top + 1, whole.right - 1, whole.top + 1 + kCaptionHeight};
    PaintCaption(dc, caption, text.c_str());
  }
  RECT c = local(client);
  if (style & WS_VSCROLL)
    PaintScrollBar(dc, RECT{c.right, c.top, c.right + kScrollBarSize, c.bottom}, true, vertical.min, vertical.max,
                   vertical.page, vertical.pos, enabled);
  if (style & WS_HSCROLL)
    PaintScrollBar(dc, RECT{c.left, c.bottom, c.right, c.bottom + kScrollBarSize}, false, horizontal.min,
                   horizontal.max, horizontal.page, horizontal.pos, enabled);
  if ((style & WS_VSCROLL) && (style & WS_HSCROLL)) {
    RECT corner{c.right, c.bottom, c.right + kScrollBarSize, c.bottom + kScrollBarSize};
    FillSolid(dc, corner, GetSysColor(COLOR_BTNFACE));
  }
  ReleaseDC(window, dc);
}

}  // namespace kvplatform::ui

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  UiLock lock;
  if (window == nullptr) {
    // The whole screen.
    for (auto& w : ChildrenLocked(nullptr)) InvalidateLocked(*w, nullptr, erase, true);
    RedrawDesktopLocked(ScreenBounds());
    return TRUE;
  }
  auto w = Lookup(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // Without WS_CLIPCHILDREN the children under the area repaint too.
  InvalidateLocked(*w, rect, erase != FALSE, !(w->style & WS_CLIPCHILDREN));
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  UiLock lock;
  auto w = Lookup(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (rect == nullptr) {
    ValidateLocked(*w);
    return TRUE;
  }
  // The invalid part is kept as one rectangle: it shrinks only where a
  // whole side is covered.
  RECT u = w->update;
  RECT v = *rect;
  if (v.left <= u.left && v.right >= u.right) {
    if (v.top <= u.top && v.bottom > u.top) u.top = std::min(v.bottom, u.bottom);
    if (v.bottom >= u.bottom && v.top < u.bottom) u.bottom = std::max(v.top, u.top);
  }
  if (v.top <= u.top && v.bottom >= u.bottom) {
    if (v.left <= u.left && v.right > u.left) u.left = std::min(v.right, u.right);
    if (v.right >= u.right && v.left < u.right) u.right = std::max(v.left, u.left);
  }
  if (RectEmpty(u))
    ValidateLocked(*w);
  else
    w->update = u;
  return TRUE;
}

BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL) {
  UiLock lock;
  auto w = Lookup(window);
  if (!w) return FALSE;
  if (rect) *rect = w->update;
  return !RectEmpty(w->update);
}

BOOL UpdateWindow(HWND window) {
  auto w = Lookup(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  bool pending;
  std::vector<HWND> children;
  {
    UiLock lock;
    pending = IsShownLocked(*w) && !RectEmpty(w->update);
    for (auto& child : ChildrenLocked(window)) children.push_back(child->handle);
  }
  if (pending) SendMessageW(window, WM_PAINT, 0, 0);
  for (HWND child : children) UpdateWindow(child);
  return TRUE;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  if (paint == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  *paint = PAINTSTRUCT{};
  auto w = Lookup(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  bool erase;
  HDC dc;
  {
    UiLock lock;
    RECT client = ClientRectLocked(*w);
    RECT update = Intersect(w->update, client);
    erase = w->eraseNeeded;
    ValidateLocked(*w);
    RECT clientScreen = ClientScreenRectLocked(*w);
    Region clip = VisibleRegionLocked(*w, true);
    clip.IntersectWith(Offset(update, clientScreen.left, clientScreen.top));
    dc = CreateScreenDc(window, POINT{clientScreen.left, clientScreen.top}, clip);
    paint->rcPaint = update;
  }
  PaintFrameOf(window);
  paint->hdc = dc;
  paint->fErase = erase && SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint == nullptr) return FALSE;
  UiLock lock;
  DestroyDc(paint->hdc);
  return TRUE;
}

HDC GetDC(HWND window) {
  UiLock lock;
  StartScreen();
  if (window == nullptr) return CreateScreenDc(nullptr, POINT{0, 0}, Region(ScreenBounds()));
  auto w = Lookup(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  RECT c = ClientScreenRectLocked(*w);
  return CreateScreenDc(window, POINT{c.left, c.top}, VisibleRegionLocked(*w, true));
}

HDC GetWindowDC(HWND window) {
  UiLock lock;
  auto w = Lookup(window);
  if (!w) return GetDC(window);
  RECT r = WindowScreenRectLocked(*w);
  Region clip = VisibleRegionLocked(*w, false);
  return CreateScreenDc(window, POINT{r.left, r.top}, clip);
}

int ReleaseDC(HWND, HDC dc) {
  UiLock lock;
  auto record = LookupDc(dc);
  if (!record || record->memory) return 0;
  DestroyDc(dc);
  return 1;
}

HWND WindowFromDC(HDC dc) {
  UiLock lock;
  auto record = LookupDc(dc);
  return record ? record->window : nullptr;
}

// ---- scroll bars of a window's frame ----

namespace {

Window::ScrollBar* BarOf(Window& w, int bar) {
  if (bar != SB_HORZ && bar != SB_VERT) return nullptr;
  return &w.scroll[bar];
}

void RedrawBar(HWND window) { PaintFrameOf(window); }

}  // namespace

int SetScrollInfo(HWND window, int bar, LPCSCROLLINFO info, BOOL redraw) {
  int pos;
  {
    UiLock lock;
    auto w = Lookup(window);
    Window::ScrollBar* b = w ? BarOf(*w, bar) : nullptr;
    if (!b || !info) return 0;
    if (info->fMask & SIF_RANGE) {
      b->min = info->nMin;
      b->max = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE) b->page = std::min<UINT>(info->nPage, static_cast<UINT>(b->max - b->min + 1));
    if (info->fMask & SIF_POS) b->pos = info->nPos;
    int highest = b->max - std::max<int>(static_cast<int>(b->page) - 1, 0);
    b->pos = std::clamp(b->pos, b->min, std::max(b->min, highest));
    pos = b->pos;
  }
  if (redraw) RedrawBar(window);
  return pos;
}

BOOL GetScrollInfo(HWND window, int bar, LPSCROLLINFO info) {
  UiLock lock;
  auto w = Lookup(window);
  Window::ScrollBar* b = w ? BarOf(*w, bar) : nullptr;
  if (!b || !info) return FALSE;
  if (info->fMask & SIF_RANGE) {
    info->nMin = b->min;
    info->nMax = b->max;
  }
  if (info->fMask & SIF_PAGE) info->nPage = b->page;
  if (info->fMask & SIF_POS) info->nPos = b->pos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = b->trackPos;
  return TRUE;
}

int SetScrollPos(HWND window, int bar, int pos, BOOL redraw) {
  int old = GetScrollPos(window, bar);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, pos, 0};
  SetScrollInfo(window, bar, &info, redraw);
  return old;
}

int GetScrollPos(HWND window, int bar) {
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
  return GetScrollInfo(window, bar, &info) ? info.nPos : 0;
}

BOOL SetScrollRange(HWND window, int bar, int minPos, int maxPos, BOOL redraw) {
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, minPos, maxPos, 0, 0, 0};
  return SetScrollInfo(window, bar, &info, redraw) >= 0 && IsWindow(window);
}
