#include "ui/input/scrollbar_input.h"

#include <algorithm>
#include <mutex>

#include <windows.h>

#include "ui/painting/paint.h"
#include "ui/painting/style_painter.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

struct Press {
  HWND window = nullptr;  // null: no scroll bar owns the stylus
  int bar = SB_VERT;
  bool thumb = false;
  int grab = 0;  // pixels from the thumb's start to where it was taken
  int position = 0;
};

std::mutex& PressMutex() {
  static auto* m = new std::mutex;
  return *m;
}
Press gPress;  // under PressMutex

struct Bar {
  RECT rect{};
  Window::ScrollBar info;
  bool vertical = true;
};

bool ReadBar(HWND window, int bar, Bar& out) {
  if (!ScrollBarRect(window, bar, out.rect)) return false;
  UiLock lock;
  auto w = Lookup(window);
  if (!w) return false;
  out.info = w->scroll[bar];
  out.vertical = bar == SB_VERT;
  return true;
}

int Along(const Bar& b, POINT screen) { return b.vertical ? screen.y - b.rect.top : screen.x - b.rect.left; }

int Start(const Bar& b, const RECT& r) { return b.vertical ? r.top - b.rect.top : r.left - b.rect.left; }
int End(const Bar& b, const RECT& r) { return b.vertical ? r.bottom - b.rect.top : r.right - b.rect.left; }

// The position that puts the thumb's start `grab` pixels before `along`.
int PositionAt(const Bar& b, int along, int grab) {
  const auto& i = b.info;
  ScrollBarParts parts = ScrollBarLayout(b.rect, b.vertical, i.min, i.max, i.page, i.pos);
  int trackStart = End(b, parts.lineUp), trackEnd = Start(b, parts.lineDown);
  int travel = trackEnd - trackStart - (End(b, parts.thumb) - Start(b, parts.thumb));
  int highest = i.max - std::max(static_cast<int>(i.page) - 1, 0);
  if (travel <= 0 || highest <= i.min) return i.min;
  int offset = std::clamp(along - grab - trackStart, 0, travel);
  return i.min + (offset * (highest - i.min) + travel / 2) / travel;
}

void Send(HWND window, int bar, WORD code, int position = 0) {
  PostMessageW(window, bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(position)), 0);
}

}  // namespace

bool ScrollBarPress(HWND target, POINT screen) {
  Bar b;
  int bar = -1;
  for (int candidate : {SB_VERT, SB_HORZ})
    if (ReadBar(target, candidate, b) && PtInRect(&b.rect, screen)) {
      bar = candidate;
      break;
    }
  if (bar < 0) return false;
  Press press{target, bar, false, 0, b.info.pos};
  const auto& i = b.info;
  bool scrollable = i.max > i.min && (i.page == 0 || static_cast<int>(i.page) <= i.max - i.min);
  if (scrollable) {
    ScrollBarParts parts = ScrollBarLayout(b.rect, b.vertical, i.min, i.max, i.page, i.pos);
    if (PtInRect(&parts.lineUp, screen)) Send(target, bar, SB_LINEUP);
    else if (PtInRect(&parts.lineDown, screen)) Send(target, bar, SB_LINEDOWN);
    else if (PtInRect(&parts.thumb, screen)) press.thumb = true, press.grab = Along(b, screen) - Start(b, parts.thumb);
    else if (PtInRect(&parts.pageUp, screen)) Send(target, bar, SB_PAGEUP);
    else if (PtInRect(&parts.pageDown, screen)) Send(target, bar, SB_PAGEDOWN);
  }
  std::lock_guard guard(PressMutex());
  gPress = press;
  return true;
}

bool ScrollBarMove(POINT screen) {
  Press press;
  {
    std::lock_guard guard(PressMutex());
    if (!gPress.window) return false;
    press = gPress;
  }
  Bar b;
  if (!press.thumb || !ReadBar(press.window, press.bar, b)) return true;
  int position = PositionAt(b, Along(b, screen), press.grab);
  if (position == press.position) return true;
  {
    UiLock lock;
    if (auto w = Lookup(press.window)) w->scroll[press.bar].trackPos = position;
  }
  {
    std::lock_guard guard(PressMutex());
    gPress.position = position;
  }
  Send(press.window, press.bar, SB_THUMBTRACK, position);
  return true;
}

bool ScrollBarRelease(POINT) {
  Press press;
  {
    std::lock_guard guard(PressMutex());
    if (!gPress.window) return false;
    press = gPress;
    gPress = Press{};
  }
  if (press.thumb) Send(press.window, press.bar, SB_THUMBPOSITION, press.position);
  Send(press.window, press.bar, SB_ENDSCROLL);
  return true;
}

}  // namespace kvplatform::ui
