// Text in every script people write: each character drawn as a glyph from
// some installed font, never a box, and surrogate pairs (emoji) kept whole
// wherever text is measured, wrapped, cut or edited. Boxes are detected
// through the font engine's record of them, not by comparing pixels.
#include <gtest/gtest.h>

#include <string>

#include "ui_test_support.h"

using namespace uitest_support;
namespace ui = kvplatform::uitest;

namespace {

// A fresh device context to draw text on, with no box counted yet.
HDC CanvasOf(HWND top) {
  ui::TakeBoxesDrawn();
  HDC dc = GetDC(top);
  SetBkMode(dc, TRANSPARENT);
  return dc;
}

const std::u16string kScripts[] = {
    u"Ελένη Παπαδάκη", u"Сергей Иванов", u"مرحبا بالعالم", u"שלום עולם", u"你好，世界", u"こんにちは カタカナ",
    u"Party \U0001F600\U0001F389 \u2764\uFE0F",
};

TEST(UiScripts, EveryScriptDrawsAsGlyphsAndOnlyUnknownCharactersAsBoxes) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, kWhite);
  ASSERT_TRUE(ui::WaitIdle());
  HDC dc = CanvasOf(top);
  int y = 4;
  for (const auto& row : kScripts) {
    RECT r{4, y, 236, y + 18};
    DrawTextW(dc, row.c_str(), -1, &r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    y += 18;
  }
  // The bold face finds the same fallbacks.
  LOGFONTW lf{};
  lf.lfHeight = -11;
  lf.lfWeight = FW_BOLD;
  HFONT bold = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc, bold);
  for (const auto& row : kScripts) {
    ExtTextOutW(dc, 4, y, 0, nullptr, row.c_str(), static_cast<UINT>(row.size()), nullptr);
    y += 16;
  }
  SelectObject(dc, old);
  DeleteObject(bold);
  ui::SaveScreenshot(ScreenshotPath("ui_scripts"));
  EXPECT_EQ(ui::TakeBoxesDrawn(), std::u32string());

  // An emoji is one character: both halves end where it does, and fit together.
  SIZE size{};
  int dx[3] = {}, fit = -1;
  ASSERT_TRUE(GetTextExtentExPointW(dc, u"a\U0001F600", 3, 1000, &fit, dx, &size));
  EXPECT_EQ(fit, 3);
  EXPECT_GT(dx[1], dx[0]);
  EXPECT_EQ(dx[1], dx[2]);
  EXPECT_EQ(size.cx, dx[2]);
  ASSERT_TRUE(GetTextExtentExPointW(dc, u"a\U0001F600", 3, dx[2] - 1, &fit, nullptr, &size));
  EXPECT_EQ(fit, 1);

  // What no font has (a private-use character) is a box, and is reported.
  ExtTextOutW(dc, 4, y, 0, nullptr, u"x\uE000", 2, nullptr);
  EXPECT_EQ(ui::TakeBoxesDrawn(), std::u32string(U"\uE000"));
  ReleaseDC(top, dc);
  DestroyWindow(top);
}

TEST(UiScripts, WrappingCuttingAndEditingNeverSplitAPair) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, kWhite);
  ASSERT_TRUE(ui::WaitIdle());
  HDC dc = CanvasOf(top);
  // A half of a pair would draw as a box: wrap a run of emoji into a narrow
  // column, and cut it with an ellipsis at every width.
  std::u16string emoji;
  for (int i = 0; i < 12; ++i) emoji += u"\U0001F600";
  RECT column{0, 0, 37, 0};
  int height = DrawTextW(dc, emoji.c_str(), -1, &column, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_GT(height, 2 * 13);
  RECT wrapped{0, 0, 37, 200};
  DrawTextW(dc, emoji.c_str(), -1, &wrapped, DT_WORDBREAK);
  for (int width = 5; width < 60; ++width) {
    RECT cut{0, 210, width, 230};
    DrawTextW(dc, (u"ab" + emoji).c_str(), -1, &cut, DT_SINGLELINE | DT_END_ELLIPSIS);
  }
  EXPECT_EQ(ui::TakeBoxesDrawn(), std::u32string());
  ReleaseDC(top, dc);

  // An edit box: typed as two WM_CHARs, stepped over and deleted as one,
  // and wrapped between whole characters.
  HWND edit = CreateWindowExW(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL, 10,
                              10, 40, 120, top, reinterpret_cast<HMENU>(7), nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  ASSERT_TRUE(ui::WaitIdle());
  ui::TapWindow(edit);
  ASSERT_EQ(GetFocus(), edit);
  ui::TypeText(u"a\U0001F600b");
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(ui::TextOf(edit), u"a\U0001F600b");
  DWORD start = 0, end = 0;
  ui::PressKey(VK_LEFT);
  ui::PressKey(VK_LEFT);
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(end, 1u);
  ui::PressKey(VK_RIGHT);
  ui::PressKey(VK_BACK);
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(ui::TextOf(edit), u"ab");
  // A selection ending inside a pair takes the whole pair or none of it.
  SetWindowTextW(edit, u"\U0001F600\U0001F600");
  SendMessageW(edit, EM_SETSEL, 1, 3);
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 2u);

  SetWindowTextW(edit, emoji.c_str());
  int lines = static_cast<int>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
  EXPECT_GT(lines, 2);
  for (int line = 0; line < lines; ++line) {
    LRESULT index = SendMessageW(edit, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    EXPECT_EQ(index % 2, 0) << "line " << line << " starts inside a pair";
  }
  ASSERT_TRUE(ui::WaitIdle());
  ui::SaveScreenshot(ScreenshotPath("ui_scripts_wrapping"));
  EXPECT_EQ(ui::TakeBoxesDrawn(), std::u32string());
  DestroyWindow(top);
}

}  // namespace
