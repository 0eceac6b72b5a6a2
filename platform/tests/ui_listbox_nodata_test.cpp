// A list box with LBS_NODATA: it counts rows and keeps their selection, and
// asks its parent for a row's line and data only when it paints or is asked.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <kvplatform.h>

#include "ui_test_support.h"

using namespace uitest_support;
namespace ui = kvplatform::uitest;

namespace {

// The parent's rows, and the rows the list asked for.
std::vector<std::u16string> gLines;
std::vector<int> gAsked;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == LBN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMLBDISPINFOW*>(lParam);
    gAsked.push_back(info->iItem);
    if (info->iItem < 0 || info->iItem >= static_cast<int>(gLines.size())) return 0;
    const std::u16string& line = gLines[static_cast<size_t>(info->iItem)];
    size_t n = std::min(line.size(), static_cast<size_t>(info->cchTextMax - 1));
    std::copy_n(line.begin(), n, info->pszText);
    info->pszText[n] = 0;
    info->lParam = 1000 + info->iItem;
    return 0;
  }
  return RecorderProc(window, message, wParam, lParam);
}

HWND MakeOwner() {
  static bool registered = [] {
    RegisterRecorder();
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = u"KvListOwner";
    RegisterClassW(&wc);
    return true;
  }();
  (void)registered;
  return MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255), 0, u"KvListOwner");
}

std::u16string Line(HWND list, int row) {
  char16_t buffer[300] = {};
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

bool InkIn(const RECT& r) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      COLORREF c = ui::ColorAt(x, y);
      if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100) return true;
    }
  return false;
}

std::vector<int> Selected(HWND list) {
  std::vector<int> rows;
  int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i)
    if (SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) rows.push_back(i);
  return rows;
}

}  // namespace

TEST(UiListBoxNoData, RowsComeFromTheParentAndOnlyThoseShownArePainted) {
  gLines.clear();
  for (int i = 0; i < 5000; ++i) {
    std::string number = std::to_string(i);
    gLines.push_back(u"Row " + std::u16string(number.begin(), number.end()) + u"\tline");
  }
  HWND top = MakeOwner();
  HWND list = CreateWindowExW(0, u"LISTBOX", u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NODATA |
                                                      LBS_USETABSTOPS | LBS_EXTENDEDSEL,
                              0, 0, 240, 150, top, reinterpret_cast<HMENU>(4096), nullptr, nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(SendMessageW(list, LB_SETCOUNT, gLines.size(), 0), LB_OKAY);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 5000);
  EXPECT_EQ(Line(list, 4321), u"Row 4321\tline");
  EXPECT_EQ(SendMessageW(list, LB_GETTEXTLEN, 7, 0), 10);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 12, 0), 1012);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 5000, 0), LB_ERR);

  // A paint asks for the rows on the screen, not for the 5,000.
  gAsked.clear();
  InvalidateRect(list, nullptr, FALSE);
  ASSERT_TRUE(ui::WaitIdle());
  int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  ASSERT_GT(height, 0);
  EXPECT_FALSE(gAsked.empty());
  EXPECT_LE(gAsked.size(), static_cast<size_t>(150 / height + 1));
  for (int row : gAsked) EXPECT_LT(row, 150 / height + 1);
  RECT screen = ui::StateOf(list).screenRect;
  EXPECT_TRUE(InkIn(RECT{screen.left + 2, screen.top, screen.left + 40, screen.top + height})) << "the first row's text";

  // Scrolled to the end, the paint asks for the last rows.
  SendMessageW(list, LB_SETTOPINDEX, 4990, 0);
  gAsked.clear();
  ASSERT_TRUE(ui::WaitIdle());
  ASSERT_FALSE(gAsked.empty());
  for (int row : gAsked) EXPECT_GE(row, 4990 - 150 / height);

  // The selection follows its rows as rows come and go above them; the text
  // given for a row is ignored.
  SendMessageW(list, LB_SETSEL, TRUE, 10);
  SendMessageW(list, LB_SETSEL, TRUE, 20);
  EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 5, reinterpret_cast<LPARAM>(u"ignored")), 5);
  EXPECT_EQ(Selected(list), (std::vector<int>{11, 21}));
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 0, 0), 5000);
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 0, 0), 4999);
  EXPECT_EQ(Selected(list), (std::vector<int>{9, 19}));
  EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"a")), 4999) << "added at the end";

  // A new count starts without a selection.
  EXPECT_EQ(SendMessageW(list, LB_SETCOUNT, 3, 0), LB_OKAY);
  EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 3);

  // A list that keeps its own rows has no count to set.
  HWND plain = CreateWindowExW(0, u"LISTBOX", u"", WS_CHILD | LBS_SORT, 0, 160, 240, 60, top, nullptr, nullptr, nullptr);
  EXPECT_EQ(SendMessageW(plain, LB_SETCOUNT, 3, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(plain, LB_GETCOUNT, 0, 0), 0);
  DestroyWindow(top);
}
