// Thread message queues, posting, retrieving and dispatching, and SendMessageW
// within and across threads.
#include <algorithm>
#include <chrono>

#include <windows.h>

#include "screen_hooks.h"
#include "wait_core.h"
#include "window_manager.h"

namespace kvplatform {
namespace {

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return message >= filterMin && message <= filterMax;
}

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  if (window != nullptr && msg.hwnd != window && msg.message != WM_QUIT) return false;
  return InRange(msg.message, filterMin, filterMax);
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = GetTickCount();
  return msg;
}

BOOL PostToThread(DWORD threadId, const MSG& msg) {
  std::lock_guard guard(WaitMutex());
  ThreadState* target = FindThread(threadId);
  if (target == nullptr || !target->hasQueue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  target->posted.push_back(msg);
  WakeThread(*target);
  return TRUE;
}

// Looks for a matching message; runs pending sends first. Lock held.
bool TakeMessage(ThreadState& self, std::unique_lock<std::mutex>& lock, LPMSG msg, HWND window, UINT filterMin,
                 UINT filterMax, bool remove) {
  RunIncomingSends(self, lock);
  auto it = std::find_if(self.posted.begin(), self.posted.end(),
                         [&](const MSG& m) { return Matches(m, window, filterMin, filterMax); });
  if (it == self.posted.end())
    return Screen().MakeMessage(self.id, window, filterMin, filterMax, remove, msg);
  *msg = *it;
  if (remove) self.posted.erase(it);
  return true;
}

}  // namespace
}  // namespace kvplatform

using namespace kvplatform;

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  return PostToThread(threadId, MakeMessage(nullptr, message, wParam, lParam));
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == nullptr) return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
  auto record = FindWindowRecord(window);
  if (!record) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return PostToThread(record->ownerThread, MakeMessage(window, message, wParam, lParam));
}

void PostQuitMessage(int exitCode) {
  ThreadState& self = CurrentThread();
  EnsureQueue(self);
  PostToThread(self.id, MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0));
}

BOOL PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ThreadState& self = CurrentThread();
  EnsureQueue(self);
  Screen().BeforeBlock(self.id);  // the display's input arrives in peek loops too
  std::unique_lock lock(WaitMutex());
  return TakeMessage(self, lock, msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (msg == nullptr || (window != nullptr && !IsWindow(window))) {
    SetLastError(msg == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  ThreadState& self = CurrentThread();
  EnsureQueue(self);
  std::unique_lock lock(WaitMutex());
  while (!TakeMessage(self, lock, msg, window, filterMin, filterMax, true)) {
    // Nothing to do: let the screen serve the display and say how long we may sleep.
    lock.unlock();
    DWORD limit = Screen().BeforeBlock(self.id);
    lock.lock();
    if (TakeMessage(self, lock, msg, window, filterMin, filterMax, true)) break;
    self.idleInMessageWait = true;
    if (limit == INFINITE)
      self.wake.wait(lock);
    else
      self.wake.wait_for(lock, std::chrono::milliseconds(limit));
    self.idleInMessageWait = false;
  }
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
  // Key input and its translation into characters belong to the screen layer,
  // which posts WM_CHAR itself; a posted key message has nothing to add.
  (void)msg;
  return FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return 0;
  LRESULT internal;
  if (Screen().DispatchInternalMessage(*msg, internal)) return internal;
  if (msg->message == WM_PAINT) {
    LRESULT result = CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    Screen().AfterPaintDispatched(msg->hwnd);
    return result;
  }
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    // A timer with a callback calls it instead of the window procedure.
    using TimerProc = void (*)(HWND, UINT, UINT_PTR, DWORD);
    reinterpret_cast<TimerProc>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  return CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

DWORD GetQueueStatus(UINT flags) {
  ThreadState& self = CurrentThread();
  std::lock_guard guard(WaitMutex());
  DWORD status = 0;
  for (const MSG& m : self.posted)
    if (MatchesWakeMask(m.message, QS_POSTMESSAGE)) status |= QS_POSTMESSAGE;
  if (!self.incomingSends.empty()) status |= QS_SENDMESSAGE;
  return (status & flags) | ((status & flags) << 16);
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto record = FindWindowRecord(window);
  if (!record) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  ThreadState& self = CurrentThread();
  if (record->ownerThread == self.id) return CallWindowProcedure(window, message, wParam, lParam);

  // Another thread's window: queue the call for its owner and wait for the
  // result, running sends that arrive for this thread meanwhile, so two
  // threads sending to each other do not deadlock.
  auto sent = std::make_shared<SentMessage>();
  sent->window = window;
  sent->message = message;
  sent->wParam = wParam;
  sent->lParam = lParam;
  sent->sender = &self;
  std::unique_lock lock(WaitMutex());
  ThreadState* owner = FindThread(record->ownerThread);
  if (owner == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  owner->incomingSends.push_back(sent);
  WakeThread(*owner);
  while (!sent->done) {
    if (!self.incomingSends.empty()) {
      RunIncomingSends(self, lock);
      continue;
    }
    self.wake.wait(lock);
  }
  return sent->result;
}

BOOL InSendMessage() {
  ThreadState& self = CurrentThread();
  std::lock_guard guard(WaitMutex());
  return self.runningSends.empty() ? FALSE : TRUE;
}
