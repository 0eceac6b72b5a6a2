// Windows as message targets: creation messages, long values, and
// SendMessageW within and across threads.
#include <atomic>
#include <cstdlib>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <kvplatform.h>
#include <windows.h>

namespace {

std::atomic<DWORD> gLastHandlerThread{0};
std::vector<UINT> gSeen;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  gLastHandlerThread = GetCurrentThreadId();
  if (msg == WM_NCCREATE || msg == WM_CREATE || msg == WM_DESTROY || msg == WM_NCDESTROY) gSeen.push_back(msg);
  if (msg == WM_USER + 1) return static_cast<LRESULT>(wParam * 2 + lParam);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterOnce(LPCWSTR name, WNDPROC proc, int extra = 0) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  wc.cbWndExtra = extra;
  RegisterClassW(&wc);
}

TEST(Windows, CreationMessagesLongValuesTextAndDestruction) {
  RegisterOnce(u"KvTestWindow", RecordingProc, 16);
  gSeen.clear();
  HWND hwnd = CreateWindowExW(0, u"kvtestwindow", u"Korvanet Test", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                              nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_LE(reinterpret_cast<uintptr_t>(hwnd), 0xFFFFFFFFu);  // fits the 32-bit fields that log it
  EXPECT_EQ(gSeen, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_EQ(FindWindowW(u"KvTestWindow", u"Korvanet Test"), hwnd);
  EXPECT_EQ(FindWindowW(nullptr, u"Korvanet Test"), hwnd);
  EXPECT_EQ(FindWindowW(u"KvTestWindow", u"Other"), nullptr);

  WCHAR title[64];
  EXPECT_EQ(GetWindowTextW(hwnd, title, 64), 13);
  EXPECT_EQ(std::u16string(title), u"Korvanet Test");
  EXPECT_EQ(GetWindowTextW(hwnd, title, 5), 4);  // cut to fit, terminated
  EXPECT_EQ(std::u16string(title), u"Korv");

  SetWindowLongPtrW(hwnd, 8, reinterpret_cast<LONG_PTR>(&gSeen));
  EXPECT_EQ(GetWindowLongPtrW(hwnd, 8), reinterpret_cast<LONG_PTR>(&gSeen));
  EXPECT_EQ(GetWindowLongW(hwnd, 64), 0);  // beyond the extra bytes

  EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 20, 2), 42);

  gSeen.clear();
  EXPECT_TRUE(DestroyWindow(hwnd));
  EXPECT_EQ(gSeen, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 1, 1), 0);
  EXPECT_FALSE(DestroyWindow(hwnd));
  EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
}

// A thread that owns one window and pumps messages until WM_QUIT.
struct OwnerThread {
  HWND window = nullptr;
  DWORD id = 0;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = nullptr;
  HWND peer = nullptr;  // a window this thread sends to from its procedure

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER + 1) return static_cast<LRESULT>(GetCurrentThreadId());
    if (msg == WM_USER + 2) {
      // Sends back to the other thread while that thread waits on us.
      auto* self = reinterpret_cast<OwnerThread*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
      return 1000 + SendMessageW(self->peer, WM_USER + 3, wParam, 0);
    }
    if (msg == WM_USER + 3) return static_cast<LRESULT>(wParam + 1);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }

  static DWORD Main(LPVOID param) {
    auto* self = static_cast<OwnerThread*>(param);
    self->window = CreateWindowExW(0, u"KvOwnerWindow", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(self->window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(self));
    EventModify(self->ready, EVENT_SET);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
    DestroyWindow(self->window);
    return 0;
  }

  void Start() {
    thread = CreateThread(nullptr, 0, Main, this, 0, &id);
    WaitForSingleObject(ready, 60000);
  }
  void Stop() {
    PostThreadMessageW(id, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    CloseHandle(ready);
  }
};

TEST(Windows, CrossThreadSendRunsOnTheOwnerAndReturnsItsResult) {
  RegisterOnce(u"KvOwnerWindow", OwnerThread::Proc);
  OwnerThread owner;
  owner.Start();
  ASSERT_TRUE(IsWindow(owner.window));
  LRESULT ranOn = SendMessageW(owner.window, WM_USER + 1, 0, 0);
  EXPECT_EQ(static_cast<DWORD>(ranOn), owner.id);
  EXPECT_NE(static_cast<DWORD>(ranOn), GetCurrentThreadId());
  // Many sends from several threads at once all come back.
  std::vector<std::thread> senders;
  std::atomic<int> right{0};
  for (int t = 0; t < 4; ++t)
    senders.emplace_back([&] {
      for (int i = 0; i < 200; ++i) right += SendMessageW(owner.window, WM_USER + 3, i, 0) == i + 1;
    });
  for (auto& s : senders) s.join();
  EXPECT_EQ(right.load(), 800);
  owner.Stop();
  // The owner has ended: its window is gone and a send returns 0 at once.
  EXPECT_EQ(SendMessageW(owner.window, WM_USER + 1, 0, 0), 0);
}

TEST(Windows, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  RegisterOnce(u"KvOwnerWindow", OwnerThread::Proc);
  OwnerThread a, b;
  a.Start();
  b.Start();
  a.peer = b.window;
  b.peer = a.window;
  std::atomic<LRESULT> fromA{0}, fromB{0};
  // Each send makes the receiver send back to the other thread, which is
  // itself blocked in a send: both must be served inside the waits.
  std::thread x([&] { fromA = SendMessageW(a.window, WM_USER + 2, 5, 0); });
  std::thread y([&] { fromB = SendMessageW(b.window, WM_USER + 2, 7, 0); });
  x.join();
  y.join();
  EXPECT_EQ(fromA.load(), 1006);
  EXPECT_EQ(fromB.load(), 1008);

  a.Stop();
  b.Stop();
}

// This program links the services alone: no system classes, no geometry, and
// a message box is answered at once even while a window asks to be visible.
RECT gCreatedAt{-1, -1, -1, -1};
std::vector<LONG> Edges(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

LRESULT CALLBACK CreationRecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    gCreatedAt = RECT{create->x, create->y, create->x + create->cx, create->y + create->cy};
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(Windows, WithoutAScreenWindowsAreMessageTargetsAndBoxesAreLogged) {
  SetLastError(0);
  EXPECT_EQ(CreateWindowExW(0, u"BUTTON", u"OK", WS_VISIBLE, 0, 0, 60, 20, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

  RegisterOnce(u"KvCreationRecorder", CreationRecordingProc);
  HWND sized = CreateWindowExW(0, u"KvCreationRecorder", u"", 0, 10, 20, 30, 40, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(sized, nullptr);
  EXPECT_EQ(Edges(gCreatedAt), (std::vector<LONG>{10, 20, 40, 60}));
  // No desktop to fill: a default place and size are nothing.
  HWND shown = CreateWindowExW(0, u"KvCreationRecorder", u"Shown", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(Edges(gCreatedAt), (std::vector<LONG>{0, 0, 0, 0}));
  EXPECT_EQ(GetWindowLongW(shown, GWL_STYLE) & WS_VISIBLE, static_cast<LONG>(WS_VISIBLE));

  unsetenv("KORVANET_MESSAGEBOX");
  kvplatform::ClearMessageBoxHistory();
  EXPECT_EQ(MessageBoxW(shown, u"Port busy", u"Korvanet", MB_ICONEXCLAMATION), IDOK);
  auto boxes = kvplatform::MessageBoxHistory();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(std::tie(boxes[0].text, boxes[0].caption, boxes[0].type, boxes[0].threadId),
            std::make_tuple(u"Port busy", u"Korvanet", static_cast<UINT>(MB_ICONEXCLAMATION), GetCurrentThreadId()));

  // Nothing to paint or time: an empty queue stays empty.
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(DestroyWindow(shown));
  EXPECT_TRUE(DestroyWindow(sized));
}

}  // namespace
