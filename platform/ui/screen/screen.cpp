#include "ui/screen/screen.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include <windows.h>

#include "ui/backends/backend.h"
#include "ui/input/input.h"
#include "ui/screen/taskbar.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

struct ScreenState {
  std::vector<uint32_t> frame = std::vector<uint32_t>(kScreenWidth * kScreenHeight, 0);
  std::unique_ptr<ScreenBackend> backend;
  std::atomic<bool> started{false};
  std::atomic<DWORD> displayThread{0};
  bool dirty = false;
  std::atomic<uint64_t> presented{0};
  std::mutex startLock;
};

ScreenState& State() {
  static auto* state = new ScreenState;
  return *state;
}

bool WantSdl() {
  const char* choice = std::getenv("KORVANET_DISPLAY");
  if (choice && *choice) return std::strcmp(choice, "sdl") == 0;
  return (std::getenv("DISPLAY") && *std::getenv("DISPLAY")) ||
         (std::getenv("WAYLAND_DISPLAY") && *std::getenv("WAYLAND_DISPLAY"));
}

}  // namespace

void StartScreen() {
  ScreenState& s = State();
  if (s.started) return;
  {
    // Never takes the UiLock while holding startLock: callers may hold it.
    std::lock_guard guard(s.startLock);
    if (s.started) return;
    if (WantSdl()) {
      s.backend = MakeSdlBackend();
      if (!s.backend) std::fprintf(stderr, "korvanet: no SDL display could be opened; running headless\n");
    }
    if (!s.backend) s.backend = MakeHeadlessBackend();
    s.displayThread = GetCurrentThreadId();
    s.started = true;
  }
  UiLock lock;
  RedrawDesktopLocked(ScreenBounds());
}

bool ScreenStarted() { return State().started; }

bool ScreenInUse() {
  if (!State().started) return false;
  UiLock lock;
  for (auto& w : ChildrenLocked(nullptr))
    if (IsShownLocked(*w)) return true;
  return false;
}
const char* BackendName() { return State().backend ? State().backend->Name() : "none"; }
DWORD DisplayThreadId() { return State().displayThread; }

Surface FrameBufferLocked() { return Surface{State().frame.data(), kScreenWidth, kScreenHeight}; }

void MarkDirtyLocked() { State().dirty = true; }

void RedrawDesktopLocked(const RECT& area) {
  Region desktop(Intersect(area, DesktopRect()));
  for (auto& w : ChildrenLocked(nullptr))
    if (IsShownLocked(*w)) desktop.Subtract(WindowScreenRectLocked(*w));
  Painter(FrameBufferLocked(), desktop).FillRect(ScreenBounds(), GetSysColor(COLOR_BACKGROUND));
  MarkDirtyLocked();
  if (!RectEmpty(Intersect(area, RECT{0, 0, kScreenWidth, kTaskbarHeight}))) RedrawTaskbarLocked();
}

std::vector<uint32_t> CopyFrameBuffer() {
  UiLock lock;
  return State().frame;
}

void PresentIfDirty() {
  ScreenState& s = State();
  std::vector<uint32_t> frame;
  {
    UiLock lock;
    if (!s.dirty || !s.backend) return;
    s.dirty = false;
    frame = s.frame;
  }
  s.backend->Present(frame.data(), kScreenWidth, kScreenHeight);
  ++s.presented;
}

uint64_t PresentedFrames() { return State().presented; }

DWORD ServiceDisplay() {
  ScreenState& s = State();
  if (!s.started || s.displayThread != GetCurrentThreadId()) return INFINITE;
  DWORD wait = s.backend->Pump();
  wait = std::min(wait, TaskbarTick());
  PresentIfDirty();
  return wait;
}

}  // namespace kvplatform::ui

// A program busy for seconds on the display thread (its message loop
// presents only when it waits) shows what it drew at once.
BOOL GdiFlush() {
  using namespace kvplatform::ui;
  if (ScreenStarted() && DisplayThreadId() == GetCurrentThreadId()) PresentIfDirty();
  return TRUE;
}
