// A program that links the screen has it from its start: the screen's hooks
// are in place before main(), not from the first call into the screen. This
// program's one test makes its first windows, a system class's among them,
// before it calls anything of the screen itself.
#include <atomic>
#include <cstdlib>

#include <gtest/gtest.h>
#include <kvplatform.h>
#include <windows.h>

#include "ui/testing.h"
#include "wait_until.h"

namespace {

namespace ui = kvplatform::uitest;

std::atomic<int> gSizedWidth{-1};

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SIZE) gSizedWidth = LOWORD(lParam);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

DWORD WINAPI RaiseBox(LPVOID result) {
  static_cast<std::atomic<int>*>(result)->store(MessageBoxW(nullptr, u"Port busy", u"Korvanet", MB_ICONEXCLAMATION));
  return 0;
}

TEST(ScreenHooks, AProgramThatLinksTheScreenHasItBeforeItsFirstScreenCall) {
  setenv("KORVANET_DISPLAY", "headless", 1);
  unsetenv("KORVANET_MESSAGEBOX");

  // Services functions only: the screen gives the frame the desktop and
  // tells it its size; the system's BUTTON class is there.
  WNDCLASSW wc{};
  wc.lpfnWndProc = FrameProc;
  wc.lpszClassName = u"KvHooksFrame";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND frame = CreateWindowExW(0, u"KvHooksFrame", u"Frame", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(frame, nullptr);
  EXPECT_GT(gSizedWidth.load(), 0);
  HWND button = CreateWindowExW(0, u"BUTTON", u"OK", WS_CHILD | WS_VISIBLE, 10, 10, 60, 24, frame, nullptr, nullptr,
                                nullptr);
  ASSERT_NE(button, nullptr);

  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_TRUE(ui::StateOf(button).visible);

  // A message box is a real one on the screen, blocking its thread.
  kvplatform::ClearMessageBoxHistory();
  std::atomic<int> result{-1};
  HANDLE thread = CreateThread(nullptr, 0, RaiseBox, &result, 0, nullptr);
  ASSERT_TRUE(kvtest::WaitUntil([] { return ui::FindByClass(u"KvMessageBox") != nullptr; }));
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(result.load(), -1);
  ui::PressKey(VK_RETURN);
  EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  EXPECT_EQ(result.load(), IDOK);
  EXPECT_EQ(kvplatform::MessageBoxHistory().size(), 1u);
  CloseHandle(thread);
  DestroyWindow(frame);
}

}  // namespace
