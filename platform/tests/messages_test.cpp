// Thread message queues: posting, ordering, filters, quit, and ending a
// thread from inside a nested wait.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

#include "wait_until.h"

namespace {

struct Ready {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~Ready() { CloseHandle(event); }
};

DWORD CountUntilQuit(LPVOID param) {
  auto* ready = static_cast<Ready*>(param);
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  EventModify(ready->event, EVENT_SET);
  DWORD expected = 0;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    if (msg.wParam != expected) return 0xBAD;
    ++expected;
  }
  return expected;
}

TEST(Queues, TenThousandPostsArriveInOrderAndQuitEndsGetMessage) {
  Ready ready;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, CountUntilQuit, &ready, 0, &id);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(ready.event, 60000), WAIT_OBJECT_0);
  for (WPARAM i = 0; i < 10000; ++i) ASSERT_TRUE(PostThreadMessageW(id, WM_USER + 1, i, 0));
  ASSERT_TRUE(PostThreadMessageW(id, WM_QUIT, 0, 0));
  ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 10000u);
  // The thread has ended: its queue is gone and posts fail.
  EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
  CloseHandle(thread);
}

TEST(Queues, PostToAThreadWithoutAQueueFails) {
  std::atomic<DWORD> id{0};
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread bare([&] {
    id = GetCurrentThreadId();  // no message function called: no queue yet
    WaitForSingleObject(go, 60000);
  });
  ASSERT_TRUE(kvtest::WaitUntil([&] { return id != 0; }));
  EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
  EXPECT_FALSE(PostThreadMessageW(0xFFFFFFF0u, WM_USER, 0, 0));
  EventModify(go, EVENT_SET);
  bare.join();
  CloseHandle(go);
}

TEST(Queues, PeekHonoursFilterAndRemoveFlag) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  DWORD self = GetCurrentThreadId();
  PostThreadMessageW(self, WM_USER + 1, 1, 0);
  PostThreadMessageW(self, WM_USER + 2, 2, 0);
  PostThreadMessageW(self, WM_USER + 3, 3, 0);

  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 2, WM_USER + 3, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

  PostQuitMessage(7);
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageW(nullptr, nullptr, 0, 0, PM_REMOVE));
}

struct NestedExit {
  Ready ready;
  std::atomic<bool> ranAfterExit{false};
  std::atomic<bool> unwound{false};
};

struct UnwindWitness {
  NestedExit* state;
  ~UnwindWitness() { state->unwound = true; }
};

void WaitAndMaybeExit(NestedExit* state, int depth) {
  UnwindWitness witness{state};
  HANDLE never = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (depth == 0) {
    MSG first;
    PeekMessageW(&first, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before anyone posts
    EventModify(state->ready.event, EVENT_SET);
  }
  bool leave = false;
  while (!leave) {
    MsgWaitForMultipleObjectsEx(1, &never, 5000, QS_POSTMESSAGE, 0);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_USER + 1 && depth < 3) WaitAndMaybeExit(state, depth + 1);  // nest deeper
      if (msg.message == WM_USER + 2) ExitThread(42);
      if (msg.message == WM_USER + 3) leave = true;
      state->ranAfterExit = true;
    }
  }
  CloseHandle(never);
}

DWORD NestedWaiter(LPVOID param) {
  WaitAndMaybeExit(static_cast<NestedExit*>(param), 0);
  static_cast<NestedExit*>(param)->ranAfterExit = true;
  return 0;
}

TEST(Threads, ExitThreadFromANestedWaitEndsTheThreadAtOnce) {
  NestedExit state;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, NestedWaiter, &state, 0, &id);
  ASSERT_EQ(WaitForSingleObject(state.ready.event, 60000), WAIT_OBJECT_0);
  ASSERT_TRUE(PostThreadMessageW(id, WM_USER + 1, 0, 0));
  ASSERT_TRUE(PostThreadMessageW(id, WM_USER + 1, 0, 0));
  ASSERT_TRUE(PostThreadMessageW(id, WM_USER + 2, 0, 0));
  ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(state.unwound);  // destructors on the way out ran
  EXPECT_FALSE(state.ranAfterExit);
  EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
  CloseHandle(thread);
}

}  // namespace
