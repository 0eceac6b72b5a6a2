#include "ui/windows/message_source.h"

#include <windows.h>

#include "ui/screen/screen.h"
#include "ui/input/timers.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

bool InRange(UINT message, UINT min, UINT max) { return (min == 0 && max == 0) || (message >= min && message <= max); }

HWND PaintableWindow(DWORD threadId, HWND filter) {
  if (WindowsWithUpdateCount() == 0) return nullptr;
  WaitMutexHeld held;
  UiLock lock;
  for (auto& w : AllWindows()) {
    if (w->ownerThread != threadId || RectEmpty(w->update) || w->destroying) continue;
    if (filter && w->handle != filter) continue;
    if (IsShownLocked(*w)) return w->handle;
  }
  return nullptr;
}

}  // namespace

bool MakeScreenMessage(DWORD threadId, HWND filter, UINT min, UINT max, bool remove, MSG* msg) {
  if (InRange(WM_PAINT, min, max)) {
    if (HWND window = PaintableWindow(threadId, filter)) {
      *msg = MSG{};
      msg->hwnd = window;
      msg->message = WM_PAINT;
      msg->time = GetTickCount();
      return true;
    }
  }
  if (InRange(WM_TIMER, min, max)) return TakeTimerMessage(threadId, filter, remove, msg);
  return false;
}

bool HasScreenMessage(DWORD threadId, DWORD wakeMask) {
  MSG msg;
  if ((wakeMask & QS_PAINT) && PaintableWindow(threadId, nullptr)) return true;
  return (wakeMask & QS_TIMER) && TakeTimerMessage(threadId, nullptr, false, &msg);
}

DWORD BeforeBlock(DWORD threadId) {
  DWORD wait = NextTimerDelay(threadId);
  if (ScreenStarted() && DisplayThreadId() == threadId) wait = std::min(wait, ServiceDisplay());
  return wait;
}

void AfterPaintDispatched(HWND window) {
  UiLock lock;
  if (auto w = Lookup(window)) ValidateLocked(*w);
}

}  // namespace kvplatform::ui
