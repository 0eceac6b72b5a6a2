#include "ui/testing.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "core/wait_core.h"
#include "ui/gdi/painter.h"
#include "ui/input/input.h"
#include "ui/menus/popup_menu.h"
#include "ui/windows/message_source.h"
#include "ui/screen/screen.h"
#include "ui/text/font_engine.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::uitest {
namespace {

using namespace kvplatform::ui;

// Simulated times: separate gestures are far apart, so two taps are only a
// double tap when asked for.
DWORD gClock = 0;
DWORD Later(DWORD step) {
  if (gClock == 0) gClock = GetTickCount();
  gClock += step;
  return gClock;
}

void PumpOwn() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // left for the caller's own loop
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool OthersIdle(DWORD self) {
  std::set<DWORD> owners;
  for (auto& w : AllWindows())
    if (w->ownerThread != self) owners.insert(w->ownerThread);
  std::lock_guard guard(WaitMutex());
  for (DWORD id : owners) {
    ThreadState* t = FindThread(id);
    if (!t) continue;
    if (!t->idleInMessageWait || !t->posted.empty() || !t->incomingSends.empty()) return false;
    if (HasScreenMessage(id, QS_PAINT)) return false;
  }
  return true;
}

bool OwnIdle(DWORD self) {
  std::lock_guard guard(WaitMutex());
  ThreadState* t = FindThread(self);
  if (!t) return true;
  for (const MSG& m : t->posted)
    if (m.message != WM_QUIT) return false;
  return t->incomingSends.empty() && !HasScreenMessage(self, QS_PAINT);
}

POINT Pt(int x, int y) { return POINT{x, y}; }

}  // namespace

bool WaitIdle(DWORD timeout) {
  DWORD self = GetCurrentThreadId();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
  int calm = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    PumpOwn();
    // Idle twice in a row: a thread that just woke has had its chance.
    if (OwnIdle(self) && OthersIdle(self)) {
      if (++calm >= 2) return true;
    } else {
      calm = 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

void Press(int x, int y) {
  StylusDown(Pt(x, y), Later(1000));
  WaitIdle();
}

void MoveTo(int x, int y) {
  StylusMove(Pt(x, y), Later(20));
  WaitIdle();
}

void Release(int x, int y) {
  StylusUp(Pt(x, y), Later(20));
  WaitIdle();
}

void Tap(int x, int y) {
  Press(x, y);
  Release(x, y);
}

void DoubleTap(int x, int y) {
  Tap(x, y);
  StylusDown(Pt(x, y), Later(100));
  WaitIdle();
  Release(x, y);
}

void Hold(int x, int y) {
  Press(x, y);
  Later(kHoldMilliseconds);
  StylusHold();
  WaitIdle();
  Release(x, y);
}

void Drag(int fromX, int fromY, int toX, int toY, int steps) {
  Press(fromX, fromY);
  steps = std::max(1, steps);
  for (int i = 1; i <= steps; ++i) MoveTo(fromX + (toX - fromX) * i / steps, fromY + (toY - fromY) * i / steps);
  Release(toX, toY);
}

void TapWindow(HWND window) {
  RECT r;
  if (!GetWindowRect(window, &r)) return;
  Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

bool TapMenuItem(const std::u16string& text) {
  for (auto& w : AllWindows()) {
    RECT row{};
    {
      UiLock lock;
      if (w->destroying || !EqualsIgnoreCase(w->windowClass->name, kPopupMenuClass)) continue;
    }
    if (!PopupMenuRowOf(w->handle, text, &row)) continue;
    Tap((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    return true;
  }
  return false;
}

void KeyDown(UINT vk) {
  ui::KeyDown(vk);
  WaitIdle();
}

void KeyUp(UINT vk) {
  ui::KeyUp(vk);
  WaitIdle();
}

void PressKey(UINT vk) {
  ui::KeyDown(vk);
  switch (vk) {
    case VK_RETURN: Character(u'\r'); break;
    case VK_ESCAPE: Character(0x1B); break;
    case VK_TAB: Character(u'\t'); break;
    case VK_BACK: Character(0x08); break;
    default: break;
  }
  ui::KeyUp(vk);
  WaitIdle();
}

void TypeText(const std::u16string& text) {
  for (char16_t c : text) Character(c);
  WaitIdle();
}

HWND FindByClass(LPCWSTR className, HWND under) {
  if (!className) return nullptr;
  for (auto& w : AllWindows()) {
    UiLock lock;
    if (w->destroying || !EqualsIgnoreCase(w->windowClass->name, className)) continue;
    if (under && !IsDescendantLocked(under, w->handle)) continue;
    return w->handle;
  }
  return nullptr;
}

HWND FindByText(LPCWSTR text, HWND under) {
  if (!text) return nullptr;
  for (auto& w : AllWindows()) {
    UiLock lock;
    if (w->destroying || w->text != text) continue;
    if (under && !IsDescendantLocked(under, w->handle)) continue;
    return w->handle;
  }
  return nullptr;
}

HWND FindById(HWND parent, int id) {
  for (auto& w : AllWindows()) {
    UiLock lock;
    if (!w->destroying && w->parent == parent && static_cast<int>(w->id) == id) return w->handle;
  }
  return nullptr;
}

std::u16string TextOf(HWND window) {
  auto w = Lookup(window);
  if (!w) return {};
  UiLock lock;
  return w->text;
}

WindowState StateOf(HWND window) {
  WindowState s;
  auto w = Lookup(window);
  if (!w) return s;
  s.exists = true;
  s.visible = IsWindowVisible(window);
  s.enabled = IsWindowEnabled(window);
  s.focused = GetFocus() == window;
  s.active = GetActiveWindow() == window;
  GetWindowRect(window, &s.screenRect);
  s.style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  return s;
}

COLORREF ColorAt(int x, int y) {
  if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) return CLR_INVALID;
  UiLock lock;
  return ColorOf(FrameBufferLocked().pixels[y * kScreenWidth + x]);
}

bool SaveScreenshot(const std::string& path) {
  auto frame = CopyFrameBuffer();
  return SavePng(path, frame.data(), kScreenWidth, kScreenHeight);
}

std::u32string TakeBoxesDrawn() { return ui::TakeBoxesDrawn(); }

const char* BackendName() { return ui::BackendName(); }

size_t WindowCount() { return AllWindows().size(); }

}  // namespace kvplatform::uitest
