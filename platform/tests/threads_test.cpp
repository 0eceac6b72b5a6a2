// Threads, events and waits with real threads.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

HANDLE NewEvent(bool manual, bool initial) { return CreateEventW(nullptr, manual, initial, nullptr); }

DWORD WaitOnEvent(LPVOID event) { return WaitForSingleObject(static_cast<HANDLE>(event), 5000); }

TEST(Events, AutoResetWakesExactlyOneWaiterThenClears) {
  HANDLE event = NewEvent(false, false);
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (WaitForSingleObject(event, 400) == WAIT_OBJECT_0) ++woken;
  };
  std::thread a(waiter), b(waiter), c(waiter);
  Sleep(50);
  ASSERT_TRUE(EventModify(event, EVENT_SET));
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(woken.load(), 1);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // cleared by the one wait

  HANDLE manual = NewEvent(true, true);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);  // stays set
  ASSERT_TRUE(EventModify(manual, EVENT_RESET));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_FALSE(EventModify(manual, 99));
  CloseHandle(event);
  CloseHandle(manual);
}

TEST(Events, PulseReleasesWaitersAndLeavesTheEventClear) {
  HANDLE event = NewEvent(true, false);
  std::atomic<int> woken{0};
  std::thread a([&] { woken += WaitForSingleObject(event, 2000) == WAIT_OBJECT_0; });
  std::thread b([&] { woken += WaitForSingleObject(event, 2000) == WAIT_OBJECT_0; });
  Sleep(100);
  EventModify(event, EVENT_PULSE);
  a.join();
  b.join();
  EXPECT_EQ(woken.load(), 2);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
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

TEST(Waits, SixtyThreeHandlesIsTheLimit) {
  std::vector<HANDLE> events;
  for (int i = 0; i < 64; ++i) events.push_back(NewEvent(false, false));
  EventModify(events[62], EVENT_SET);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(63, events.data(), 0, QS_ALLINPUT, 0), WAIT_OBJECT_0 + 62);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(64, events.data(), 0, QS_ALLINPUT, 0), WAIT_FAILED);
  for (HANDLE e : events) CloseHandle(e);
}

TEST(Waits, MessageAwareWaitWakesOnAPostFromAnotherThread) {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread gets its queue
  DWORD self = GetCurrentThreadId();
  HANDLE event = NewEvent(false, false);
  std::thread poster([&] {
    Sleep(50);
    PostThreadMessageW(self, WM_USER + 5, 1, 2);
  });
  DWORD start = GetTickCount();
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &event, 5000, QS_POSTMESSAGE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_LT(GetTickCount() - start, 4000u);
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

TEST(Threads, HandleIsSignalledWithTheExitCodeAndTlsIsPerThread) {
  HANDLE event = NewEvent(false, false);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitOnEvent, event, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
  EventModify(event, EVENT_SET);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, WAIT_OBJECT_0);
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
  DWORD before = GetTickCount();
  Sleep(120);
  DWORD elapsed = GetTickCount() - before;
  EXPECT_GE(elapsed, 110u);
  EXPECT_LT(elapsed, 5000u);
}

}  // namespace
