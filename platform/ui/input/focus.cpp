#include "ui/input/focus.h"

#include <algorithm>
#include <windows.h>

#include "ui/windows/instance_registry.h"
#include "ui/screen/taskbar.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

HWND gActive = nullptr;
HWND gFocus = nullptr;
HWND gCapture = nullptr;

void RaiseLocked(const WindowPtr& top) {
  BringToTopLocked(top);
  InvalidateLocked(*top, nullptr, true, true);
  for (auto& w : ChildrenLocked(nullptr))
    if (w->owner == top->handle) InvalidateLocked(*w, nullptr, true, true);
}

// The window to activate when the active one goes: its owner, else the
// topmost shown top-level window.
HWND NextActiveLocked(const WindowPtr& going) {
  if (auto owner = Lookup(going->owner); owner && IsShownLocked(*owner)) return owner->handle;
  auto tops = ChildrenLocked(nullptr);
  for (auto it = tops.rbegin(); it != tops.rend(); ++it)
    if (*it != going && IsShownLocked(**it) && !(*it)->destroying) return (*it)->handle;
  return nullptr;
}

}  // namespace

void DropFocusLocked(HWND window) {
  if (gFocus == window) gFocus = nullptr;
  if (gCapture == window) gCapture = nullptr;
  if (gActive == window) gActive = nullptr;
}

HWND ActiveWindowLocked() { return gActive; }
HWND FocusWindowLocked() { return gFocus; }
HWND CaptureWindowLocked() { return gCapture; }

void ActivateWindow(HWND topLevel, WORD how) {
  HWND old;
  {
    UiLock lock;
    auto top = Lookup(topLevel);
    if (!top || top->destroying) return;
    top = TopLevelOfLocked(top);
    topLevel = top->handle;
    old = gActive;
    gActive = topLevel;
    RaiseLocked(top);
    RedrawTaskbarLocked();
  }
  if (old == topLevel) return;
  if (old && IsWindow(old)) SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(topLevel));
  SendMessageW(topLevel, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(old));
}

void ForgetFocusOf(HWND window) {
  HWND next = nullptr;
  {
    UiLock lock;
    auto going = Lookup(window);
    if (gFocus == window || (gFocus && IsDescendantLocked(window, gFocus))) gFocus = nullptr;
    if (gCapture == window || (gCapture && IsDescendantLocked(window, gCapture))) gCapture = nullptr;
    if (gActive == window) {
      gActive = nullptr;
      if (going) next = NextActiveLocked(going);
      RedrawTaskbarLocked();
    }
    if (TaskbarDoneTarget() == window) SetTaskbarDoneButton(nullptr);
  }
  if (next) ActivateWindow(next, WA_ACTIVE);
}

}  // namespace kvplatform::ui

using namespace kvplatform;
using namespace kvplatform::ui;

BOOL SetForegroundWindow(HWND handle) {
  // The device's convention: the lowest bit asks for the owned pop-ups too,
  // which come forward with their owner anyway.
  handle = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(handle) & ~uintptr_t{3});
  if (IsWindowOfOtherProcess(handle)) return BringOtherProcessForward(handle);
  if (!IsWindow(handle)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  ActivateWindow(handle, WA_ACTIVE);
  return TRUE;
}

HWND GetForegroundWindow() {
  UiLock lock;
  return gActive;
}

HWND GetActiveWindow() {
  UiLock lock;
  return gActive;
}

HWND SetActiveWindow(HWND window) {
  HWND old = GetActiveWindow();
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  ActivateWindow(window, WA_ACTIVE);
  return old;
}

HWND SetFocus(HWND window) {
  HWND old;
  HWND top = nullptr;
  {
    UiLock lock;
    auto record = Lookup(window);
    if (window && (!record || record->destroying)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if (record) {
      auto topRecord = TopLevelOfLocked(record);
      if (topRecord && topRecord->handle != gActive) top = topRecord->handle;
    }
  }
  if (top) ActivateWindow(top, WA_ACTIVE);
  {
    UiLock lock;
    old = gFocus;
    if (old == window) return old;
    gFocus = window;
  }
  if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window && IsWindow(window)) SendMessageW(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() {
  UiLock lock;
  return gFocus;
}

HWND SetCapture(HWND window) {
  HWND old;
  {
    UiLock lock;
    if (!Lookup(window)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    old = gCapture;
    gCapture = window;
  }
  if (old && old != window && IsWindow(old))
    SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  return old;
}

BOOL ReleaseCapture() {
  HWND old;
  {
    UiLock lock;
    old = gCapture;
    gCapture = nullptr;
  }
  if (old && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() {
  UiLock lock;
  return gCapture;
}
