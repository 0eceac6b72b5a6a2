// Text in many scripts on the headless screen: what was drawn is compared
// with what HarfBuzz itself makes of the same text in the same font file
// (through the test interface), not with pixels of one font version.
#include <algorithm>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <kvplatform.h>

#include "ui/input/input.h"
#include "ui/text/font_engine.h"
#include "ui/text/shaped_line.h"
#include "ui_test_support.h"

using namespace uitest_support;
namespace ui = kvplatform::uitest;
namespace kui = kvplatform::ui;

namespace {

constexpr int kTop = 26;

// Arabic, Hebrew, Hindi, Thai, a flag, a skin-toned thumb and a family.
const std::u16string kWorld =
    u"\u0645\u0631\u062D\u0628\u0627 \u05E9\u05DC\u05D5\u05DD \u0928\u092E\u0938\u094D\u0924\u0947 "
    u"\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35 \U0001F1EB\U0001F1F7 \U0001F44D\U0001F3FD "
    u"\U0001F468\u200D\U0001F469\u200D\U0001F467";

HWND Make(LPCWSTR cls, LPCWSTR text, DWORD style, int x, int y, int w, int h, HWND parent, int id) {
  HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  EXPECT_NE(hwnd, nullptr);
  return hwnd;
}

std::u16string Text(HWND hwnd) {
  std::u16string buffer(256, u'\0');
  buffer.resize(static_cast<size_t>(GetWindowTextW(hwnd, buffer.data(), 256)));
  return buffer;
}

bool Colourful(COLORREF c) {
  int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  return std::max({r, g, b}) - std::min({r, g, b}) > 90;
}

int CountColourful(const RECT& r) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += Colourful(ui::ColorAt(x, y));
  return n;
}

bool DarkIn(int left, int top, int right, int bottom) {
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      COLORREF c = ui::ColorAt(x, y);
      if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100) return true;
    }
  return false;
}

void Repaint(std::initializer_list<HWND> windows) {
  for (HWND w : windows) InvalidateRect(w, nullptr, TRUE);
  ASSERT_TRUE(ui::WaitIdle());
}

TEST(UiTextShaping, EveryScriptDrawsAsItsFontShapesIt) {
  HWND top = MakeWindow(WS_VISIBLE, 0, kTop, 240, 294, nullptr, RGB(255, 255, 255));
  HWND list = Make(u"LISTBOX", u"", WS_BORDER | LBS_NOTIFY, 4, 4, 232, 40, top, 1);
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kWorld.c_str()));
  std::u16string readerText = kWorld + u"\r\n" + kWorld;
  HWND reader = Make(u"EDIT", readerText.c_str(), WS_BORDER | ES_MULTILINE | ES_READONLY, 4, 50, 232, 90, top, 2);
  HWND field = Make(u"EDIT", kWorld.c_str(), WS_BORDER | ES_AUTOHSCROLL, 4, 150, 232, 22, top, 3);
  ui::TakeBoxesDrawn();
  kui::TakeRunsDrawn();
  Repaint({top, list, reader, field});
  ASSERT_TRUE(ui::SaveScreenshot(ScreenshotPath("world_scripts")));

  // Nothing fell back to a box.
  EXPECT_EQ(ui::TakeBoxesDrawn(), std::u32string());
  std::vector<kui::ShapedRun> runs = kui::TakeRunsDrawn();
  ASSERT_FALSE(runs.empty());
  std::set<std::string_view> files;
  for (const auto& run : runs) files.insert(kui::SlotFileName(run.slot));
  // Each script came from a face that has it; emoji from the colour one.
  EXPECT_TRUE(files.count("DejaVuSans.ttf"));
  EXPECT_TRUE(files.count("Lohit-Devanagari.ttf"));
  EXPECT_TRUE(files.count("Garuda.ttf"));
  EXPECT_TRUE(files.count("NotoColorEmoji.ttf"));
  // The flag, the thumb and the family are one picture each.
  int pictures = 0;
  for (const auto& run : runs)
    if (run.slot == kui::kColorSlot) {
      EXPECT_EQ(run.glyphIds.size(), 1u) << "emoji sequence in pieces";
      ++pictures;
    }
  EXPECT_GE(pictures, 3);
  // Arabic is shaped right to left, its letters joined (not the isolated
  // forms each letter maps to alone).
  bool arabic = false;
  for (const auto& run : runs)
    if (run.rtl && run.text.find(u'\u0645') != std::u16string::npos) {
      arabic = true;
      kui::FontFace& face = kui::FaceFor(false, kui::kSystemFontEm);
      uint32_t isolatedMeem = face.IndexIn(0, U'\u0645');
      EXPECT_EQ(std::count(run.glyphIds.begin(), run.glyphIds.end(), isolatedMeem), 0);
    }
  EXPECT_TRUE(arabic);

  // Drawn again: glyph for glyph and position for position what HarfBuzz
  // makes of each run, with no .notdef anywhere.
  Repaint({list, reader, field});
  ui::TextDrawn drawn = ui::TakeTextDrawn();
  EXPECT_GT(drawn.runs, 0);
  EXPECT_EQ(drawn.faults, std::vector<std::string>());

  // The emoji show in colour in every control.
  for (HWND w : {list, reader, field}) EXPECT_GT(CountColourful(ui::StateOf(w).screenRect), 20);
  DestroyWindow(top);
}

TEST(UiTextShaping, RightToLeftLinesInVisualOrderAndAlignedRight) {
  kui::FontFace& face = kui::FaceFor(false, kui::kSystemFontEm);
  // An Arabic paragraph with a number in it: the number reads left to
  // right at the left end, the letters right to left.
  std::u16string line = u"\u0645\u0631\u062D\u0628\u0627 123";
  auto shaped = kui::ShapeLine(face, line);
  ASSERT_TRUE(shaped->rightToLeft);
  ASSERT_FALSE(shaped->glyphs.empty());
  EXPECT_EQ(shaped->glyphs.front().cluster, 6u);  // "1" leftmost
  EXPECT_GT(shaped->glyphs[1].x, shaped->glyphs[0].x);
  // The caret before the first letter is at the right end.
  EXPECT_EQ(kui::CaretX(*shaped, 0), shaped->width);
  EXPECT_EQ(kui::IndexAtX(*shaped, shaped->width), 0u);

  HWND top = MakeWindow(WS_VISIBLE, 0, kTop, 240, 294, nullptr, RGB(255, 255, 255));
  HWND reader = Make(u"EDIT", line.c_str(), ES_MULTILINE | ES_READONLY, 4, 10, 200, 40, top, 1);
  HWND list = Make(u"LISTBOX", u"", 0, 4, 60, 200, 40, top, 2);
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  Repaint({top, reader, list});
  for (HWND w : {reader, list}) {
    RECT r = ui::StateOf(w).screenRect;
    EXPECT_TRUE(DarkIn(r.right - 60, r.top, r.right, r.top + 16)) << "not at the right";
    EXPECT_FALSE(DarkIn(r.left, r.top, r.left + 100, r.top + 16)) << "still at the left";
  }
  DestroyWindow(top);
}

// The column of a caret bar (dark from the top of the first line to its
// bottom), the rightmost if several; -1 when none.
int CaretColumn(const RECT& r, int lineHeight) {
  for (int x = r.right - 1; x >= r.left; --x) {
    bool bar = true;
    for (int y = r.top + 2; y < r.top + 1 + lineHeight && bar; ++y) {
      COLORREF c = ui::ColorAt(x, y);
      bar = GetRValue(c) < 60 && GetGValue(c) < 60 && GetBValue(c) < 60;
    }
    if (bar) return x;
  }
  return -1;
}

TEST(UiTextShaping, TheCaretMovesLogicallyAndShowsWhereTheCharacterIs) {
  HWND top = MakeWindow(WS_VISIBLE, 0, kTop, 240, 294, nullptr, RGB(255, 255, 255));
  // Right to left: before the first letter is the right end of the line,
  // after the last its left end; Right moves on in the text, so leftwards.
  std::u16string arabic = u"\u0645\u0631\u062D\u0628\u0627";
  HWND edit = Make(u"EDIT", arabic.c_str(), ES_MULTILINE, 10, 10, 200, 40, top, 1);
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, 0);
  Repaint({edit});
  RECT r = ui::StateOf(edit).screenRect;
  int first = CaretColumn(r, 12);
  EXPECT_GE(first, r.right - 6);
  ui::PressKey(VK_RIGHT);
  Repaint({edit});
  int second = CaretColumn(r, 12);
  EXPECT_LT(second, first);
  EXPECT_GT(second, r.left + 100);
  ui::PressKey(VK_END);
  Repaint({edit});
  EXPECT_LT(CaretColumn(r, 12), second);
  DestroyWindow(top);
}

TEST(UiTextShaping, EditBoxesTakeWholeCharacters) {
  HWND top = MakeWindow(WS_VISIBLE, 0, kTop, 240, 294, nullptr, RGB(255, 255, 255));
  std::u16string text = u"\U0001F468\u200D\U0001F469\u200D\U0001F467 ok\U0001F44D\U0001F3FD";
  HWND edit = Make(u"EDIT", text.c_str(), WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 22, top, 1);
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, text.size(), text.size());
  // Backspace takes the toned thumb whole, then a letter.
  ui::PressKey(VK_BACK);
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(Text(edit), u"\U0001F468\u200D\U0001F469\u200D\U0001F467 ok");
  ui::PressKey(VK_BACK);
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(Text(edit), u"\U0001F468\u200D\U0001F469\u200D\U0001F467 o");
  // Left from after the family goes before all of it; Delete takes it whole.
  SendMessageW(edit, EM_SETSEL, 8, 8);
  ui::PressKey(VK_LEFT);
  ASSERT_TRUE(ui::WaitIdle());
  DWORD start = 9, end = 9;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  ui::PressKey(VK_DELETE);
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(Text(edit), u" o");
  // A letter with a combining mark and a Devanagari syllable are one step.
  SetWindowTextW(edit, u"e\u0301\u0938\u094D\u0924\u0947");
  SendMessageW(edit, EM_SETSEL, 0, 0);
  ui::PressKey(VK_RIGHT);
  ASSERT_TRUE(ui::WaitIdle());
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(end, 2u);
  ui::PressKey(VK_RIGHT);
  ASSERT_TRUE(ui::WaitIdle());
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(end, 6u);
  DestroyWindow(top);
}

TEST(UiTextShaping, ShiftWithArrowsSelectsAndReadOnlyShowsNoCaret) {
  HWND top = MakeWindow(WS_VISIBLE, 0, kTop, 240, 294, nullptr, RGB(255, 255, 255));
  HWND edit = Make(u"EDIT", u"abcdef", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 22, top, 1);
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 6, 6);
  // Keys as the back end gives them, all before the window's thread gets
  // to the first: Shift is up again by then, and the arrows still select.
  for (UINT key : {VK_LEFT, VK_LEFT}) {
    if (key == VK_LEFT) kui::KeyDown(VK_SHIFT);
    kui::KeyDown(key);
    kui::KeyUp(key);
    kui::KeyUp(VK_SHIFT);
  }
  ASSERT_TRUE(ui::WaitIdle());
  DWORD start = 0, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 4u);
  EXPECT_EQ(end, 6u);
  ui::PressKey(VK_LEFT);
  ASSERT_TRUE(ui::WaitIdle());
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, end);

  // A read-only progress text with the focus draws no caret.
  HWND progress = Make(u"EDIT", u"", ES_READONLY, 10, 50, 200, 22, top, 2);
  SetFocus(progress);
  Repaint({top, progress});
  ASSERT_EQ(GetFocus(), progress);
  RECT r = ui::StateOf(progress).screenRect;
  EXPECT_FALSE(DarkIn(r.left, r.top, r.right, r.bottom));
  DestroyWindow(top);
}

}  // namespace
