// The screen's side of window creation, destruction, text and style
// changes, and the default handling of painting messages.
#include "ui/windows/window_events.h"

#include <algorithm>
#include <windows.h>

#include "ui/input/focus.h"
#include "ui/gdi/objects.h"
#include "ui/windows/instance_registry.h"
#include "ui/input/input.h"
#include "ui/painting/paint.h"
#include "ui/screen/screen.h"
#include "ui/screen/taskbar.h"
#include "ui/input/timers.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {

RECT InitialWindowRect(DWORD style, int x, int y, int width, int height) {
  bool topLevel = !(style & WS_CHILD);
  RECT desktop = DesktopRect();
  if (x == CW_USEDEFAULT) {
    x = topLevel ? desktop.left : 0;
    if (y == CW_USEDEFAULT || topLevel) y = topLevel ? desktop.top : 0;
  }
  if (y == CW_USEDEFAULT) y = topLevel ? desktop.top : 0;
  if (width == CW_USEDEFAULT) {
    width = topLevel ? desktop.right - desktop.left : 0;
    height = topLevel ? desktop.bottom - desktop.top : 0;
  }
  if (height == CW_USEDEFAULT) height = topLevel ? desktop.bottom - desktop.top : 0;
  return RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
}

void OnWindowCreated(HWND window, bool visible) {
  RECT client{}, clientScreen{}, windowScreen{}, rect{};
  bool topLevel;
  {
    UiLock lock;
    auto w = Lookup(window);
    if (!w) return;
    client = ClientRectLocked(*w);
    clientScreen = ClientScreenRectLocked(*w);
    windowScreen = WindowScreenRectLocked(*w);
    rect = w->rect;
    topLevel = !w->parent;
  }
  SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  SendMessageW(window, WM_MOVE, 0,
               MAKELPARAM(rect.left + clientScreen.left - windowScreen.left, rect.top + clientScreen.top - windowScreen.top));
  if (visible && IsWindow(window)) ShowWindow(window, SW_SHOW);
  if (topLevel) PublishTopLevelWindows();
}

void OnWindowDestroying(HWND window) {
  {
    UiLock lock;
    auto w = Lookup(window);
    if (!w) return;
    // The window is already marked as going, which counts as hidden: ask
    // whether it was on the screen before that.
    auto parent = w->parent ? Lookup(w->parent) : nullptr;
    bool wasShown = (w->style & WS_VISIBLE) && (!w->parent || (parent && IsShownLocked(*parent)));
    if (wasShown) ExposeLocked(WindowScreenRectLocked(*w));
    // Hidden from here on: no more paints, taps or keys.
    w->style &= ~WS_VISIBLE;
    ForgetUpdateOf(*w);
  }
  ForgetFocusOf(window);
  KillTimersOf(window);
  ForgetInputOf(window);
}

void OnWindowDestroyed(HWND) { PublishTopLevelWindows(); }

void OnWindowForgotten(HWND window) {
  // Under the wait core's lock: wakes go straight out.
  WaitMutexHeld held;
  UiLock lock;
  auto w = Lookup(window);
  if (!w) return;
  if (IsShownLocked(*w)) ExposeLocked(WindowScreenRectLocked(*w));
  w->style &= ~WS_VISIBLE;
  ForgetUpdateOf(*w);
  DropFocusLocked(window);
}

void OnTextChanged(HWND window) {
  UiLock lock;
  auto w = Lookup(window);
  if (!w) return;
  InvalidateLocked(*w, nullptr, true, false);
  if (!w->parent) {
    if (ActiveWindowLocked() == window) RedrawTaskbarLocked();
    PublishTopLevelWindows();
  }
}

void OnStyleChanged(HWND window, DWORD oldStyle, DWORD newStyle) {
  const DWORD frame = WS_BORDER | WS_DLGFRAME | WS_VSCROLL | WS_HSCROLL;
  RECT client{};
  bool frameChanged = (oldStyle & frame) != (newStyle & frame);
  {
    UiLock lock;
    auto w = Lookup(window);
    if (!w) return;
    if (IsShownLocked(*w)) ExposeLocked(WindowScreenRectLocked(*w));
    InvalidateLocked(*w, nullptr, true, true);
    client = ClientRectLocked(*w);
  }
  if ((oldStyle & WS_VISIBLE) != (newStyle & WS_VISIBLE)) ShowWindow(window, (newStyle & WS_VISIBLE) ? SW_SHOW : SW_HIDE);
  if (frameChanged) SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

LRESULT DefaultScreenMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      auto w = Lookup(window);
      if (!w || !w->windowClass) return 0;
      HBRUSH brush = w->windowClass->info.hbrBackground;
      if (!brush) return 0;
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      return 1;
    }
    case WM_ACTIVATE:
      // The activated window takes the focus unless one of its own has it.
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != window && !(focus && IsChild(window, focus))) SetFocus(window);
      }
      return 0;
    case WM_CANCELMODE:
      if (GetCapture() == window) ReleaseCapture();
      return 0;
    default:
      return 0;
  }
}

}  // namespace kvplatform::ui
