// Stylus and keys: the right window in its client coordinates, capture,
// double taps, tap-and-hold, disabled windows, the keyboard focus, and a
// message box raised on another thread.
#include <atomic>
#include <vector>

#include <gtest/gtest.h>
#include <kvplatform.h>

#include "ui_test_support.h"
#include "wait_until.h"

using namespace uitest_support;
namespace ui = kvplatform::uitest;

namespace {

TEST(UiInput, TapsReachTheWindowUnderTheStylusInClientCoordinates) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255));
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 30, 100, 60, top, RGB(0, 0, 255), 5);
  ASSERT_TRUE(ui::WaitIdle());
  Log().clear();
  ui::Tap(50, 26 + 40);
  ASSERT_NE(Last(child, WM_LBUTTONDOWN), nullptr);
  ASSERT_NE(Last(child, WM_LBUTTONUP), nullptr);
  POINT p = kvplatform::ui::PointFromParam(Last(child, WM_LBUTTONDOWN)->lParam);
  EXPECT_EQ((std::vector<LONG>{p.x, p.y}), (std::vector<LONG>{50 - 20 - 1, 40 - 30 - 1}));  // inside the border
  EXPECT_EQ(Count(top, WM_LBUTTONDOWN), 0);
  EXPECT_TRUE(Last(child, WM_LBUTTONDOWN)->wParam & MK_LBUTTON);

  // With the capture, the release outside still comes to the child, in its coordinates.
  Log().clear();
  ui::Press(50, 26 + 40);
  SetCapture(child);
  ui::MoveTo(200, 26 + 200);
  ui::Release(200, 26 + 200);
  ASSERT_NE(Last(child, WM_MOUSEMOVE), nullptr);
  ASSERT_NE(Last(child, WM_LBUTTONUP), nullptr);
  EXPECT_EQ(kvplatform::ui::PointFromParam(Last(child, WM_LBUTTONUP)->lParam).x, 200 - 21);
  EXPECT_EQ(Count(top, WM_LBUTTONUP), 0);
  ReleaseCapture();

  // Double tap: only for classes that ask for it.
  Log().clear();
  ui::DoubleTap(60, 26 + 50);
  EXPECT_EQ(Count(child, WM_LBUTTONDBLCLK), 1);
  EXPECT_EQ(Count(child, WM_LBUTTONDOWN), 1);
  HWND plain = MakeWindow(WS_CHILD | WS_VISIBLE, 20, 150, 100, 60, top, RGB(0, 255, 0), 6, u"KvRecorderNoDbl");
  ASSERT_TRUE(ui::WaitIdle());
  ui::DoubleTap(60, 26 + 170);
  EXPECT_EQ(Count(plain, WM_LBUTTONDBLCLK), 0);
  EXPECT_EQ(Count(plain, WM_LBUTTONDOWN), 2);
  // Two separate taps are not a double tap.
  Log().clear();
  ui::Tap(60, 26 + 50);
  ui::Tap(60, 26 + 50);
  EXPECT_EQ(Count(child, WM_LBUTTONDBLCLK), 0);

  // A disabled window gets nothing, nor does its parent.
  EnableWindow(child, FALSE);
  Log().clear();
  ui::Tap(50, 26 + 40);
  EXPECT_EQ(Count(child, WM_LBUTTONDOWN) + Count(top, WM_LBUTTONDOWN), 0);
  EnableWindow(child, TRUE);

  // Tap-and-hold: the press, then the gesture to the parent with the screen
  // point, and no release after it.
  Log().clear();
  ui::Hold(70, 26 + 60);
  EXPECT_EQ(Count(child, WM_LBUTTONDOWN), 1);
  EXPECT_EQ(Count(child, WM_LBUTTONUP), 0);
  EXPECT_EQ(Count(child, WM_CANCELMODE), 1);
  const Seen* gesture = Last(top, WM_NOTIFY);
  ASSERT_NE(gesture, nullptr);
  EXPECT_EQ(gesture->wParam, static_cast<WPARAM>(GN_CONTEXTMENU));
  p = kvplatform::ui::PointFromParam(gesture->lParam);
  EXPECT_EQ((std::vector<LONG>{p.x, p.y}), (std::vector<LONG>{70, 26 + 60}));
  // Moving away before the hold time makes it no hold.
  Log().clear();
  ui::Press(70, 26 + 60);
  ui::MoveTo(90, 26 + 60);
  ui::Release(90, 26 + 60);
  EXPECT_EQ(Count(top, WM_NOTIFY), 0);
  EXPECT_EQ(Count(child, WM_LBUTTONUP), 1);
  DestroyWindow(top);
}

TEST(UiInput, KeysGoToTheFocusWindow) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255));
  HWND a = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 100, 30, top, RGB(1, 1, 1), 1);
  HWND b = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 40, 100, 30, top, RGB(2, 2, 2), 2);
  SetFocus(b);
  Log().clear();
  ui::TypeText(u"hé");
  ui::PressKey(VK_RETURN);
  ASSERT_EQ(Count(b, WM_CHAR), 3);
  EXPECT_EQ(Count(a, WM_CHAR), 0);
  std::u16string typed;
  for (auto& s : Log())
    if (s.window == b && s.message == WM_CHAR) typed += static_cast<char16_t>(s.wParam);
  EXPECT_EQ(typed, u"hé\r");
  ASSERT_NE(Last(b, WM_KEYDOWN), nullptr);
  EXPECT_EQ(Last(b, WM_KEYDOWN)->wParam, static_cast<WPARAM>(VK_RETURN));
  EXPECT_EQ(Count(b, WM_KEYUP), 1);
  DestroyWindow(top);
}

DWORD WINAPI RaiseBox(LPVOID done) {
  int result = MessageBoxW(nullptr, u"The port could not be opened. Check the cable and try again.", u"Korvanet",
                           MB_ICONEXCLAMATION);
  static_cast<std::atomic<int>*>(done)->store(result);
  return 0;
}

TEST(UiInput, AMessageBoxOnAnotherThreadBlocksItUntilTapped) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255), 0, u"KvRecorder", u"Inbox");
  ASSERT_TRUE(ui::WaitIdle());
  std::atomic<int> result{-1};
  HANDLE thread = CreateThread(nullptr, 0, RaiseBox, &result, 0, nullptr);
  HWND box = nullptr;
  ASSERT_TRUE(kvtest::WaitUntil([&] { return (box = ui::FindByClass(u"KvMessageBox")) != nullptr; }));
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(result.load(), -1);  // still blocked
  EXPECT_TRUE(ui::StateOf(box).visible);
  EXPECT_EQ(ui::TextOf(box), u"Korvanet");
  // The exclamation icon's yellow is on the screen.
  RECT r = ui::StateOf(box).screenRect;
  bool yellow = false;
  for (int y = r.top; y < r.bottom && !yellow; ++y)
    for (int x = r.left; x < r.right && !yellow; ++x) yellow = ui::ColorAt(x, y) == RGB(255, 204, 0);
  EXPECT_TRUE(yellow);
  ui::SaveScreenshot(ScreenshotPath("ui_message_box"));

  ui::Tap((r.left + r.right) / 2, r.top + 30);  // on the text: not a dismissal
  EXPECT_EQ(result.load(), -1);
  ui::Tap((r.left + r.right) / 2, r.bottom - 16);  // the OK button
  EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  EXPECT_EQ(result.load(), IDOK);
  EXPECT_FALSE(IsWindow(box));
  CloseHandle(thread);

  // Enter dismisses a box too.
  result = -1;
  thread = CreateThread(nullptr, 0, RaiseBox, &result, 0, nullptr);
  ASSERT_TRUE(kvtest::WaitUntil([] { return ui::FindByClass(u"KvMessageBox") != nullptr; }));
  ASSERT_TRUE(ui::WaitIdle());
  ui::PressKey(VK_RETURN);
  EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  EXPECT_EQ(result.load(), IDOK);
  CloseHandle(thread);
  DestroyWindow(top);

  // With nothing on the screen, boxes are recorded and answered at once.
  kvplatform::ClearMessageBoxHistory();
  EXPECT_EQ(MessageBoxW(nullptr, u"text", u"caption", MB_OK), IDOK);
  EXPECT_EQ(kvplatform::MessageBoxHistory().size(), 1u);
}

}  // namespace
