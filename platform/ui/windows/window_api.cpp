// Showing, moving, ordering and enabling windows; coordinates and lookups.
#include <algorithm>
#include <windows.h>

#include "ui/input/focus.h"
#include "ui/screen/screen.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

using namespace kvplatform;
using namespace kvplatform::ui;

namespace {

WindowPtr Need(HWND window) {
  auto record = Lookup(window);
  if (!record) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return record;
}

struct GeometryChange {
  bool moved = false;
  bool sized = false;
  RECT client{};
  POINT clientOrigin{};  // in the parent's client coordinates
};

// Applies a new rectangle (parent client coordinates); repaints what the
// window leaves and what it now covers.
GeometryChange MoveLocked(Window& w, const RECT& to) {
  GeometryChange change;
  RECT oldRect = w.rect;
  RECT oldClient = ClientRectLocked(w);
  bool shown = IsShownLocked(w);
  RECT oldScreen = WindowScreenRectLocked(w);
  w.rect = to;
  RECT client = ClientRectLocked(w);
  change.moved = oldRect.left != to.left || oldRect.top != to.top;
  change.sized = oldClient.right != client.right || oldClient.bottom != client.bottom;
  change.client = client;
  RECT clientScreen = ClientScreenRectLocked(w), windowScreen = WindowScreenRectLocked(w);
  change.clientOrigin = POINT{to.left + clientScreen.left - windowScreen.left, to.top + clientScreen.top - windowScreen.top};
  if (shown && (change.moved || change.sized || oldRect.right != to.right || oldRect.bottom != to.bottom)) {
    ExposeLocked(oldScreen);
    InvalidateLocked(w, nullptr, true, true);
  }
  return change;
}

void SendGeometryMessages(HWND window, const GeometryChange& c) {
  if (c.moved) SendMessageW(window, WM_MOVE, 0, MAKELPARAM(c.clientOrigin.x, c.clientOrigin.y));
  if (c.sized) SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.client.right, c.client.bottom));
}

// Shows or hides; returns whether it was visible before.
bool SetVisible(HWND window, bool visible, bool activate) {
  bool wasVisible;
  bool topLevel;
  {
    UiLock lock;
    auto w = Lookup(window);
    if (!w) return false;
    wasVisible = (w->style & WS_VISIBLE) != 0;
    topLevel = !(w->style & WS_CHILD) && !w->parent;
    if (wasVisible == visible) {
      if (!visible || !activate || !topLevel) return wasVisible;
    } else if (visible) {
      StartScreen();
      w->style |= WS_VISIBLE;
      InvalidateLocked(*w, nullptr, true, true);
    } else {
      RECT area = WindowScreenRectLocked(*w);
      bool wasShown = IsShownLocked(*w);
      w->style &= ~WS_VISIBLE;
      if (wasShown) ExposeLocked(area);
    }
  }
  if (wasVisible != visible) SendMessageW(window, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
  if (!visible) {
    // Hiding the focus window or the active window moves them on.
    HWND focus, active;
    {
      UiLock lock;
      focus = FocusWindowLocked();
      active = ActiveWindowLocked();
    }
    if (focus == window || (focus && IsChild(window, focus))) SetFocus(nullptr);
    if (active == window) ForgetFocusOf(window);
  } else if (activate && topLevel) {
    auto w = Lookup(window);
    if (w && !(w->exStyle & WS_EX_NOACTIVATE)) ActivateWindow(window, WA_ACTIVE);
  }
  return wasVisible;
}

}  // namespace

BOOL ShowWindow(HWND window, int command) {
  if (!Need(window)) return FALSE;
  switch (command) {
    case SW_HIDE: return SetVisible(window, false, false);
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA: return SetVisible(window, true, false);
    default: return SetVisible(window, true, true);
  }
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  auto w = Need(window);
  if (!w) return FALSE;
  GeometryChange change;
  {
    UiLock lock;
    change = MoveLocked(*w, RECT{x, y, x + std::max(0, width), y + std::max(0, height)});
  }
  SendGeometryMessages(window, change);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  auto w = Need(window);
  if (!w) return FALSE;
  GeometryChange change;
  {
    UiLock lock;
    RECT to = w->rect;
    if (!(flags & SWP_NOMOVE)) to = Offset(to, x - to.left, y - to.top);
    if (!(flags & SWP_NOSIZE)) {
      to.right = to.left + std::max(0, width);
      to.bottom = to.top + std::max(0, height);
    }
    change = MoveLocked(*w, to);
    if (!(flags & SWP_NOZORDER)) {
      PlaceAfterLocked(w, insertAfter);
      InvalidateLocked(*w, nullptr, true, true);
      if (IsShownLocked(*w)) ExposeLocked(WindowScreenRectLocked(*w));
    }
    if (flags & SWP_FRAMECHANGED) InvalidateLocked(*w, nullptr, true, true);
  }
  SendGeometryMessages(window, change);
  if (flags & SWP_SHOWWINDOW) SetVisible(window, true, !(flags & SWP_NOACTIVATE));
  if (flags & SWP_HIDEWINDOW) SetVisible(window, false, false);
  return TRUE;
}

BOOL BringWindowToTop(HWND window) {
  auto w = Need(window);
  if (!w) return FALSE;
  if (!(w->style & WS_CHILD) && !w->parent) {
    ActivateWindow(window, WA_ACTIVE);
    return TRUE;
  }
  return SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  UiLock lock;
  auto w = Need(window);
  if (!w || !rect) return FALSE;
  *rect = WindowScreenRectLocked(*w);
  return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  UiLock lock;
  auto w = Need(window);
  if (!w || !rect) return FALSE;
  *rect = ClientRectLocked(*w);
  return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
  UiLock lock;
  auto w = Need(window);
  if (!w || !point) return FALSE;
  RECT c = ClientScreenRectLocked(*w);
  point->x += c.left;
  point->y += c.top;
  return TRUE;
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
  UiLock lock;
  auto w = Need(window);
  if (!w || !point) return FALSE;
  RECT c = ClientScreenRectLocked(*w);
  point->x -= c.left;
  point->y -= c.top;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  UiLock lock;
  POINT fromOrigin{0, 0}, toOrigin{0, 0};
  if (from) {
    auto w = Need(from);
    if (!w) return 0;
    RECT c = ClientScreenRectLocked(*w);
    fromOrigin = POINT{c.left, c.top};
  }
  if (to) {
    auto w = Need(to);
    if (!w) return 0;
    RECT c = ClientScreenRectLocked(*w);
    toOrigin = POINT{c.left, c.top};
  }
  int dx = fromOrigin.x - toOrigin.x, dy = fromOrigin.y - toOrigin.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(static_cast<SHORT>(dx)), static_cast<WORD>(static_cast<SHORT>(dy)));
}

HWND GetWindow(HWND window, UINT relation) {
  UiLock lock;
  auto w = Need(window);
  if (!w) return nullptr;
  if (relation == GW_OWNER) return w->owner;
  if (relation == GW_CHILD) {
    // Children from the top of the order down, as the device lists them.
    auto children = ChildrenLocked(window);
    return children.empty() ? nullptr : children.back()->handle;
  }
  auto siblings = ChildrenLocked(w->parent);
  if (siblings.empty()) return nullptr;
  auto at = std::find(siblings.begin(), siblings.end(), w) - siblings.begin();
  switch (relation) {
    case GW_HWNDFIRST: return siblings.back()->handle;
    case GW_HWNDLAST: return siblings.front()->handle;
    case GW_HWNDNEXT: return at > 0 ? siblings[at - 1]->handle : nullptr;
    case GW_HWNDPREV: return at + 1 < static_cast<long>(siblings.size()) ? siblings[at + 1]->handle : nullptr;
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

HWND GetDesktopWindow() { return nullptr; }

BOOL IsWindowVisible(HWND window) {
  UiLock lock;
  auto w = Lookup(window);
  return w && IsShownLocked(*w);
}

BOOL IsWindowEnabled(HWND window) {
  UiLock lock;
  auto w = Lookup(window);
  return w && !(w->style & WS_DISABLED);
}

BOOL EnableWindow(HWND window, BOOL enable) {
  bool wasDisabled;
  {
    UiLock lock;
    auto w = Need(window);
    if (!w) return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable)
      w->style &= ~WS_DISABLED;
    else
      w->style |= WS_DISABLED;
    InvalidateLocked(*w, nullptr, true, true);
  }
  if (!enable) {
    HWND focus = GetFocus();
    if (focus == window || (focus && IsChild(window, focus))) SetFocus(nullptr);
    if (GetCapture() == window) ReleaseCapture();
  }
  SendMessageW(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL IsChild(HWND parent, HWND window) {
  UiLock lock;
  return IsDescendantLocked(parent, window);
}

HWND WindowFromPoint(POINT point) {
  UiLock lock;
  auto w = WindowFromPointLocked(point);
  return w ? w->handle : nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  UiLock lock;
  auto p = Need(parent);
  if (!p) return nullptr;
  RECT c = ClientScreenRectLocked(*p);
  if (!Contains(RECT{0, 0, c.right - c.left, c.bottom - c.top}, point.x, point.y)) return nullptr;
  auto children = ChildrenLocked(parent);
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (Contains((*it)->rect, point.x, point.y)) return (*it)->handle;
  return parent;
}

HWND SetParent(HWND child, HWND newParent) {
  HWND old;
  {
    UiLock lock;
    auto w = Need(child);
    if (!w || (newParent && !Need(newParent))) return nullptr;
    if (IsShownLocked(*w)) ExposeLocked(WindowScreenRectLocked(*w));
    old = w->parent;
    w->parent = newParent;
    w->zOrder = NextZOrder();
    InvalidateLocked(*w, nullptr, true, true);
  }
  return old;
}

int GetDlgCtrlID(HWND window) {
  auto w = Need(window);
  return w ? static_cast<int>(w->id) : 0;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return kScreenWidth;
    case SM_CYSCREEN: return kScreenHeight;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return kScrollBarSize;
    case SM_CYCAPTION: return kCaptionHeight;
    case SM_CXBORDER:
    case SM_CYBORDER:
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 1;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYMENU: return kTaskbarHeight;
    case SM_CXFULLSCREEN: return kScreenWidth;
    case SM_CYFULLSCREEN: return kScreenHeight - kTaskbarHeight;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 8;
    default: return 0;
  }
}

UINT GetDoubleClickTime() { return 500; }

// ---- rectangles ----
BOOL SetRect(LPRECT r, int left, int top, int right, int bottom) {
  if (!r) return FALSE;
  *r = RECT{left, top, right, bottom};
  return TRUE;
}
BOOL SetRectEmpty(LPRECT r) { return SetRect(r, 0, 0, 0, 0); }
BOOL CopyRect(LPRECT to, const RECT* from) {
  if (!to || !from) return FALSE;
  *to = *from;
  return TRUE;
}
BOOL IsRectEmpty(const RECT* r) { return !r || RectEmpty(*r); }
BOOL PtInRect(const RECT* r, POINT p) { return r && Contains(*r, p.x, p.y); }
BOOL OffsetRect(LPRECT r, int dx, int dy) {
  if (!r) return FALSE;
  *r = Offset(*r, dx, dy);
  return TRUE;
}
BOOL InflateRect(LPRECT r, int dx, int dy) {
  if (!r) return FALSE;
  *r = RECT{r->left - dx, r->top - dy, r->right + dx, r->bottom + dy};
  return TRUE;
}
BOOL IntersectRect(LPRECT out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  *out = Intersect(*a, *b);
  return !RectEmpty(*out);
}
BOOL UnionRect(LPRECT out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  *out = Union(*a, *b);
  return !RectEmpty(*out);
}
BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
