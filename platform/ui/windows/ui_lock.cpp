#include "ui/windows/ui_lock.h"

#include <vector>

#include "core/wait_core.h"
#include "core/window_manager.h"

namespace kvplatform::ui {
namespace {

thread_local int tDepth = 0;
thread_local bool tHoldsWaitMutex = false;
thread_local std::vector<DWORD> tPendingWakes;

void WakeLocked(DWORD threadId) {
  if (ThreadState* thread = FindThread(threadId)) WakeThread(*thread);
}

void Flush() {
  if (tPendingWakes.empty()) return;
  std::vector<DWORD> wakes;
  wakes.swap(tPendingWakes);
  std::lock_guard guard(WaitMutex());
  for (DWORD id : wakes) WakeLocked(id);
}

}  // namespace

UiLock::UiLock() {
  WindowLock().lock();
  ++tDepth;
}

UiLock::~UiLock() {
  --tDepth;
  WindowLock().unlock();
  if (tDepth == 0 && !tHoldsWaitMutex) Flush();
}

void RequestWake(DWORD threadId) {
  if (threadId == 0) return;
  if (tHoldsWaitMutex) {
    WakeLocked(threadId);
    return;
  }
  for (DWORD id : tPendingWakes)
    if (id == threadId) return;
  tPendingWakes.push_back(threadId);
  if (tDepth == 0) Flush();
}

WaitMutexHeld::WaitMutexHeld() { tHoldsWaitMutex = true; }
WaitMutexHeld::~WaitMutexHeld() { tHoldsWaitMutex = false; }

}  // namespace kvplatform::ui
