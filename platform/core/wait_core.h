// The one wait core behind events, thread handles, thread queues and
// cross-thread sends: a single process-wide mutex and one condition variable
// per thread. Whatever a thread may wait for wakes that thread's variable;
// the woken thread re-checks everything under the mutex.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include <winuser.h>

#include "handle_table.h"

namespace kvplatform {

struct ThreadState;

std::mutex& WaitMutex();

// One thread blocked in a wait, as seen by the objects it waits on.
struct WaitRecord {
  ThreadState* thread = nullptr;
  // Set by a pulse, which hands the object to waiters that are there now.
  int grantedIndex = -1;
};

// An object a thread can wait for. All members are used under WaitMutex().
class Waitable : public KernelObject {
 public:
  virtual bool IsSignalled() const = 0;
  // Called when a wait is satisfied by this object (auto-reset clears).
  virtual void Acquire() {}

  void AddWaiter(WaitRecord* record, int index);
  void RemoveWaiter(WaitRecord* record);
  void WakeWaiters();
  // Hands the object to current waiters without leaving it signalled.
  void GrantToWaiters(bool all);

 private:
  struct Entry {
    WaitRecord* record;
    int index;
  };
  std::vector<Entry> waiters_;
};

// A message sent from another thread, waiting for the owner to run it.
struct SentMessage {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LRESULT result = 0;
  bool done = false;
  ThreadState* sender = nullptr;
};

class ThreadObject;

// Per-thread state: the wake-up variable, the message queue, incoming sends.
struct ThreadState {
  DWORD id = 0;
  std::condition_variable wake;
  bool hasQueue = false;
  bool ended = false;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> incomingSends;
  std::vector<std::shared_ptr<SentMessage>> runningSends;
  bool idleInMessageWait = false;  // blocked in a message-aware wait with nothing to do
  std::shared_ptr<ThreadObject> handleObject;  // null for threads we did not create
  DWORD exitCode = 0;
};

// The calling thread's state, made on first use for any thread.
ThreadState& CurrentThread();
// A registered state for a thread about to be created, so its identifier is
// known before it runs; the new thread adopts it as its own.
std::shared_ptr<ThreadState> NewThreadState();
void AdoptThreadState(std::shared_ptr<ThreadState> state);
// Under WaitMutex(): a live thread by identifier, or null.
ThreadState* FindThread(DWORD id);
// Gives the calling thread its queue (the first call to a message function).
void EnsureQueue(ThreadState& thread);
// Under WaitMutex(): marks the thread ended, fails what waits on it.
void EndThreadLocked(ThreadState& thread);

// Runs every send queued for the calling thread. Takes and returns with the
// lock held; releases it while window procedures run.
void RunIncomingSends(ThreadState& self, std::unique_lock<std::mutex>& lock);

// Wakes a thread blocked in any wait (its queue or sends changed).
void WakeThread(ThreadState& thread);

// Does the posted message match the wake mask of a message-aware wait?
bool MatchesWakeMask(UINT message, DWORD mask);

}  // namespace kvplatform
