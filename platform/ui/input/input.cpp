#include "ui/input/input.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>

#include <windows.h>

#include "ui/input/focus.h"
#include "ui/windows/message_point.h"
#include "ui/input/scrollbar_input.h"
#include "ui/screen/taskbar.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

struct StylusState {
  bool down = false;
  bool held = false;     // tap-and-hold fired: the rest of this press is swallowed
  bool wandered = false; // moved too far to be a hold
  HWND pressed = nullptr;
  POINT downPoint{};
  DWORD downTime = 0;
  // The last press, for double taps.
  HWND lastWindow = nullptr;
  POINT lastPoint{};
  DWORD lastTime = 0;
  bool lastWasDouble = false;
};

std::mutex& InputMutex() {
  static auto* m = new std::mutex;
  return *m;
}
StylusState gStylus;  // under InputMutex
std::atomic<bool> gShift{false}, gControl{false}, gAlt{false};
std::atomic<DWORD> gLastPoint{0};

WPARAM Modifiers(bool button) {
  WPARAM keys = button ? MK_LBUTTON : 0;
  if (gShift) keys |= MK_SHIFT;
  if (gControl) keys |= MK_CONTROL;
  return keys;
}

// The window that gets stylus input at a point, and the point in its client
// coordinates. A disabled window (or one inside a disabled window) gets nothing.
HWND Target(POINT screen, POINT& client, bool& dblclks) {
  UiLock lock;
  WindowPtr w;
  if (HWND capture = CaptureWindowLocked()) w = Lookup(capture);
  if (!w) {
    w = WindowFromPointLocked(screen);
    if (w && !IsEnabledLocked(*w)) return nullptr;
  }
  if (!w) return nullptr;
  RECT c = ClientScreenRectLocked(*w);
  client = POINT{screen.x - c.left, screen.y - c.top};
  dblclks = w->windowClass && (w->windowClass->info.style & CS_DBLCLKS);
  return w->handle;
}

HWND KeyTarget() {
  UiLock lock;
  HWND target = FocusWindowLocked() ? FocusWindowLocked() : ActiveWindowLocked();
  auto w = Lookup(target);
  return w && !w->destroying ? target : nullptr;
}

}  // namespace

void StylusDown(POINT screen, DWORD time) {
  gLastPoint = static_cast<DWORD>(ParamFromPoint(screen));
  if (TaskbarPress(screen)) return;
  POINT client{};
  bool dblclks = false;
  HWND target = Target(screen, client, dblclks);
  if (target && ScrollBarPress(target, screen)) {
    // The press is the scroll bar's: no click, no double tap, no hold.
    std::lock_guard guard(InputMutex());
    gStylus = StylusState{};
    gStylus.down = true;
    gStylus.downPoint = screen;
    gStylus.downTime = time;
    return;
  }
  UINT message = WM_LBUTTONDOWN;
  {
    std::lock_guard guard(InputMutex());
    StylusState& s = gStylus;
    bool near = std::abs(screen.x - s.lastPoint.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                std::abs(screen.y - s.lastPoint.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    bool isDouble = target && dblclks && target == s.lastWindow && near && !s.lastWasDouble &&
                    time - s.lastTime <= GetDoubleClickTime();
    if (isDouble) message = WM_LBUTTONDBLCLK;
    s = StylusState{true, false, false, target, screen, time, target, screen, time, isDouble};
  }
  if (!target) return;
  // A tap on another top-level window makes it active first.
  HWND top = nullptr;
  {
    UiLock lock;
    auto w = TopLevelOfLocked(Lookup(target));
    if (w && w->handle != ActiveWindowLocked() && !(w->exStyle & WS_EX_NOACTIVATE)) top = w->handle;
  }
  if (top) ActivateWindow(top, WA_CLICKACTIVE);
  PostMessageW(target, message, Modifiers(true), ParamFromPoint(client));
}

void StylusMove(POINT screen, DWORD) {
  gLastPoint = static_cast<DWORD>(ParamFromPoint(screen));
  if (ScrollBarMove(screen)) return;
  bool down;
  {
    std::lock_guard guard(InputMutex());
    StylusState& s = gStylus;
    if (s.down && (std::abs(screen.x - s.downPoint.x) > kHoldSlop || std::abs(screen.y - s.downPoint.y) > kHoldSlop))
      s.wandered = true;
    if (s.down && s.held) return;
    down = s.down;
  }
  POINT client{};
  bool dblclks;
  if (HWND target = Target(screen, client, dblclks)) PostMessageW(target, WM_MOUSEMOVE, Modifiers(down), ParamFromPoint(client));
}

void StylusUp(POINT screen, DWORD) {
  gLastPoint = static_cast<DWORD>(ParamFromPoint(screen));
  if (ScrollBarRelease(screen)) {
    std::lock_guard guard(InputMutex());
    gStylus.down = false;
    return;
  }
  {
    std::lock_guard guard(InputMutex());
    StylusState& s = gStylus;
    bool wasDown = s.down, held = s.held;
    s.down = false;
    s.held = false;
    if (!wasDown || held) return;
  }
  POINT client{};
  bool dblclks;
  if (HWND target = Target(screen, client, dblclks)) PostMessageW(target, WM_LBUTTONUP, Modifiers(false), ParamFromPoint(client));
}

void StylusHold() {
  HWND target;
  POINT point;
  {
    std::lock_guard guard(InputMutex());
    StylusState& s = gStylus;
    if (!s.down || s.held || s.wandered || !s.pressed) return;
    s.held = true;
    target = s.pressed;
    point = s.downPoint;
  }
  PostMessageW(target, kGestureMessage, 0, ParamFromPoint(point));
}

DWORD CheckHold(DWORD now) {
  DWORD left;
  {
    std::lock_guard guard(InputMutex());
    StylusState& s = gStylus;
    if (!s.down || s.held || s.wandered || !s.pressed) return INFINITE;
    DWORD elapsed = now - s.downTime;
    left = elapsed >= kHoldMilliseconds ? 0 : kHoldMilliseconds - elapsed;
  }
  if (left == 0) StylusHold();
  return left == 0 ? INFINITE : left;
}

bool StylusIsDown() {
  std::lock_guard guard(InputMutex());
  return gStylus.down;
}

void KeyDown(UINT vk) {
  if (vk == VK_SHIFT || vk == VK_LSHIFT || vk == VK_RSHIFT) gShift = true;
  if (vk == VK_CONTROL || vk == VK_LCONTROL || vk == VK_RCONTROL) gControl = true;
  if (vk == VK_MENU) gAlt = true;
  if (HWND target = KeyTarget()) PostMessageW(target, WM_KEYDOWN, vk, 1);
}

void KeyUp(UINT vk) {
  if (vk == VK_SHIFT || vk == VK_LSHIFT || vk == VK_RSHIFT) gShift = false;
  if (vk == VK_CONTROL || vk == VK_LCONTROL || vk == VK_RCONTROL) gControl = false;
  if (vk == VK_MENU) gAlt = false;
  if (HWND target = KeyTarget()) PostMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}

void Character(char16_t ch) {
  if (HWND target = KeyTarget()) PostMessageW(target, WM_CHAR, ch, 1);
}

bool DispatchInternalMessage(const MSG& msg, LRESULT& result) {
  result = 0;
  if (msg.message == kDestroyRequestMessage) {
    if (IsWindow(msg.hwnd)) DestroyWindow(msg.hwnd);
    return true;
  }
  if (msg.message != kGestureMessage) return false;
  HWND held = msg.hwnd;
  if (!IsWindow(held)) return true;
  // The held control ends whatever the press began; then its parent hears
  // of the gesture, with the point in screen coordinates.
  SendMessageW(held, WM_CANCELMODE, 0, 0);
  NMRGINFO info{};
  info.hdr.hwndFrom = held;
  info.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(held));
  info.hdr.code = GN_CONTEXTMENU;
  info.ptAction = PointFromParam(msg.lParam);
  HWND parent = (GetWindowLongW(held, GWL_STYLE) & WS_CHILD) ? GetParent(held) : nullptr;
  HWND to = parent ? parent : held;
  result = SendMessageW(to, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
  return true;
}

void ForgetInputOf(HWND window) {
  std::lock_guard guard(InputMutex());
  if (gStylus.pressed == window) gStylus.pressed = nullptr;
  if (gStylus.lastWindow == window) gStylus.lastWindow = nullptr;
}

void RequestDestroyAll() {
  std::vector<HWND> tops;
  {
    UiLock lock;
    for (auto& w : ChildrenLocked(nullptr))
      if (!w->owner) tops.push_back(w->handle);
  }
  for (HWND w : tops) PostMessageW(w, kDestroyRequestMessage, 0, 0);
}

}  // namespace kvplatform::ui

using namespace kvplatform::ui;

SHORT GetKeyState(int vk) {
  bool down = false;
  switch (vk) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT: down = gShift; break;
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL: down = gControl; break;
    case VK_MENU: down = gAlt; break;
    case VK_LBUTTON: down = StylusIsDown(); break;
    default: break;
  }
  return down ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetAsyncKeyState(int vk) { return GetKeyState(vk); }

DWORD GetMessagePos() { return gLastPoint; }

LONG GetMessageTime() { return static_cast<LONG>(GetTickCount()); }
