#include "wait_core.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "thread_object.h"
#include "window_manager.h"

namespace kvplatform {
namespace {

std::atomic<DWORD> gNextThreadId{0x1000};

std::unordered_map<DWORD, ThreadState*>& Threads() {
  static auto* threads = new std::unordered_map<DWORD, ThreadState*>;
  return *threads;
}

// Owns the calling thread's state; ends it when the thread goes away.
struct ThreadStateHolder {
  std::shared_ptr<ThreadState> state;
  ~ThreadStateHolder() {
    if (!state) return;
    std::lock_guard guard(WaitMutex());
    EndThreadLocked(*state);
  }
};

thread_local ThreadStateHolder tHolder;

}  // namespace

std::mutex& WaitMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

void Waitable::AddWaiter(WaitRecord* record, int index) { waiters_.push_back({record, index}); }

void Waitable::RemoveWaiter(WaitRecord* record) {
  std::erase_if(waiters_, [record](const Entry& e) { return e.record == record; });
}

void Waitable::WakeWaiters() {
  for (const Entry& e : waiters_) e.record->thread->wake.notify_one();
}

void Waitable::GrantToWaiters(bool all) {
  for (const Entry& e : waiters_) {
    if (e.record->grantedIndex >= 0) continue;
    e.record->grantedIndex = e.index;
    e.record->thread->wake.notify_one();
    if (!all) return;
  }
}

std::shared_ptr<ThreadState> NewThreadState() {
  auto state = std::make_shared<ThreadState>();
  state->id = gNextThreadId.fetch_add(4);
  std::lock_guard guard(WaitMutex());
  Threads()[state->id] = state.get();
  return state;
}

void AdoptThreadState(std::shared_ptr<ThreadState> state) { tHolder.state = std::move(state); }

ThreadState& CurrentThread() {
  if (!tHolder.state) tHolder.state = NewThreadState();
  return *tHolder.state;
}

ThreadState* FindThread(DWORD id) {
  auto& threads = Threads();
  auto it = threads.find(id);
  return it == threads.end() || it->second->ended ? nullptr : it->second;
}

void EnsureQueue(ThreadState& thread) {
  if (thread.hasQueue) return;
  std::lock_guard guard(WaitMutex());
  thread.hasQueue = true;
}

void EndThreadLocked(ThreadState& thread) {
  if (thread.ended) return;
  thread.ended = true;
  thread.hasQueue = false;
  thread.posted.clear();
  Threads().erase(thread.id);
  // Senders waiting on this thread get 0, as for a window that went away.
  auto release = [](std::shared_ptr<SentMessage>& sent) {
    sent->done = true;
    sent->result = 0;
    sent->sender->wake.notify_one();
  };
  for (auto& sent : thread.incomingSends) release(sent);
  for (auto& sent : thread.runningSends) release(sent);
  thread.incomingSends.clear();
  thread.runningSends.clear();
  if (thread.handleObject) thread.handleObject->MarkEndedLocked(thread.exitCode);
  ForgetWindowsOfThreadLocked(thread.id);
}

void RunIncomingSends(ThreadState& self, std::unique_lock<std::mutex>& lock) {
  while (!self.incomingSends.empty()) {
    auto sent = self.incomingSends.front();
    self.incomingSends.pop_front();
    self.runningSends.push_back(sent);
    lock.unlock();
    LRESULT result = CallWindowProcedure(sent->window, sent->message, sent->wParam, sent->lParam);
    lock.lock();
    std::erase(self.runningSends, sent);
    if (!sent->done) {
      sent->result = result;
      sent->done = true;
      sent->sender->wake.notify_one();
    }
  }
}

void WakeThread(ThreadState& thread) { thread.wake.notify_one(); }

bool MatchesWakeMask(UINT message, DWORD mask) {
  if (message >= WM_KEYFIRST && message <= WM_KEYLAST) return mask & (QS_KEY | QS_POSTMESSAGE);
  if (message == WM_MOUSEMOVE) return mask & (QS_MOUSEMOVE | QS_POSTMESSAGE);
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) return mask & (QS_MOUSEBUTTON | QS_POSTMESSAGE);
  if (message == WM_TIMER) return mask & (QS_TIMER | QS_POSTMESSAGE);
  if (message == WM_PAINT) return mask & (QS_PAINT | QS_POSTMESSAGE);
  return mask & QS_POSTMESSAGE;
}

}  // namespace kvplatform
