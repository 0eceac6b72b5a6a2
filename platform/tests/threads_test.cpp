// Threads, events and waits with real threads.
#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

#include "wait_until.h"

namespace {

HANDLE NewEvent(bool manual, bool initial) { return CreateEventW(nullptr, manual, initial, nullptr); }

DWORD WaitOnEvent(LPVOID event) { return WaitForSingleObject(static_cast<HANDLE>(event), INFINITE); }

// Three threads blocked on one event, each counting its wake-up.
struct Waiters {
  explicit Waiters(HANDLE event) {
    for (int i = 0; i < 3; ++i)
      threads[i] = std::thread([this, event, i] {
        ids[i] = kvtest::KernelThreadId();
        if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) ++woken;
      });
  }
  ~Waiters() {
    for (auto& t : threads) t.join();
  }
  bool AllBlocked() const {
    return kvtest::WaitUntil([this] { return ids[0] && ids[1] && ids[2]; }) &&
           kvtest::WaitUntilBlocked({ids[0], ids[1], ids[2]});
  }
  // Exactly n of the three were woken and the others still wait.
  bool WokenExactly(int n) const {
    return kvtest::WaitUntil([&] { return woken > n || (woken == n && BlockedCount() == 3 - n); }) && woken == n;
  }
  int BlockedCount() const {
    int n = 0;
    for (const auto& id : ids) n += kvtest::ThreadIsBlocked(id);
    return n;
  }
  std::thread threads[3];
  std::atomic<pid_t> ids[3]{};
  std::atomic<int> woken{0};
};

TEST(Events, AutoResetWakesExactlyOneWaiterThenClears) {
  HANDLE event = NewEvent(false, false);
  {
    Waiters waiters(event);
    ASSERT_TRUE(waiters.AllBlocked());
    ASSERT_TRUE(EventModify(event, EVENT_SET));
    // One wakes; the other two go on waiting (a second wake-up would end its thread).
    EXPECT_TRUE(waiters.WokenExactly(1));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // cleared by the one wait
    ASSERT_TRUE(EventModify(event, EVENT_SET));
    EXPECT_TRUE(waiters.WokenExactly(2));
    ASSERT_TRUE(EventModify(event, EVENT_SET));
  }

  HANDLE manual = NewEvent(true, true);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);  // stays set
  ASSERT_TRUE(EventModify(manual, EVENT_RESET));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_FALSE(EventModify(manual, 99));
  CloseHandle(event);
  CloseHandle(manual);
}

TEST(Waits, LowestSignalledIndexWinsAndBadHandlesFail) {
  HANDLE events[3] = {NewEvent(false, false), NewEvent(false, true), NewEvent(false, true)};
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(3, events, 0, QS_ALLINPUT, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(3, events, 0, QS_ALLINPUT, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(3, events, 10, QS_ALLINPUT, 0), WAIT_TIMEOUT);

  HANDLE bad[2] = {events[0], reinterpret_cast<HANDLE>(0x7777770)};
  SetLastError(0);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(2, bad, 0, QS_ALLINPUT, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);

  // A closed handle is a bad handle.
  CloseHandle(events[2]);
  EXPECT_EQ(WaitForSingleObject(events[2], 0), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(events[2]));
  CloseHandle(events[0]);
  CloseHandle(events[1]);
}

TEST(Waits, MessageAwareWaitWakesOnAPostFromAnotherThread) {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread gets its queue
  DWORD self = GetCurrentThreadId();
  HANDLE event = NewEvent(false, false);
  const pid_t waiter = kvtest::KernelThreadId();
  std::thread poster([&] {
    // Post only once the wait has blocked, so that the post is what wakes it.
    if (kvtest::WaitUntilBlocked({waiter})) PostThreadMessageW(self, WM_USER + 5, 1, 2);
  });
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_POSTMESSAGE, 0), WAIT_OBJECT_0 + 1);
  poster.join();
  // The queue still holds the message: the wait keeps answering until it is taken.
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &event, 0, QS_POSTMESSAGE, 0), WAIT_OBJECT_0 + 1);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
  // A mask without posted messages ignores it.
  PostThreadMessageW(self, WM_USER + 6, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &event, 0, QS_KEY, 0), WAIT_TIMEOUT);
  PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
  CloseHandle(event);
}

TEST(Threads, HandleIsSignalledWhenTheThreadEndsAndTlsIsPerThread) {
  HANDLE event = NewEvent(false, false);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitOnEvent, event, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
  EventModify(event, EVENT_SET);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(event);

  DWORD slot = TlsCall(TLS_FUNCALLOC, 0);
  ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
  int mine = 1;
  ASSERT_TRUE(TlsSetValue(slot, &mine));
  void* seenThere = &mine;
  std::thread other([&] {
    seenThere = TlsGetValue(slot);
    int theirs = 2;
    TlsSetValue(slot, &theirs);
  });
  other.join();
  EXPECT_EQ(seenThere, nullptr);
  EXPECT_EQ(TlsGetValue(slot), &mine);
  EXPECT_TRUE(TlsCall(TLS_FUNCFREE, slot));
  EXPECT_EQ(TlsGetValue(slot), nullptr);
  EXPECT_FALSE(TlsSetValue(slot, &mine));
  // Allocated again, the slot reads null, not the value of its last life.
  DWORD again = TlsCall(TLS_FUNCALLOC, 0);
  EXPECT_EQ(TlsGetValue(again), nullptr);
  TlsCall(TLS_FUNCFREE, again);
}

TEST(Threads, TickCountIsMonotonicMilliseconds) {
  // Sleep never returns early, and the tick count counts milliseconds.
  auto start = std::chrono::steady_clock::now();
  DWORD before = GetTickCount();
  Sleep(120);
  DWORD elapsed = GetTickCount() - before;
  auto measured = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(elapsed, 119u);
  EXPECT_LE(elapsed, static_cast<DWORD>(measured.count()) + 1);
}

}  // namespace
