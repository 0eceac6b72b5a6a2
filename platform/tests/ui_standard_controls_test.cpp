// The standard controls in the headless screen: each driven through its
// messages and through simulated stylus and keys, with a parent window that
// records every notification. Screenshots of each kind go to the build folder.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <kvplatform.h>

#include "ui/painting/style_painter.h"
#include "ui_test_support.h"

using namespace uitest_support;
namespace ui = kvplatform::uitest;

namespace {

constexpr int kTop = 26;  // the parent's client area starts below the taskbar

HWND MakeParent() { return MakeWindow(WS_VISIBLE, 0, kTop, 240, 294, nullptr, RGB(255, 255, 255)); }

HWND Make(LPCWSTR cls, LPCWSTR text, DWORD style, int x, int y, int w, int h, HWND parent, int id) {
  HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  EXPECT_NE(hwnd, nullptr);
  return hwnd;
}

// The notification codes the parent heard from one control, in order.
std::vector<int> Notes(HWND parent, HWND control) {
  std::vector<int> codes;
  for (auto& s : Log())
    if (s.window == parent && s.message == WM_COMMAND && reinterpret_cast<HWND>(s.lParam) == control)
      codes.push_back(HIWORD(s.wParam));
  return codes;
}

int CountNote(HWND parent, HWND control, int code) {
  int n = 0;
  for (int c : Notes(parent, control)) n += c == code;
  return n;
}

std::u16string Text(HWND hwnd, int size = 256) {
  std::u16string buffer(static_cast<size_t>(size), u'\0');
  int n = GetWindowTextW(hwnd, buffer.data(), size);
  buffer.resize(static_cast<size_t>(n));
  return buffer;
}

std::u16string RowText(HWND list, int row) {
  char16_t buffer[256] = {};
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

void Shot(const char* name) {
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_TRUE(ui::SaveScreenshot(ScreenshotPath(name)));
}

bool DarkIn(int left, int top, int right, int bottom) {
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      COLORREF c = ui::ColorAt(x, y);
      if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100) return true;
    }
  return false;
}

TEST(UiStandardControls, MultiLineEditCountsLinesTypesAndSelects) {
  HWND top = MakeParent();
  HWND edit = Make(u"EDIT", u"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 10, 10, 200,
                   80, top, 1007);
  // Three lines of five characters: the last line starts at 14 and is 5 long.
  SetWindowTextW(edit, u"abcde\r\nfghij\r\nklmno");
  int lines = static_cast<int>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
  ASSERT_EQ(lines, 3);
  EXPECT_EQ(SendMessageW(edit, EM_LINEINDEX, static_cast<WPARAM>(lines - 1), 0), 14);
  EXPECT_EQ(SendMessageW(edit, EM_LINEINDEX, 1, 0), 7);
  EXPECT_EQ(SendMessageW(edit, EM_LINEINDEX, 3, 0), -1);
  EXPECT_EQ(GetWindowTextLengthW(edit), 19);
  // WM_GETTEXT cuts to the buffer and always terminates.
  char16_t small[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(SendMessageW(edit, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(small)), 3);
  EXPECT_EQ(std::u16string(small), u"abc");

  // A tap puts the caret; keys move it; typing replaces; every keystroke is
  // one EN_UPDATE and one EN_CHANGE.
  ASSERT_TRUE(ui::WaitIdle());
  RECT r = ui::StateOf(edit).screenRect;
  ui::Tap(r.left + 2, r.top + 4);  // before "a"
  EXPECT_EQ(GetFocus(), edit);
  DWORD start = 9, end = 9;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 0u);
  ui::PressKey(VK_END);
  ui::PressKey(VK_DOWN);  // end of "fghij"
  Log().clear();
  ui::TypeText(u"XY");
  EXPECT_EQ(Text(edit), u"abcde\r\nfghijXY\r\nklmno");
  EXPECT_EQ(CountNote(top, edit, EN_UPDATE), 2);
  EXPECT_EQ(CountNote(top, edit, EN_CHANGE), 2);
  EXPECT_EQ(Notes(top, edit).front(), EN_UPDATE);
  // Enter breaks the line with CR LF; Backspace takes the pair back at once.
  ui::PressKey(VK_RETURN);
  EXPECT_EQ(Text(edit), u"abcde\r\nfghijXY\r\n\r\nklmno");
  EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 4);
  ui::PressKey(VK_BACK);
  ui::PressKey(VK_BACK);
  EXPECT_EQ(Text(edit), u"abcde\r\nfghijX\r\nklmno");
  // Left over the line break is one step; Delete removes the pair.
  ui::PressKey(VK_HOME);
  ui::PressKey(VK_LEFT);
  ui::PressKey(VK_DELETE);
  EXPECT_EQ(Text(edit), u"abcdefghijX\r\nklmno");

  // Dragging selects; typing replaces the selection.
  ui::Drag(r.left + 2, r.top + 4, r.left + 150, r.top + 4);
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 11u);
  ui::TypeText(u"Z");
  EXPECT_EQ(Text(edit), u"Z\r\nklmno");

  // The limit holds typed text.
  SendMessageW(edit, EM_LIMITTEXT, 9, 0);
  SendMessageW(edit, EM_SETSEL, 8, 8);  // the end
  ui::TypeText(u"1234");
  EXPECT_EQ(Text(edit), u"Z\r\nklmno1");

  // Long text wraps at the right edge.
  SendMessageW(edit, EM_LIMITTEXT, 0, 0);
  SetWindowTextW(edit, u"The quick brown fox jumps over the lazy dog and keeps running far away");
  EXPECT_GT(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 1);
  Shot("edit_multiline");
  DestroyWindow(top);
}

TEST(UiStandardControls, SingleLineEditAndScrollingByItsBar) {
  HWND top = MakeParent();
  HWND field = Make(u"EDIT", u"+44", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 120, 20, top, 1025);
  HWND narrow = Make(u"EDIT", u"", WS_BORDER, 10, 40, 40, 20, top, 1026);
  EXPECT_EQ(Text(field), u"+44");
  EXPECT_EQ(SendMessageW(field, EM_GETLINECOUNT, 0, 0), 1);
  SetFocus(field);
  ui::PressKey(VK_END);
  ui::TypeText(u"7700900123 and more digits than fit");
  EXPECT_EQ(Text(field), u"+447700900123 and more digits than fit");
  ui::PressKey(VK_RETURN);  // no line break in a single-line box
  EXPECT_EQ(Text(field).find(u'\r'), std::u16string::npos);
  // Without automatic scrolling, a box takes only what fits.
  SetFocus(narrow);
  ui::TypeText(u"0123456789");
  EXPECT_LT(Text(narrow).size(), 10u);

  // The scroll bar of a multi-line box: arrows, page area and the thumb.
  HWND box = Make(u"EDIT", u"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 10, 70, 150, 60, top, 1008);
  std::u16string many;
  for (int i = 0; i < 20; ++i) many += u"line " + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u"\r\n";
  SetWindowTextW(box, many.c_str());
  ASSERT_TRUE(ui::WaitIdle());
  RECT r = ui::StateOf(box).screenRect;
  int barX = r.right - 1 - 6;
  EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  ui::Tap(barX, r.bottom - 1 - 6);  // down arrow
  EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 1);
  ui::Tap(barX, r.top + 1 + 6);  // up arrow
  EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  ui::Tap(barX, r.bottom - 1 - 16);  // page area below the thumb
  LRESULT paged = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
  EXPECT_GT(paged, 1);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(box, SB_VERT, &info);
  EXPECT_EQ(info.nPos, paged);
  // Dragging the thumb all the way down shows the last lines.
  RECT bar{r.right - 1 - 13, r.top + 1, r.right - 1, r.bottom - 1};
  auto parts = kvplatform::ui::ScrollBarLayout(bar, true, info.nMin, info.nMax, info.nPage, info.nPos);
  int thumbY = (parts.thumb.top + parts.thumb.bottom) / 2;
  ui::Drag(barX, thumbY, barX, r.bottom + 40, 6);
  GetScrollInfo(box, SB_VERT, &info);
  EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), info.nMax - static_cast<int>(info.nPage) + 1);
  // The box itself heard no tap on its bar.
  Log().clear();
  ui::Tap(barX, r.top + 1 + 6);
  EXPECT_EQ(GetFocus() == box, false);
  Shot("edit_single_and_scrolled");
  DestroyWindow(top);
}

// A password box draws a mask for each character and keeps the text itself
// for the program: it looks exactly like a plain box holding the masks.
TEST(UiStandardControls, PasswordEditShowsMasksAndKeepsTheText) {
  HWND top = MakeParent();
  HWND secret = Make(u"EDIT", u"", WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL, 10, 10, 100, 20, top, 1111);
  HWND masks = Make(u"EDIT", u"****", WS_BORDER | ES_AUTOHSCROLL, 10, 40, 100, 20, top, 1112);
  SetFocus(secret);
  ui::TypeText(u"7i9W");
  SetFocus(top);
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(Text(secret), u"7i9W");
  RECT a = ui::StateOf(secret).screenRect;
  RECT b = ui::StateOf(masks).screenRect;
  int differing = 0;
  for (int y = 0; y < a.bottom - a.top; ++y)
    for (int x = 0; x < a.right - a.left; ++x) differing += ui::ColorAt(a.left + x, a.top + y) != ui::ColorAt(b.left + x, b.top + y);
  EXPECT_EQ(differing, 0);
  EXPECT_TRUE(DarkIn(a.left + 2, a.top + 2, a.right - 2, a.bottom - 2));  // the masks are drawn
  Shot("edit_password");
  DestroyWindow(top);
}

TEST(UiStandardControls, ListBoxSortsSelectsAndScrolls) {
  HWND top = MakeParent();
  HWND list = Make(u"LISTBOX", u"", WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_SORT | LBS_USETABSTOPS | LBS_EXTENDEDSEL,
                   0, 0, 240, 120, top, 4096);
  for (LPCWSTR name : {u"banana\t0779", u"Apple\t0123", u"cherry\t0456", u"apple pie\t0888", u"Banana split\t0999"}) {
    LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(name[1]));
  }
  // Case-insensitive order, item data moving with the rows.
  EXPECT_EQ(RowText(list, 0), u"Apple\t0123");
  EXPECT_EQ(RowText(list, 1), u"apple pie\t0888");
  EXPECT_EQ(RowText(list, 2), u"banana\t0779");
  EXPECT_EQ(RowText(list, 3), u"Banana split\t0999");
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 4, 0), u'h');

  // Tab stops in dialog base units: the second column starts 100 pixels in.
  int base = LOWORD(GetDialogBaseUnits());
  int stops[] = {0, 400 / base, 240 * 4 / base};
  SendMessageW(list, LB_SETTABSTOPS, 3, reinterpret_cast<LPARAM>(stops));
  ASSERT_TRUE(ui::WaitIdle());
  RECT row;
  SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  RECT r = ui::StateOf(list).screenRect;
  int rowTop = r.top + 1 + row.top, rowBottom = r.top + 1 + row.bottom;
  EXPECT_TRUE(DarkIn(r.left + 1, rowTop, r.left + 40, rowBottom));        // "Apple"
  EXPECT_FALSE(DarkIn(r.left + 60, rowTop, r.left + 1 + 97, rowBottom));  // the gap
  EXPECT_TRUE(DarkIn(r.left + 1 + 98, rowTop, r.left + 1 + 140, rowBottom));  // "0123"

  // Extended selection: a tap, Shift widens, Ctrl toggles, a drag spans.
  int h = row.bottom - row.top;
  auto rowY = [&](int i) { return r.top + 1 + i * h + h / 2; };
  Log().clear();
  ui::Tap(30, rowY(0));
  EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
  ui::KeyDown(VK_SHIFT);
  ui::Tap(30, rowY(2));
  ui::KeyUp(VK_SHIFT);
  EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 3);
  ui::KeyDown(VK_CONTROL);
  ui::Tap(30, rowY(1));
  ui::KeyUp(VK_CONTROL);
  EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(list, LB_GETSEL, 1, 0), 0);
  EXPECT_EQ(CountNote(top, list, LBN_SELCHANGE), 3);
  ui::Drag(30, rowY(1), 30, rowY(3));
  EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(list, LB_GETSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageW(list, LB_GETSEL, 3, 0), 1);
  Shot("listbox_extended");
  // A double tap reports LBN_DBLCLK (code 2) after the selection.
  Log().clear();
  ui::DoubleTap(30, rowY(4));
  EXPECT_EQ(CountNote(top, list, LBN_DBLCLK), 1);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 4);
  // The point under the last row is outside every row.
  LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(10, 5 * h + 4));
  EXPECT_EQ(HIWORD(hit), 1);
  EXPECT_EQ(LOWORD(hit), 4);
  hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(10, h + 2));
  EXPECT_EQ(HIWORD(hit), 0);
  EXPECT_EQ(LOWORD(hit), 1);

  // Deleting and inserting keep the rows and the count straight.
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 0, 0), 4);
  EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"zulu")), 0);
  EXPECT_EQ(RowText(list, 0), u"zulu");  // inserting never sorts
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 9, 0), LB_ERR);

  // Many rows: the keys move the top row.
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
  for (int i = 0; i < 40; ++i) {
    std::u16string name = u"Contact " + std::u16string(1, static_cast<char16_t>(u'A' + i / 10)) +
                          std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  SetFocus(list);
  Log().clear();
  ui::PressKey(VK_END);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 39);
  int visible = (r.bottom - r.top - 2) / h;
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 40 - visible);
  ui::PressKey(VK_HOME);
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
  EXPECT_EQ(CountNote(top, list, LBN_SELCHANGE), 2);
  Shot("listbox_scrolled");
  DestroyWindow(top);
}

TEST(UiStandardControls, SingleSelectionListBoxAndItsErrors) {
  HWND top = MakeParent();
  HWND list = Make(u"LISTBOX", u"", WS_BORDER, 0, 0, 200, 100, top, 5);
  for (LPCWSTR s : {u"one", u"two", u"three"}) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  EXPECT_EQ(RowText(list, 2), u"three");  // not sorted without LBS_SORT
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(SendMessageW(list, LB_GETSEL, 1, 0), 1);
  EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), LB_ERR);  // a single-selection list has no count
  EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 7, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 3, 0), LB_ERR);
  // Without LBS_NOTIFY the parent hears nothing of a tap.
  Log().clear();
  ASSERT_TRUE(ui::WaitIdle());
  RECT r = ui::StateOf(list).screenRect;
  ui::Tap(r.left + 20, r.top + 4);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(Notes(top, list).empty());
  // The selected row is deleted: nothing is selected.
  SendMessageW(list, LB_DELETESTRING, 0, 0);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
  DestroyWindow(top);
}

TEST(UiStandardControls, ComboBoxTypedTextVersusChosenRow) {
  HWND top = MakeParent();
  Make(u"STATIC", u"Under the list", 0, 10, 40, 150, 20, top, 99);
  HWND combo = Make(u"COMBOBOX", u"", CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL | WS_VSCROLL, 10, 10, 150, 120, top, 1022);
  RECT field = ui::StateOf(combo).screenRect;
  EXPECT_LT(field.bottom - field.top, 40);  // the field only; the rest is the list's
  for (LPCWSTR name : {u"Mum", u"alice", u"Bob"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  char16_t buffer[32] = {};
  SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buffer));
  EXPECT_EQ(std::u16string(buffer), u"alice");
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  // Choosing a row by message shows it in the field.
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(Text(combo), u"Bob");

  // Typing into the field clears the chosen row.
  ASSERT_TRUE(ui::WaitIdle());
  ui::Tap(field.left + 20, (field.top + field.bottom) / 2);
  HWND edit = GetFocus();
  ASSERT_TRUE(IsChild(combo, edit));
  Log().clear();
  ui::PressKey(VK_END);
  ui::TypeText(u"07700");
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(Text(combo), u"Bob07700");
  EXPECT_EQ(CountNote(top, combo, CBN_EDITCHANGE), 5);
  EXPECT_EQ(CountNote(top, combo, CBN_SELCHANGE), 0);
  // Setting the text is not choosing a row either.
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  SetWindowTextW(combo, u"+447700900123");
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(Text(combo, 5), u"+447");

  // The arrow opens the list over the other windows; a tap on a row chooses it.
  ui::Tap(field.right - 5, (field.top + field.bottom) / 2);
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), TRUE);
  HWND list = ui::FindByClass(u"ComboLBox");
  ASSERT_NE(list, nullptr);
  RECT listRect = ui::StateOf(list).screenRect;
  EXPECT_EQ(listRect.top, field.bottom);
  EXPECT_EQ(WindowFromPoint(POINT{20, 50 + kTop}), list);  // above the label it covers
  Shot("combobox_dropped");
  Log().clear();
  int rowHeight = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  ui::Tap(listRect.left + 20, listRect.top + 1 + 2 * rowHeight + rowHeight / 2);  // "Mum"
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), FALSE);
  EXPECT_FALSE(ui::StateOf(list).visible);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Text(combo), u"Mum");
  EXPECT_EQ(CountNote(top, combo, CBN_SELCHANGE), 1);
  // A tap outside the open list closes it and changes nothing.
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  ui::Tap(200, 300);
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), FALSE);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  // The keys move through the rows of a closed box.
  SetFocus(combo);
  ui::PressKey(VK_UP);
  EXPECT_EQ(Text(combo), u"Bob");
  EXPECT_EQ(CountNote(top, combo, CBN_SELCHANGE), 2);
  DestroyWindow(top);
  EXPECT_FALSE(IsWindow(list));
}

TEST(UiStandardControls, DropDownListComboChoosesOnlyRows) {
  HWND top = MakeParent();
  HWND combo = Make(u"COMBOBOX", u"", CBS_DROPDOWNLIST, 10, 10, 120, 80, top, 1003);
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Phone"));
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Sim"));
  SendMessageW(combo, CB_SETCURSEL, 1, 0);
  EXPECT_EQ(Text(combo), u"Sim");
  EXPECT_EQ(SendMessageW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Nowhere")), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"phone")), TRUE);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  // A tap anywhere on it opens the list; Escape closes it unchanged, Enter takes the row.
  ASSERT_TRUE(ui::WaitIdle());
  RECT field = ui::StateOf(combo).screenRect;
  ui::Tap(field.left + 10, (field.top + field.bottom) / 2);
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), TRUE);
  EXPECT_EQ(GetFocus(), combo);
  ui::PressKey(VK_DOWN);
  ui::PressKey(VK_ESCAPE);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  ui::Tap(field.left + 10, (field.top + field.bottom) / 2);
  Log().clear();
  ui::PressKey(VK_DOWN);
  ui::PressKey(VK_RETURN);
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), FALSE);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(CountNote(top, combo, CBN_SELCHANGE), 1);
  Shot("combobox_dropdownlist");
  DestroyWindow(top);
}

TEST(UiStandardControls, ButtonsClickCheckAndChangeTheirText) {
  HWND top = MakeParent();
  HWND send = Make(u"BUTTON", u"Send", BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 10, 60, 24, top, 1011);
  HWND cancel = Make(u"BUTTON", u"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 80, 10, 60, 24, top, 2);
  HWND log = Make(u"BUTTON", u"Create log file", BS_AUTOCHECKBOX | WS_TABSTOP, 10, 50, 150, 16, top, 1031);
  Make(u"STATIC", u"SMS service centre address:", SS_LEFT, 10, 100, 220, 16, top, -1);
  Make(u"STATIC", u"Centred", SS_CENTER, 10, 120, 220, 16, top, -1);
  ASSERT_TRUE(ui::WaitIdle());
  Log().clear();
  ui::TapWindow(send);
  EXPECT_EQ(Notes(top, send), std::vector<int>{BN_CLICKED});
  // Sliding off before lifting the stylus is no click.
  RECT r = ui::StateOf(cancel).screenRect;
  ui::Press(r.left + 10, r.top + 10);
  EXPECT_EQ(SendMessageW(cancel, BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
  ui::MoveTo(r.left + 10, r.bottom + 30);
  ui::Release(r.left + 10, r.bottom + 30);
  EXPECT_TRUE(Notes(top, cancel).empty());
  // Space clicks the focused button; the text can change afterwards.
  SetFocus(cancel);
  ui::PressKey(VK_SPACE);
  EXPECT_EQ(CountNote(top, cancel, BN_CLICKED), 1);
  SetWindowTextW(cancel, u"OK");
  EXPECT_EQ(Text(cancel), u"OK");

  // An automatic check box ticks itself.
  EXPECT_EQ(SendMessageW(log, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  ui::TapWindow(log);
  EXPECT_EQ(SendMessageW(log, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(CountNote(top, log, BN_CLICKED), 1);
  SendMessageW(log, BM_SETCHECK, BST_UNCHECKED, 0);
  EXPECT_EQ(SendMessageW(log, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(send, BM_GETCHECK, 0, 0), BST_UNCHECKED);  // push buttons have no tick
  Shot("buttons_and_labels");
  // A disabled button takes no taps.
  EnableWindow(send, FALSE);
  ui::TapWindow(send);
  EXPECT_EQ(CountNote(top, send, BN_CLICKED), 1);  // disabled: no click
  DestroyWindow(top);
}

}  // namespace
