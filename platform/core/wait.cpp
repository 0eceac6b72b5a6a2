// WaitForSingleObject and the message-aware MsgWaitForMultipleObjectsEx.
#include <chrono>
#include <optional>

#include <windows.h>

#include "screen_hooks.h"
#include "wait_core.h"

namespace kvplatform {
namespace {

using Clock = std::chrono::steady_clock;

bool QueueHasInput(const ThreadState& self, DWORD wakeMask) {
  for (const MSG& msg : self.posted)
    if (MatchesWakeMask(msg.message, wakeMask)) return true;
  return Screen().HasMessage(self.id, wakeMask);
}

// Waits until one object is signalled (lowest index wins), or, for a
// message-aware wait, the queue holds input. Sends to the calling thread are
// run while a message-aware wait blocks.
DWORD WaitFor(const std::vector<std::shared_ptr<Waitable>>& objects, DWORD milliseconds, bool messageAware,
              DWORD wakeMask) {
  ThreadState& self = CurrentThread();
  if (messageAware) EnsureQueue(self);
  std::optional<Clock::time_point> deadline;
  if (milliseconds != INFINITE) deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  const DWORD count = static_cast<DWORD>(objects.size());

  std::unique_lock lock(WaitMutex());
  WaitRecord record;
  record.thread = &self;
  for (;;) {
    DWORD screenLimit = INFINITE;
    if (messageAware) {
      // The screen serves the display and may need the thread back sooner.
      lock.unlock();
      screenLimit = Screen().BeforeBlock(self.id);
      lock.lock();
    }
    if (messageAware && !self.incomingSends.empty()) {
      RunIncomingSends(self, lock);
      continue;
    }
    for (DWORD i = 0; i < count; ++i) {
      if (objects[i]->IsSignalled()) {
        objects[i]->Acquire();
        return WAIT_OBJECT_0 + i;
      }
    }
    if (messageAware && QueueHasInput(self, wakeMask)) return WAIT_OBJECT_0 + count;
    if (deadline && Clock::now() >= *deadline) return WAIT_TIMEOUT;

    std::optional<Clock::time_point> until = deadline;
    if (screenLimit != INFINITE) {
      auto soon = Clock::now() + std::chrono::milliseconds(screenLimit);
      if (!until || soon < *until) until = soon;
    }
    record.grantedIndex = -1;
    for (DWORD i = 0; i < count; ++i) objects[i]->AddWaiter(&record, static_cast<int>(i));
    self.idleInMessageWait = messageAware;
    if (until)
      self.wake.wait_until(lock, *until);
    else
      self.wake.wait(lock);
    self.idleInMessageWait = false;
    for (DWORD i = 0; i < count; ++i) objects[i]->RemoveWaiter(&record);
    if (record.grantedIndex >= 0) return WAIT_OBJECT_0 + static_cast<DWORD>(record.grantedIndex);
  }
}

bool CollectWaitables(DWORD count, const HANDLE* handles, std::vector<std::shared_ptr<Waitable>>& objects) {
  objects.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    auto object = LookupAs<Waitable>(handles[i]);
    if (!object) return false;
    objects.push_back(std::move(object));
  }
  return true;
}

}  // namespace
}  // namespace kvplatform

using namespace kvplatform;

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  std::vector<std::shared_ptr<Waitable>> objects;
  if (!CollectWaitables(1, &object, objects)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return WaitFor(objects, milliseconds, false, 0);
}

DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds, DWORD wakeMask,
                                  DWORD flags) {
  if (count > MAXIMUM_WAIT_OBJECTS - 1 || (count > 0 && handles == nullptr) || (flags & MWMO_WAITALL)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Waitable>> objects;
  if (!CollectWaitables(count, handles, objects)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return WaitFor(objects, milliseconds, true, wakeMask);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask) {
  return MsgWaitForMultipleObjectsEx(count, handles, milliseconds, wakeMask, waitAll ? MWMO_WAITALL : 0);
}
