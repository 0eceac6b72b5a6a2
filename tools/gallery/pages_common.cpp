// Pages for the common controls: progress bar, tab control, tree view and
// list view in report view.
#include <commctrl.h>

#include <string>

#include "gallery_pages.h"
#include "ui/testing.h"

namespace gallery {

namespace ui = kvplatform::uitest;
namespace res = kvresources;

namespace {

template <typename T>
LPARAM AsParam(T* pointer) {
  return reinterpret_cast<LPARAM>(pointer);
}

// ---- progress bar ------------------------------------------------------------------------------
constexpr int kProgress = 1041, kStep = 1042, kReset = 1043;

res::DialogDefinition ProgressLayout() {
  short w = static_cast<short>(PageWidthUnits());
  return PageDialog(u"Progress bar", {
      res::LText(u"Reading messages from the phone:", -1, 4, 4, static_cast<short>(w - 8), 10),
      res::Control(u"", kProgress, PROGRESS_CLASSW, WS_BORDER, 4, 18, static_cast<short>(w - 8), 10),
      res::PushButton(u"Step", kStep, 4, 36, 50, 14, WS_TABSTOP),
      res::PushButton(u"Reset", kReset, 60, 36, 50, 14, WS_TABSTOP),
  });
}

void ShowPosition(HWND dialog) {
  LRESULT position = SendDlgItemMessageW(dialog, kProgress, PBM_GETPOS, 0, 0);
  SetStatus(dialog, u"Position " + Number(static_cast<long>(position)) + u" of 100.");
}

void ProgressFill(HWND dialog) {
  SendDlgItemMessageW(dialog, kProgress, PBM_SETPOS, 30, 0);
  ShowPosition(dialog);
}

INT_PTR ProgressReact(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
  if (LOWORD(wParam) == kStep) {
    SendDlgItemMessageW(dialog, kProgress, PBM_STEPIT, 0, 0);
  } else if (LOWORD(wParam) == kReset) {
    SendDlgItemMessageW(dialog, kProgress, PBM_SETPOS, 0, 0);
  } else {
    return FALSE;
  }
  ShowPosition(dialog);
  return TRUE;
}

void ProgressDemo(HWND dialog) {
  for (int i = 0; i < 3; ++i) ui::TapWindow(GetDlgItem(dialog, kStep));
}

// ---- tab control -------------------------------------------------------------------------------
constexpr int kTabs = 1051, kTabText = 1052;
const char16_t* const kTabNames[] = {u"All", u"Phone", u"SIM"};
const char16_t* const kTabDescriptions[] = {u"Every contact, from the phone and the SIM card.",
                                            u"Contacts kept in the phone's memory.",
                                            u"Contacts kept on the SIM card."};

res::DialogDefinition TabLayout() {
  short w = static_cast<short>(PageWidthUnits());
  return PageDialog(u"Tab control", {
      res::Control(u"", kTabs, WC_TABCONTROLW, TCS_BOTTOM | WS_TABSTOP, 0, 0, w,
                   static_cast<short>(PageHeightUnits() - 16)),
      res::LText(u"", kTabText, 8, 8, static_cast<short>(w - 16), 30),
  });
}

void ShowTab(HWND dialog) {
  auto index = static_cast<int>(SendDlgItemMessageW(dialog, kTabs, TCM_GETCURSEL, 0, 0));
  if (index < 0 || index > 2) return;
  SetDlgItemTextW(dialog, kTabText, kTabDescriptions[index]);
  SetStatus(dialog, std::u16string(u"Tab \"") + kTabNames[index] + u"\" shown.");
}

void TabFill(HWND dialog) {
  HWND tabs = GetDlgItem(dialog, kTabs);
  for (int i = 0; i < 3; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(kTabNames[i]);
    SendMessageW(tabs, TCM_INSERTITEMW, i, AsParam(&item));
  }
  // The page text sits in the display area the control leaves for it.
  RECT area;
  GetClientRect(tabs, &area);
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, AsParam(&area));
  MapWindowPoints(tabs, dialog, reinterpret_cast<POINT*>(&area), 2);
  MoveWindow(GetDlgItem(dialog, kTabText), area.left + 6, area.top + 6, area.right - area.left - 12, 48, TRUE);
  BringWindowToTop(GetDlgItem(dialog, kTabText));
  ShowTab(dialog);
}

INT_PTR TabReact(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_NOTIFY) return FALSE;
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->idFrom != kTabs || header->code != TCN_SELCHANGE) return FALSE;
  ShowTab(dialog);
  return TRUE;
}

void TabDemo(HWND dialog) {
  HWND tabs = GetDlgItem(dialog, kTabs);
  SetFocus(tabs);
  ui::WaitIdle();
  ui::PressKey(VK_RIGHT);
}

// ---- tree view ---------------------------------------------------------------------------------
constexpr int kTree = 1061;

res::DialogDefinition TreeLayout() {
  short w = static_cast<short>(PageWidthUnits());
  return PageDialog(u"Tree view", {
      res::Control(u"", kTree, WC_TREEVIEWW,
                   TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 4, 4,
                   static_cast<short>(w - 8), 120),
  });
}

HTREEITEM AddTreeItem(HWND tree, HTREEITEM parent, const char16_t* text, bool hasChildren = false) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
  insert.item.pszText = const_cast<LPWSTR>(text);
  insert.item.cChildren = hasChildren ? 1 : 0;
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, AsParam(&insert)));
}

void TreeFill(HWND dialog) {
  HWND tree = GetDlgItem(dialog, kTree);
  HTREEITEM messages = AddTreeItem(tree, TVI_ROOT, u"Messages", true);
  for (const char16_t* folder : {u"Inbox", u"Outbox", u"Sent"}) AddTreeItem(tree, messages, folder);
  HTREEITEM contacts = AddTreeItem(tree, TVI_ROOT, u"Contacts", true);
  AddTreeItem(tree, contacts, u"Phone");
  AddTreeItem(tree, contacts, u"SIM card");
  AddTreeItem(tree, TVI_ROOT, u"Call log");
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, AsParam(messages));
  SetStatus(dialog, u"Tap a folder; + and - open and close.");
}

INT_PTR TreeReact(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_NOTIFY) return FALSE;
  auto* change = reinterpret_cast<NMTREEVIEWW*>(lParam);
  if (change->hdr.idFrom != kTree || change->hdr.code != TVN_SELCHANGEDW) return FALSE;
  char16_t text[64] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = change->itemNew.hItem;
  item.pszText = text;
  item.cchTextMax = 64;
  SendDlgItemMessageW(dialog, kTree, TVM_GETITEMW, 0, AsParam(&item));
  SetStatus(dialog, std::u16string(u"Folder: ") + text);
  return TRUE;
}

void TreeDemo(HWND dialog) {
  HWND tree = GetDlgItem(dialog, kTree);
  SetFocus(tree);
  ui::WaitIdle();
  ui::PressKey(VK_DOWN);
  ui::PressKey(VK_DOWN);
}

// ---- list view ---------------------------------------------------------------------------------
constexpr int kList = 1071;
int gSortColumn = 0;

res::DialogDefinition ListLayout() {
  short w = static_cast<short>(PageWidthUnits());
  return PageDialog(u"List view", {
      res::Control(u"", kList, WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_BORDER | WS_TABSTOP,
                   4, 4, static_cast<short>(w - 8), 120),
  });
}

struct Contact {
  const char16_t* name;
  const char16_t* number;
};
const Contact kContacts[] = {{u"Greta", u"0177 888"}, {u"Anna", u"0171 222"},  {u"Paul", u"0160 123"},
                             {u"Carla", u"0173 444"}, {u"Mia", u"0163 456"},   {u"Bert", u"0172 333"},
                             {u"Olga", u"0151 987"},  {u"Emma", u"0175 666"}};

int CALLBACK CompareContacts(LPARAM a, LPARAM b, LPARAM column) {
  const Contact& left = kContacts[a];
  const Contact& right = kContacts[b];
  std::u16string l = column == 0 ? left.name : left.number, r = column == 0 ? right.name : right.number;
  return l < r ? -1 : l > r ? 1 : 0;
}

void ListFill(HWND dialog) {
  HWND list = GetDlgItem(dialog, kList);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = LVCFMT_LEFT;
  column.cx = 110;
  column.pszText = const_cast<LPWSTR>(u"Name");
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, AsParam(&column));
  column.cx = 106;
  column.pszText = const_cast<LPWSTR>(u"Number");
  SendMessageW(list, LVM_INSERTCOLUMNW, 1, AsParam(&column));
  int row = 0;
  for (const Contact& contact : kContacts) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = const_cast<LPWSTR>(contact.name);
    item.lParam = row;
    int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, AsParam(&item)));
    LVITEMW number{};
    number.iSubItem = 1;
    number.pszText = const_cast<LPWSTR>(contact.number);
    SendMessageW(list, LVM_SETITEMTEXTW, index, AsParam(&number));
    ++row;
  }
  SetStatus(dialog, u"Tap a heading to sort; double tap opens.");
}

INT_PTR ListReact(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_NOTIFY) return FALSE;
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->idFrom != kList) return FALSE;
  HWND list = header->hwndFrom;
  if (header->code == LVN_COLUMNCLICK) {
    gSortColumn = reinterpret_cast<NMLISTVIEW*>(lParam)->iSubItem;
    SendMessageW(list, LVM_SORTITEMS, gSortColumn, reinterpret_cast<LPARAM>(CompareContacts));
    SetStatus(dialog, gSortColumn == 0 ? u"Sorted by name." : u"Sorted by number.");
    return TRUE;
  }
  if (header->code == LVN_ITEMACTIVATE) {
    int index = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem;
    char16_t name[64] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = name;
    item.cchTextMax = 64;
    SendMessageW(list, LVM_GETITEMTEXTW, index, AsParam(&item));
    SetStatus(dialog, std::u16string(u"Opened ") + name + u".");
    return TRUE;
  }
  return FALSE;
}

void ListDemo(HWND dialog) {
  HWND list = GetDlgItem(dialog, kList);
  RECT r = ui::StateOf(list).screenRect;
  ui::Tap(r.left + 20, r.top + 8);  // the "Name" heading
  ui::Tap(r.left + 20, r.top + 45);
}

}  // namespace

Page ProgressPage() {
  return {u"Progress bar", "gallery_progress", ProgressLayout, ProgressFill, ProgressReact, ProgressDemo};
}
Page TabControlPage() { return {u"Tab control", "gallery_tab_control", TabLayout, TabFill, TabReact, TabDemo}; }
Page TreeViewPage() { return {u"Tree view", "gallery_tree_view", TreeLayout, TreeFill, TreeReact, TreeDemo}; }
Page ListViewPage() { return {u"List view", "gallery_list_view", ListLayout, ListFill, ListReact, ListDemo}; }

}  // namespace gallery
