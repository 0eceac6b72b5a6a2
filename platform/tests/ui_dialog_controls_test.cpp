// A dialog built from a template holding every control kind, used as a
// user would: filled in with the stylus and keys, walked with Tab, and
// confirmed with the taskbar's "ok", Enter and Escape. The dialog reads its
// controls back when it is confirmed, as the program's dialogs do.
#include <aygshell.h>
#include <commctrl.h>
#include <kvresources.h>

#include <future>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ui_test_support.h"
#include "wait_until.h"

namespace ui = kvplatform::uitest;
namespace res = kvresources;
using uitest_support::ScreenshotPath;

namespace {

enum : int {
  kName = 1101, kNote, kAsk, kList, kCombo, kProgress, kStep, kTabs, kTree, kView,
};

// What the dialog read from its controls when it was confirmed.
struct ReadBack {
  bool read = false;
  std::u16string name, note, listText, comboText, treeText, viewText;
  int ask = -1, listIndex = -2, comboIndex = -2, progress = -1, tab = -1, viewMark = -2;
  // As a tuple, so that a failed comparison prints every field.
  auto Fields() const {
    return std::tie(read, name, note, listText, comboText, treeText, viewText, ask, listIndex, comboIndex, progress,
                    tab, viewMark);
  }
};
ReadBack gRead;

std::u16string TextOfItem(HWND dialog, int id) {
  char16_t buffer[256] = {};
  GetDlgItemTextW(dialog, id, buffer, 256);
  return buffer;
}

void ReadControls(HWND dialog) {
  ReadBack r;
  r.read = true;
  r.name = TextOfItem(dialog, kName);
  r.note = TextOfItem(dialog, kNote);
  r.ask = static_cast<int>(SendDlgItemMessageW(dialog, kAsk, BM_GETCHECK, 0, 0));
  r.listIndex = static_cast<int>(SendDlgItemMessageW(dialog, kList, LB_GETCURSEL, 0, 0));
  char16_t buffer[64] = {};
  if (r.listIndex >= 0) {
    SendDlgItemMessageW(dialog, kList, LB_GETTEXT, r.listIndex, reinterpret_cast<LPARAM>(buffer));
    r.listText = buffer;
  }
  r.comboIndex = static_cast<int>(SendDlgItemMessageW(dialog, kCombo, CB_GETCURSEL, 0, 0));
  r.comboText = TextOfItem(dialog, kCombo);
  r.progress = static_cast<int>(SendDlgItemMessageW(dialog, kProgress, PBM_GETPOS, 0, 0));
  r.tab = static_cast<int>(SendDlgItemMessageW(dialog, kTabs, TCM_GETCURSEL, 0, 0));
  auto selected = reinterpret_cast<HTREEITEM>(SendDlgItemMessageW(dialog, kTree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (selected) r.treeText = uitest_support::TreeItemText(GetDlgItem(dialog, kTree), selected);
  r.viewMark = static_cast<int>(SendDlgItemMessageW(dialog, kView, LVM_GETSELECTIONMARK, 0, 0));
  int selectedRow = static_cast<int>(SendDlgItemMessageW(dialog, kView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                         LVNI_SELECTED));
  if (selectedRow >= 0) r.viewText = uitest_support::ListItemText(GetDlgItem(dialog, kView), selectedRow);
  gRead = r;
}

void FillControls(HWND dialog) {
  for (const char16_t* name : {u"Carla", u"anna", u"Bert"})
    SendDlgItemMessageW(dialog, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  for (const char16_t* number : {u"+49 170 1", u"+49 171 2"})
    SendDlgItemMessageW(dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(number));
  SendDlgItemMessageW(dialog, kCombo, CB_SETCURSEL, 1, 0);
  for (int i = 0; i < 2; ++i) {
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<LPWSTR>(i == 0 ? u"Phone" : u"SIM");
    SendDlgItemMessageW(dialog, kTabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&tab));
  }
  for (const char16_t* folder : {u"Inbox", u"Outbox", u"Sent"}) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<LPWSTR>(folder);
    SendDlgItemMessageW(dialog, kTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
  }
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH | LVCF_TEXT;
  column.cx = 100;
  column.pszText = const_cast<LPWSTR>(u"Name");
  SendDlgItemMessageW(dialog, kView, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  SendDlgItemMessageW(dialog, kView, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  int row = 0;
  for (const char16_t* name : {u"Dirk", u"Emma", u"Fritz"}) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row++;
    item.pszText = const_cast<LPWSTR>(name);
    SendDlgItemMessageW(dialog, kView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
}

INT_PTR CALLBACK EveryControlProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SHINITDLGINFO info{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
    SHInitDialog(&info);
    FillControls(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case kStep:
      SendDlgItemMessageW(dialog, kProgress, PBM_STEPIT, 0, 0);
      return TRUE;
    case IDOK:
      ReadControls(dialog);
      EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

std::vector<BYTE> EveryControlTemplate() {
  return res::DialogTemplateBytes({0, 0, 130, 150, WS_POPUP | WS_VISIBLE, u"Every control", {
      res::LText(u"Name:", -1, 2, 2, 24, 10),
      res::EditText(kName, 28, 2, 48, 12, ES_AUTOHSCROLL | WS_TABSTOP),
      res::EditText(kNote, 80, 2, 48, 24, ES_MULTILINE | ES_WANTRETURN | WS_TABSTOP),
      res::AutoCheckBox(u"Ask", kAsk, 2, 16, 40, 10, WS_TABSTOP),
      res::ListBox(kList, 2, 30, 50, 36, LBS_SORT | LBS_NOTIFY | WS_BORDER | WS_TABSTOP),
      res::ComboBox(kCombo, 56, 30, 72, 50, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_TABSTOP),
      res::Control(u"", kProgress, PROGRESS_CLASSW, WS_BORDER, 56, 46, 44, 8),
      res::PushButton(u"Step", kStep, 104, 44, 24, 12, WS_TABSTOP),
      res::Control(u"", kTabs, WC_TABCONTROLW, TCS_BOTTOM | WS_TABSTOP, 56, 58, 72, 14),
      res::Control(u"", kTree, WC_TREEVIEWW, TVS_HASLINES | WS_BORDER | WS_TABSTOP, 2, 74, 50, 44),
      res::Control(u"", kView, WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_BORDER | WS_TABSTOP,
                   56, 74, 72, 44),
      res::DefPushButton(u"OK", IDOK, 2, 122, 40, 14, WS_TABSTOP),
      res::PushButton(u"Cancel", IDCANCEL, 46, 122, 40, 14, WS_TABSTOP),
  }});
}

// The dialog runs on a thread of its own, as on the program's UI thread.
std::future<INT_PTR> RunDialog(const std::vector<BYTE>& bytes) {
  gRead = ReadBack{};
  return std::async(std::launch::async, [&bytes] {
    return DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(bytes.data()), nullptr,
                                   EveryControlProc, 0);
  });
}

HWND WaitForDialog() {
  HWND found = nullptr;
  kvtest::WaitUntil([&] {
    ui::WaitIdle();
    HWND w = ui::FindByText(u"Every control");
    found = w && ui::StateOf(w).visible ? w : nullptr;
    return found != nullptr;
  });
  return found;
}

RECT ScreenRect(HWND dialog, int id) { return ui::StateOf(GetDlgItem(dialog, id)).screenRect; }

int FocusedId(HWND dialog) {
  const int ids[] = {kName, kNote, kAsk, kList, kCombo, kStep, kTabs, kTree, kView, IDOK, IDCANCEL};
  for (int id : ids) {
    HWND control = GetDlgItem(dialog, id);
    if (ui::StateOf(control).focused) return id;
    // A combo box's focus is in its edit part.
    for (HWND child = GetWindow(control, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if (ui::StateOf(child).focused) return id;
  }
  return 0;
}

TEST(UiDialogControls, EveryControlKindIsFilledInWalkedWithTabAndReadBack) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                             ICC_PROGRESS_CLASS};
  ASSERT_TRUE(InitCommonControlsEx(&init));
  uitest_support::RegisterRecorder();  // the headless screen
  std::vector<BYTE> bytes = EveryControlTemplate();

  // Tab walks every tab stop in template order and wraps; labels and the
  // progress bar are skipped.
  auto run = RunDialog(bytes);
  HWND dialog = WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(FocusedId(dialog), kName);
  std::vector<int> order;
  for (int i = 0; i < 11; ++i) {
    ui::PressKey(VK_TAB);
    order.push_back(FocusedId(dialog));
  }
  EXPECT_EQ(order, (std::vector<int>{kNote, kAsk, kList, kCombo, kStep, kTabs, kTree, kView, IDOK, IDCANCEL, kName}));

  // Fill in every control: typing, taps and arrow keys.
  ui::TypeText(u"Ann");  // Tab selected the name's text: typing replaces it
  ui::PressKey(VK_TAB);
  ui::TypeText(u"ab");
  ui::PressKey(VK_RETURN);  // the note wants Enter: a new line, not OK
  ui::TypeText(u"cd");
  ui::PressKey(VK_TAB);
  ui::PressKey(VK_SPACE);  // the check box
  RECT list = ScreenRect(dialog, kList);
  ui::Tap(list.left + 10, list.top + 4);  // the first row: sorted, "anna"
  ui::PressKey(VK_DOWN);                  // "Bert"
  RECT combo = ScreenRect(dialog, kCombo);
  ui::Tap(combo.left + 10, combo.top + 6);
  EXPECT_EQ(FocusedId(dialog), kCombo);
  ui::PressKey(VK_END);
  ui::TypeText(u"9");  // typing in the edit part leaves no selection
  ui::TapWindow(GetDlgItem(dialog, kStep));
  ui::TapWindow(GetDlgItem(dialog, kStep));
  for (int i = 0; i < 11 && FocusedId(dialog) != kTabs; ++i) ui::PressKey(VK_TAB);
  ASSERT_EQ(FocusedId(dialog), kTabs);
  ui::PressKey(VK_RIGHT);  // "SIM"
  ui::PressKey(VK_TAB);
  ui::PressKey(VK_DOWN);  // no caret yet: the first folder
  ui::PressKey(VK_DOWN);  // then the next
  RECT view = ScreenRect(dialog, kView);
  int rowY = -1;
  for (int y = view.top + 2; y < view.bottom - 2 && rowY < 0; ++y) {
    ui::Tap(view.left + 20, y);
    if (SendDlgItemMessageW(dialog, kView, LVM_GETSELECTIONMARK, 0, 0) == 1) rowY = y;
  }
  EXPECT_GE(rowY, 0) << "no tap selected the second list view row";
  ASSERT_TRUE(ui::WaitIdle());
  ASSERT_TRUE(ui::SaveScreenshot(ScreenshotPath("dialog_every_control")));

  // The taskbar's "ok" confirms; the dialog reads what was entered.
  ui::Tap(240 - 15, 13);
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(run.get(), IDOK);
  ReadBack filled{true, u"Ann", u"ab\r\ncd", u"Bert", u"+49 171 29", u"Outbox", u"Emma", BST_CHECKED, 1, -1, 20, 1, 1};
  EXPECT_EQ(gRead.Fields(), filled.Fields());
  EXPECT_FALSE(IsWindow(dialog));

  // Enter in the single-line name goes to the default button: OK, with the
  // untouched controls as filled in.
  run = RunDialog(bytes);
  dialog = WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  ui::TypeText(u"Bo");
  ui::PressKey(VK_RETURN);
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(run.get(), IDOK);
  ReadBack asFilledIn{true, u"Bo", u"", u"", u"+49 171 2", u"", u"", BST_UNCHECKED, -1, 1, 0, 0, -1};
  EXPECT_EQ(gRead.Fields(), asFilledIn.Fields());

  // Escape cancels: nothing is read, whatever was typed.
  run = RunDialog(bytes);
  dialog = WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  ui::TypeText(u"Cy");
  ui::PressKey(VK_TAB);
  ui::TypeText(u"gone");
  ui::PressKey(VK_ESCAPE);
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(run.get(), IDCANCEL);
  EXPECT_FALSE(gRead.read);
  EXPECT_FALSE(IsWindow(dialog));
}

}  // namespace
