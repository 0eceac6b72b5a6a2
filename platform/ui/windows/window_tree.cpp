#include "ui/windows/window_tree.h"

#include <algorithm>
#include <atomic>

#include "ui/screen/screen.h"
#include "ui/screen/taskbar.h"
#include "ui/windows/ui_lock.h"

namespace kvplatform::ui {
namespace {

std::atomic<int> gWindowsWithUpdate{0};

bool IsTopmost(const Window& w) { return (w.exStyle & WS_EX_TOPMOST) != 0; }

bool Below(const WindowPtr& a, const WindowPtr& b) {
  if (a->parent == nullptr && IsTopmost(*a) != IsTopmost(*b)) return !IsTopmost(*a);
  return a->zOrder < b->zOrder;
}

void SetUpdate(Window& w, const RECT& r) {
  bool was = !RectEmpty(w.update);
  w.update = r;
  bool now = !RectEmpty(w.update);
  if (was != now) gWindowsWithUpdate += now ? 1 : -1;
}

}  // namespace

WindowPtr Lookup(HWND window) { return window ? FindWindowRecord(window) : nullptr; }

bool HasCaption(const Window& w) { return !(w.style & WS_CHILD) && (w.style & WS_CAPTION) == WS_CAPTION; }

RECT FrameInsets(DWORD style, DWORD exStyle) {
  RECT in{0, 0, 0, 0};
  int edge = 0;
  if (style & (WS_BORDER | WS_DLGFRAME)) edge = 1;
  if (exStyle & WS_EX_CLIENTEDGE) edge += 1;
  in.left = in.top = in.right = in.bottom = edge;
  if (!(style & WS_CHILD) && (style & WS_CAPTION) == WS_CAPTION) in.top += kCaptionHeight;
  if (style & WS_VSCROLL) in.right += kScrollBarSize;
  if (style & WS_HSCROLL) in.bottom += kScrollBarSize;
  return in;
}

bool IsShownLocked(const Window& w) {
  const Window* at = &w;
  for (int depth = 0; at && depth < 64; ++depth) {
    if (!(at->style & WS_VISIBLE) || at->destroying) return false;
    if (!at->parent) return true;
    auto parent = Lookup(at->parent);
    if (!parent) return false;
    at = parent.get();
  }
  return false;
}

bool IsEnabledLocked(const Window& w) {
  const Window* at = &w;
  for (int depth = 0; at && depth < 64; ++depth) {
    if (at->style & WS_DISABLED) return false;
    if (!at->parent) return true;
    auto parent = Lookup(at->parent);
    if (!parent) return false;
    at = parent.get();
  }
  return false;
}

RECT WindowScreenRectLocked(const Window& w) {
  RECT r = w.rect;
  if (w.parent) {
    if (auto parent = Lookup(w.parent)) {
      RECT client = ClientScreenRectLocked(*parent);
      r = Offset(r, client.left, client.top);
    }
  }
  return r;
}

RECT ClientScreenRectLocked(const Window& w) {
  RECT r = WindowScreenRectLocked(w);
  RECT in = FrameInsets(w.style, w.exStyle);
  RECT client{r.left + in.left, r.top + in.top, r.right - in.right, r.bottom - in.bottom};
  if (client.right < client.left) client.right = client.left;
  if (client.bottom < client.top) client.bottom = client.top;
  return client;
}

RECT ClientRectLocked(const Window& w) {
  RECT c = ClientScreenRectLocked(w);
  return RECT{0, 0, c.right - c.left, c.bottom - c.top};
}

WindowPtr TopLevelOfLocked(const WindowPtr& w) {
  WindowPtr at = w;
  for (int depth = 0; at && at->parent && depth < 64; ++depth) at = Lookup(at->parent);
  return at;
}

bool IsDescendantLocked(HWND ancestor, HWND window) {
  auto at = Lookup(window);
  for (int depth = 0; at && at->parent && depth < 64; ++depth) {
    if (at->parent == ancestor) return true;
    at = Lookup(at->parent);
  }
  return false;
}

std::vector<WindowPtr> ChildrenLocked(HWND parent) {
  std::vector<WindowPtr> children;
  for (auto& w : AllWindows())
    if (w->parent == parent && !w->destroying) children.push_back(w);
  std::stable_sort(children.begin(), children.end(), Below);
  return children;
}

void BringToTopLocked(const WindowPtr& w) {
  w->zOrder = NextZOrder();
  if (w->parent) return;
  // Owned windows stay above their owner, in their own order.
  std::vector<WindowPtr> owned;
  for (auto& other : ChildrenLocked(nullptr))
    if (other->owner == w->handle) owned.push_back(other);
  for (auto& o : owned) BringToTopLocked(o);
}

void PlaceAfterLocked(const WindowPtr& w, HWND insertAfter) {
  if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    if (!w->parent && insertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
    if (!w->parent && insertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
    BringToTopLocked(w);
    return;
  }
  // HWND_BOTTOM or below a given sibling: renumber the siblings in their new order.
  auto siblings = ChildrenLocked(w->parent);
  std::erase(siblings, w);
  auto at = siblings.begin();  // bottom
  if (insertAfter != HWND_BOTTOM) {
    auto found = std::find_if(siblings.begin(), siblings.end(), [&](auto& s) { return s->handle == insertAfter; });
    if (found == siblings.end()) return;
    at = found;  // the window goes just below insertAfter
  }
  siblings.insert(at, w);
  for (auto& s : siblings) s->zOrder = NextZOrder();
}

Region VisibleRegionLocked(const Window& w, bool clientOnly) {
  if (!IsShownLocked(w)) return Region();
  Region region(clientOnly ? ClientScreenRectLocked(w) : WindowScreenRectLocked(w));
  region.IntersectWith(TaskbarVisible() ? DesktopRect() : ScreenBounds());
  const Window* at = &w;
  for (int depth = 0; at && depth < 64; ++depth) {
    WindowPtr parent = at->parent ? Lookup(at->parent) : nullptr;
    if (parent) region.IntersectWith(ClientScreenRectLocked(*parent));
    // Siblings above this one (of the window itself, then of each ancestor).
    bool above = false;
    for (auto& sibling : ChildrenLocked(at->parent)) {
      if (sibling.get() == at) {
        above = true;
        continue;
      }
      if (above && IsShownLocked(*sibling)) region.Subtract(WindowScreenRectLocked(*sibling));
    }
    at = parent.get();
  }
  // A window never draws over its own visible children.
  for (auto& child : ChildrenLocked(w.handle))
    if (child->style & WS_VISIBLE) region.Subtract(WindowScreenRectLocked(*child));
  return region;
}

WindowPtr WindowFromPointLocked(POINT pt) {
  if (!Contains(ScreenBounds(), pt.x, pt.y)) return nullptr;
  WindowPtr found;
  HWND parent = nullptr;
  for (int depth = 0; depth < 64; ++depth) {
    auto siblings = ChildrenLocked(parent);
    WindowPtr hit;
    for (auto it = siblings.rbegin(); it != siblings.rend(); ++it) {
      const Window& s = **it;
      if ((s.style & WS_VISIBLE) && Contains(WindowScreenRectLocked(s), pt.x, pt.y)) {
        hit = *it;
        break;
      }
    }
    if (!hit) break;
    found = hit;
    if (!Contains(ClientScreenRectLocked(*hit), pt.x, pt.y)) break;
    parent = hit->handle;
  }
  return found;
}

void InvalidateLocked(Window& w, const RECT* clientRect, bool erase, bool children) {
  if (!IsShownLocked(w)) return;
  RECT client = ClientRectLocked(w);
  RECT area = clientRect ? Intersect(*clientRect, client) : client;
  if (!RectEmpty(area) || !clientRect) {
    SetUpdate(w, Union(w.update, area));
    // A window with no client area still gets its frame repainted.
    if (RectEmpty(w.update) && !RectEmpty(WindowScreenRectLocked(w))) SetUpdate(w, RECT{0, 0, 1, 1});
    if (erase) w.eraseNeeded = true;
    RequestWake(w.ownerThread);
  }
  if (!children) return;
  for (auto& child : ChildrenLocked(w.handle)) {
    RECT inChild = Offset(area, -child->rect.left, -child->rect.top);
    RECT childWindow{0, 0, child->rect.right - child->rect.left, child->rect.bottom - child->rect.top};
    if (RectEmpty(Intersect(inChild, childWindow))) continue;
    RECT childClient = ClientScreenRectLocked(*child);
    RECT childWindowScreen = WindowScreenRectLocked(*child);
    inChild = Offset(inChild, childWindowScreen.left - childClient.left, childWindowScreen.top - childClient.top);
    InvalidateLocked(*child, &inChild, erase, true);
  }
}

void ValidateLocked(Window& w) {
  SetUpdate(w, RECT{0, 0, 0, 0});
  w.eraseNeeded = false;
}

int WindowsWithUpdateCount() { return gWindowsWithUpdate.load(); }

void ExposeLocked(const RECT& area) {
  RECT clipped = Intersect(area, ScreenBounds());
  if (RectEmpty(clipped)) return;
  for (auto& w : AllWindows()) {
    if (w->destroying || !IsShownLocked(*w)) continue;
    RECT windowRect = WindowScreenRectLocked(*w);
    if (RectEmpty(Intersect(windowRect, clipped))) continue;
    RECT client = ClientScreenRectLocked(*w);
    RECT part = Offset(Intersect(clipped, windowRect), -client.left, -client.top);
    // Only the frame was touched: repaint the whole window, frame included.
    bool frameOnly = RectEmpty(Intersect(part, ClientRectLocked(*w)));
    InvalidateLocked(*w, frameOnly ? nullptr : &part, true, false);
  }
  RedrawDesktopLocked(clipped);
}

void ForgetUpdateOf(Window& w) { SetUpdate(w, RECT{0, 0, 0, 0}); }

}  // namespace kvplatform::ui
