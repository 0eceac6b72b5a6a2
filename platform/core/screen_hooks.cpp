#include "screen_hooks.h"

#include <algorithm>
#include <atomic>

#include "window_manager.h"

namespace kvplatform {
namespace {

ScreenHooks& NoScreen() {
  static auto* none = new ScreenHooks;
  return *none;
}

// Constant-initialised, so registration from another library's static
// initialiser finds it ready whatever the order.
constinit std::atomic<ScreenHooks*> gRegistered{nullptr};

}  // namespace

RECT ScreenHooks::InitialWindowRect(DWORD, int x, int y, int width, int height) {
  // No desktop: a default position or size is nothing.
  auto value = [](int v) { return v == CW_USEDEFAULT ? 0 : v; };
  x = value(x);
  y = value(y);
  return RECT{x, y, x + std::max(0, value(width)), y + std::max(0, value(height))};
}

void ScreenHooks::OnWindowCreated(HWND window, bool visible) {
  auto record = FindWindowRecord(window);
  if (!record || !visible) return;
  std::lock_guard guard(WindowLock());
  record->style |= WS_VISIBLE;
}

void RegisterScreenHooks(ScreenHooks& hooks) { gRegistered.store(&hooks, std::memory_order_release); }

ScreenHooks& Screen() {
  ScreenHooks* hooks = gRegistered.load(std::memory_order_acquire);
  return hooks ? *hooks : NoScreen();
}

}  // namespace kvplatform
