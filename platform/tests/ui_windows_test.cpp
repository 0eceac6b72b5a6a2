// The window tree: order, visibility, geometry and its messages, focus,
// enabling, style changes, and that windows made and destroyed in great
// numbers leave nothing behind.
#include <gtest/gtest.h>

#include "ui_test_support.h"

using namespace uitest_support;
namespace ui = kvplatform::uitest;

namespace {

TEST(UiWindows, DefaultTopLevelFillsTheDesktopAndGeometryMessagesFollowChanges) {
  RegisterRecorder();
  Log().clear();
  HWND top = CreateWindowExW(0, u"KvRecorder", u"Main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(top, nullptr);
  RECT r;
  GetWindowRect(top, &r);
  EXPECT_TRUE(EqualRect(&r, &kBelowTaskbar));
  EXPECT_EQ(GetForegroundWindow(), top);
  EXPECT_EQ(GetFocus(), top);  // activation gives it the focus
  EXPECT_GE(Count(top, WM_ACTIVATE), 1);
  ASSERT_NE(Last(top, WM_SIZE), nullptr);
  EXPECT_EQ(Last(top, WM_SIZE)->lParam, MAKELPARAM(240, 294));

  // A bordered child with a scroll bar: client area inside both.
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL, 10, 20, 100, 50, top, RGB(0, 0, 255), 7);
  GetClientRect(child, &r);
  EXPECT_EQ(r.right, 100 - 2 - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(r.bottom, 48);
  POINT p{0, 0};
  ClientToScreen(child, &p);
  EXPECT_EQ(p.x, 11);
  EXPECT_EQ(p.y, 26 + 20 + 1);
  ScreenToClient(child, &p);
  EXPECT_EQ(p.x, 0);
  POINT pts[1] = {{5, 5}};
  MapWindowPoints(child, top, pts, 1);
  EXPECT_EQ(pts[0].x, 16);
  EXPECT_EQ(pts[0].y, 26);

  Log().clear();
  MoveWindow(child, 20, 30, 120, 60, TRUE);
  ASSERT_NE(Last(child, WM_MOVE), nullptr);
  EXPECT_EQ(Last(child, WM_MOVE)->lParam, MAKELPARAM(21, 31));  // client origin in parent coordinates
  ASSERT_NE(Last(child, WM_SIZE), nullptr);
  EXPECT_EQ(Last(child, WM_SIZE)->lParam, MAKELPARAM(120 - 2 - 13, 58));
  Log().clear();
  SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);  // order only
  EXPECT_EQ(Count(child, WM_MOVE) + Count(child, WM_SIZE), 0);

  // Taking the scroll bar away through the style widens the client area.
  SetWindowLongW(child, GWL_STYLE, GetWindowLongW(child, GWL_STYLE) & ~WS_VSCROLL);
  GetClientRect(child, &r);
  EXPECT_EQ(r.right, 118);
  EXPECT_TRUE(IsWindowVisible(child));  // the style change kept it shown

  Log().clear();
  DestroyWindow(top);
  EXPECT_FALSE(IsWindow(child));
  // The child saw WM_DESTROY after its parent did.
  size_t parentAt = 0, childAt = 0;
  for (size_t i = 0; i < Log().size(); ++i) {
    if (Log()[i].message == WM_DESTROY && Log()[i].window == top) parentAt = i + 1;
    if (Log()[i].message == WM_DESTROY && Log()[i].window == child) childAt = i + 1;
  }
  EXPECT_TRUE(parentAt && childAt && parentAt < childAt);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST(UiWindows, ZOrderAndVisibilityDecideWhatIsUnderAPoint) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255));
  HWND a = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, top, RGB(255, 0, 0), 1);
  HWND b = MakeWindow(WS_CHILD | WS_VISIBLE, 50, 50, 100, 100, top, RGB(0, 255, 0), 2);
  EXPECT_EQ(WindowFromPoint(POINT{75, 26 + 75}), b);  // the later sibling is on top

  BringWindowToTop(a);
  EXPECT_EQ(WindowFromPoint(POINT{75, 26 + 75}), a);
  SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(WindowFromPoint(POINT{75, 26 + 75}), b);

  ShowWindow(b, SW_HIDE);
  EXPECT_EQ(WindowFromPoint(POINT{75, 26 + 75}), a);
  EXPECT_EQ(WindowFromPoint(POINT{200, 26 + 200}), top);
  // A child outside its parent is cut off, and a hidden parent hides its children.
  HWND outside = MakeWindow(WS_CHILD | WS_VISIBLE, 230, 0, 100, 20, top, RGB(0, 0, 0), 3);
  EXPECT_EQ(WindowFromPoint(POINT{235, 30}), outside);
  ShowWindow(top, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(a));
  EXPECT_EQ(WindowFromPoint(POINT{75, 26 + 75}), nullptr);
  ShowWindow(top, SW_SHOW);

  // Owned top-level windows stay above their owner when it comes forward.
  HWND owned = MakeWindow(WS_POPUP | WS_VISIBLE, 20, 60, 100, 100, top, RGB(0, 0, 128));
  HWND other = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(9, 9, 9));
  EXPECT_EQ(WindowFromPoint(POINT{30, 70}), other);
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(top) | 1));  // the device's low-bit form
  EXPECT_EQ(GetForegroundWindow(), top);
  EXPECT_EQ(WindowFromPoint(POINT{30, 70}), owned);
  DestroyWindow(other);
  DestroyWindow(top);
  EXPECT_FALSE(IsWindow(owned));  // owned windows go with their owner
  // Bad input fails without harm.
  RECT r;
  EXPECT_FALSE(GetWindowRect(a, &r));
  EXPECT_FALSE(ShowWindow(a, SW_SHOW));
  EXPECT_FALSE(MoveWindow(a, 0, 0, 1, 1, TRUE));
  EXPECT_FALSE(GetClientRect(nullptr, &r));
}

TEST(UiWindows, FocusMovesWithMessagesAndDisabledWindowsLoseIt) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255));
  HWND a = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 100, 30, top, RGB(1, 1, 1), 1);
  HWND b = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 40, 100, 30, top, RGB(2, 2, 2), 2);
  Log().clear();
  SetFocus(a);
  EXPECT_EQ(GetFocus(), a);
  EXPECT_EQ(SetFocus(b), a);
  ASSERT_NE(Last(a, WM_KILLFOCUS), nullptr);
  EXPECT_EQ(Last(a, WM_KILLFOCUS)->wParam, reinterpret_cast<WPARAM>(b));
  ASSERT_NE(Last(b, WM_SETFOCUS), nullptr);
  EXPECT_EQ(Last(b, WM_SETFOCUS)->wParam, reinterpret_cast<WPARAM>(a));

  EXPECT_FALSE(EnableWindow(b, FALSE));  // was enabled
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(Count(b, WM_ENABLE), 1);
  EXPECT_TRUE(EnableWindow(b, TRUE));  // was disabled

  SetCapture(a);
  EXPECT_EQ(GetCapture(), a);
  Log().clear();
  ReleaseCapture();
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Count(a, WM_CAPTURECHANGED), 1);
  DestroyWindow(top);
}

TEST(UiWindows, TenThousandWindowsMadePaintedAndDestroyedLeaveNothing) {
  size_t before = ui::WindowCount();
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255));
  ui::WaitIdle();
  for (int i = 0; i < 10000; ++i) {
    HWND w = MakeWindow(WS_CHILD | WS_VISIBLE | WS_BORDER, i % 200, i % 250, 40, 40, top, RGB(i & 255, 0, 0), i);
    UpdateWindow(w);
    HDC dc = GetDC(w);
    Rectangle(dc, 0, 0, 10, 10);
    ReleaseDC(w, dc);
    DestroyWindow(w);
  }
  Log().clear();
  ui::WaitIdle();
  // Nothing is left to paint but the parent (its area was uncovered).
  EXPECT_LE(static_cast<int>(Log().size()), 4);
  DestroyWindow(top);
  EXPECT_EQ(ui::WindowCount(), before);
  EXPECT_EQ(ui::FindByClass(u"KvRecorder"), nullptr);
}

}  // namespace
