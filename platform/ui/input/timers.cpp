#include "ui/input/timers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

#include <windows.h>

#include "ui/windows/ui_lock.h"

namespace kvplatform::ui {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  HWND window;
  UINT_PTR id;
  DWORD threadId;
  UINT interval;
  TIMERPROC callback;
  Clock::time_point due;
};

struct Timers {
  std::mutex lock;
  std::vector<Timer> list;
  UINT_PTR nextThreadTimerId = 1;
};

Timers& TheTimers() {
  static auto* timers = new Timers;
  return *timers;
}

std::atomic<int> gTimerCount{0};

}  // namespace

bool TakeTimerMessage(DWORD threadId, HWND filter, bool remove, MSG* msg) {
  if (gTimerCount == 0) return false;
  Timers& t = TheTimers();
  std::lock_guard guard(t.lock);
  auto now = Clock::now();
  for (Timer& timer : t.list) {
    if (timer.threadId != threadId || timer.due > now) continue;
    if (filter && timer.window != filter) continue;
    *msg = MSG{};
    msg->hwnd = timer.window;
    msg->message = WM_TIMER;
    msg->wParam = timer.id;
    msg->lParam = reinterpret_cast<LPARAM>(timer.callback);
    msg->time = GetTickCount();
    if (remove) timer.due = now + std::chrono::milliseconds(timer.interval);
    return true;
  }
  return false;
}

DWORD NextTimerDelay(DWORD threadId) {
  if (gTimerCount == 0) return INFINITE;
  Timers& t = TheTimers();
  std::lock_guard guard(t.lock);
  auto now = Clock::now();
  DWORD best = INFINITE;
  for (const Timer& timer : t.list) {
    if (timer.threadId != threadId) continue;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(timer.due - now).count();
    best = std::min<DWORD>(best, left <= 0 ? 0 : static_cast<DWORD>(left));
  }
  return best;
}

void KillTimersOf(HWND window) {
  Timers& t = TheTimers();
  std::lock_guard guard(t.lock);
  gTimerCount -= static_cast<int>(std::erase_if(t.list, [&](const Timer& x) { return x.window == window; }));
}

}  // namespace kvplatform::ui

using namespace kvplatform;
using namespace kvplatform::ui;

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC callback) {
  if (window && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  DWORD owner = window ? GetWindowThreadProcessId(window, nullptr) : GetCurrentThreadId();
  Timers& t = TheTimers();
  UINT_PTR result;
  {
    std::lock_guard guard(t.lock);
    if (!window) id = t.nextThreadTimerId++;
    auto due = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 10u));
    auto existing = std::find_if(t.list.begin(), t.list.end(),
                                 [&](const Timer& x) { return x.window == window && x.id == id && window; });
    if (existing != t.list.end()) {
      existing->interval = std::max(milliseconds, 10u);
      existing->callback = callback;
      existing->due = due;
    } else {
      t.list.push_back(Timer{window, id, owner, std::max(milliseconds, 10u), callback, due});
      ++gTimerCount;
    }
    result = window ? (id ? id : 1) : id;
  }
  // The owner may be waiting without a deadline: let it look again.
  RequestWake(owner);
  return result;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  Timers& t = TheTimers();
  std::lock_guard guard(t.lock);
  size_t removed = std::erase_if(t.list, [&](const Timer& x) { return x.window == window && x.id == id; });
  gTimerCount -= static_cast<int>(removed);
  return removed ? TRUE : FALSE;
}
