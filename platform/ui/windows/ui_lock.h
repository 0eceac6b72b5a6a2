// The screen's lock: the window lock of the core, held for the window tree,
// geometry, invalid parts, GDI objects and the frame buffer alike.
//
// Lock order: the wait core's mutex before this one, never the other way
// round. So a thread that must wake another (its window was invalidated)
// records the wake and delivers it when it lets go of the outermost lock.
#pragma once

#include <wintypes.h>

namespace kvplatform::ui {

class UiLock {
 public:
  UiLock();
  ~UiLock();
  UiLock(const UiLock&) = delete;
  UiLock& operator=(const UiLock&) = delete;
};

// Wakes the thread once the calling thread holds no UiLock.
void RequestWake(DWORD threadId);

// Marks the calling thread as holding the wait core's mutex, so that wakes
// are delivered at once instead of deferred (scope guard).
class WaitMutexHeld {
 public:
  WaitMutexHeld();
  ~WaitMutexHeld();
};

}  // namespace kvplatform::ui
