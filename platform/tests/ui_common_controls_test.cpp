// The common controls in the headless screen: progress bar, tab control,
// tree view and list view, driven by messages and by the stylus and keys,
// with a parent that records every notification it receives.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "ui/painting/paint.h"
#include "ui/painting/style_painter.h"
#include "ui_test_support.h"

namespace ui = kvplatform::uitest;
using uitest_support::ScreenshotPath;
using uitest_support::TreeItemText;

namespace {

struct Notice {
  HWND from;
  UINT_PTR id;
  int code;
  int item = 0;         // NMLISTVIEW / NMITEMACTIVATE iItem
  int subItem = 0;
  HTREEITEM treeNew = nullptr;  // NMTREEVIEW itemNew.hItem
  UINT action = 0;
  int to = 0;           // NMLVCACHEHINT: the last row
};

std::vector<Notice> gNotices;
int gDestroyOnCode = 0;        // destroy the sender on this code
std::set<int> gRowsAsked;      // owner data: rows whose text or fields were asked for
std::u16string gRowText;       // owner data: a text answered by pointer

// Owner data: the parent's rows are "Row <n>" and "<n>" with parameter 1000 + n.
void AnswerDispInfo(NMLVDISPINFOW& info) {
  LVITEMW& item = info.item;
  gRowsAsked.insert(item.iItem);
  if (item.mask & LVIF_PARAM) item.lParam = 1000 + item.iItem;
  if (!(item.mask & LVIF_TEXT)) return;
  std::string text = (item.iSubItem == 0 ? "Row " : "") + std::to_string(item.iItem);
  gRowText.assign(text.begin(), text.end());
  if (item.iSubItem == 0) {
    int n = std::min(static_cast<int>(gRowText.size()), item.cchTextMax - 1);
    std::copy_n(gRowText.data(), n, item.pszText);
    item.pszText[n] = 0;
  } else {
    item.pszText = gRowText.data();  // answered with the parent's own text
  }
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_NOTIFY) return DefWindowProcW(hwnd, msg, wParam, lParam);
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  Notice n{hdr->hwndFrom, hdr->idFrom, static_cast<int>(hdr->code)};
  EXPECT_EQ(wParam, hdr->idFrom);
  switch (n.code) {
    case static_cast<int>(LVN_ITEMCHANGING):
    case static_cast<int>(LVN_ITEMCHANGED): {
      auto* lv = reinterpret_cast<NMLISTVIEW*>(lParam);
      n.item = lv->iItem, n.subItem = lv->iSubItem;
      break;
    }
    case static_cast<int>(LVN_COLUMNCLICK):
    case static_cast<int>(LVN_ITEMACTIVATE): {
      auto* act = reinterpret_cast<NMITEMACTIVATE*>(lParam);
      n.item = act->iItem, n.subItem = act->iSubItem;
      break;
    }
    case static_cast<int>(LVN_GETDISPINFOW):
      AnswerDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
      return 0;  // too many to record
    case static_cast<int>(LVN_ODCACHEHINT): {
      auto* hint = reinterpret_cast<NMLVCACHEHINT*>(lParam);
      n.item = hint->iFrom, n.to = hint->iTo;
      break;
    }
    case static_cast<int>(TVN_SELCHANGINGW):
    case static_cast<int>(TVN_SELCHANGEDW): {
      auto* tv = reinterpret_cast<NMTREEVIEWW*>(lParam);
      n.treeNew = tv->itemNew.hItem, n.action = tv->action;
      break;
    }
    default: break;
  }
  gNotices.push_back(n);
  if (n.code == gDestroyOnCode) DestroyWindow(hdr->hwndFrom);
  return 0;
}

std::vector<int> Codes() {
  std::vector<int> codes;
  for (auto& n : gNotices) codes.push_back(n.code);
  return codes;
}
int CountOf(int code) {
  int count = 0;
  for (auto& n : gNotices) count += n.code == code;
  return count;
}
const Notice* LastOf(int code) {
  for (auto it = gNotices.rbegin(); it != gNotices.rend(); ++it)
    if (it->code == code) return &*it;
  return nullptr;
}

constexpr int kTreeButtonX = 8;  // the middle of the first indent column, where the root's button is

// A list view hit test at a client point; iItem holds what the message returned.
LVHITTESTINFO HitList(HWND list, int x, int y) {
  LVHITTESTINFO hit{};
  hit.pt = POINT{x, y};
  hit.iItem = static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return hit;
}

// How far down from y = 30 the next row starts, plus a little.
int ListRowStep(HWND list) {
  for (int y = 31; y < 80; ++y)
    if (HitList(list, 50, y).iItem != HitList(list, 50, 30).iItem) return y - 30 + 2;
  return 0;
}

HWND MakeParent() {
  static bool registered = [] {
    setenv("KORVANET_DISPLAY", "headless", 1);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = u"KvNoticeRecorder";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    return RegisterClassW(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  gNotices.clear();
  gDestroyOnCode = 0;
  return CreateWindowExW(0, u"KvNoticeRecorder", u"Controls", WS_VISIBLE, 0, 26, 240, 294, nullptr, nullptr, nullptr, nullptr);
}

HWND MakeControl(LPCWSTR cls, DWORD style, int x, int y, int w, int h, HWND parent, int id) {
  return CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

// Client point of a control -> screen point, for the stylus.
POINT OnScreen(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  return p;
}
void TapAt(HWND window, int x, int y) {
  POINT p = OnScreen(window, x, y);
  ui::Tap(p.x, p.y);
}

TEST(UiCommonControls, ProgressBarStepsWrapsAndClamps) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_PROGRESS_CLASS};
  ASSERT_TRUE(InitCommonControlsEx(&init));
  HWND parent = MakeParent();
  HWND bar = MakeControl(PROGRESS_CLASSW, WS_BORDER, 10, 40, 220, 16, parent, 1022);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
  // Default range 0..100, step 10: ten steps reach the end, the next starts over.
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(SendMessageW(bar, PBM_STEPIT, 0, 0), (i - 1) * 10);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 100);
  SendMessageW(bar, PBM_STEPIT, 0, 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 10);
  EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 500, 0), 10);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 100);  // clamped to the range
  SendMessageW(bar, PBM_SETPOS, 50, 0);
  ASSERT_TRUE(ui::WaitIdle());
  // Half of the bar is in the highlight colour, the rest white.
  POINT filled = OnScreen(bar, 50, 8), empty = OnScreen(bar, 180, 8);
  EXPECT_EQ(ui::ColorAt(filled.x, filled.y), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(ui::ColorAt(empty.x, empty.y), GetSysColor(COLOR_WINDOW));
  ui::SaveScreenshot(ScreenshotPath("common_progress"));
  DestroyWindow(parent);
}

TEST(UiCommonControls, TabControlGivesItsDisplayAreaAndTellsOfChanges) {
  HWND parent = MakeParent();
  HWND tabs = MakeControl(WC_TABCONTROLW, TCS_BOTTOM | WS_BORDER, 0, 0, 240, 268, parent, 7);
  ASSERT_NE(tabs, nullptr);
  const char16_t* names[] = {u"All", u"Phone", u"Sim"};
  for (int i = 0; i < 3; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(names[i]);
    EXPECT_EQ(SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item)), i);
  }
  EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
  // The display area: inside the one-pixel border, above the strip at the bottom.
  RECT area{0, 0, 240, 268};
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  EXPECT_EQ(std::vector<LONG>({area.left, area.top, area.right}), std::vector<LONG>({1, 1, 239}));
  EXPECT_LT(area.bottom, 267);
  EXPECT_GT(area.bottom, 200);

  // A tap on the second tab: changing, then changed (-551).
  ASSERT_TRUE(ui::WaitIdle());
  RECT client;
  GetClientRect(tabs, &client);
  int stripY = client.bottom - 8;
  int phoneX = 0;
  for (int x = 40; x < 120 && !phoneX; ++x) {  // find the second tab by tapping across the strip
    gNotices.clear();
    TapAt(tabs, x, stripY);
    if (SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == 1) phoneX = x;
  }
  ASSERT_NE(phoneX, 0);
  EXPECT_EQ(Codes(), (std::vector<int>{static_cast<int>(TCN_SELCHANGING), -551}));
  EXPECT_EQ(gNotices[0].id, 7u);
  EXPECT_EQ(gNotices[0].from, tabs);
  ui::SaveScreenshot(ScreenshotPath("common_tab_control"));
  // The arrow keys move like taps.
  SetFocus(tabs);
  gNotices.clear();
  ui::PressKey(VK_LEFT);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(CountOf(-551), 1);
  DestroyWindow(parent);
}

HTREEITEM InsertTree(HWND tree, HTREEITEM parent, HTREEITEM after, LPCWSTR text, int children = 0) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = after;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | (children ? TVIF_CHILDREN : 0);
  insert.item.pszText = const_cast<LPWSTR>(text);
  insert.item.cChildren = children;
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM Next(HWND tree, UINT code, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}

TVHITTESTINFO HitTree(HWND tree, int x, int y) {
  TVHITTESTINFO hit{};
  hit.pt = POINT{x, y};
  SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  return hit;
}

TEST(UiCommonControls, TreeViewSortsHitTestsSelectsAndExpands) {
  HWND parent = MakeParent();
  HWND tree = MakeControl(WC_TREEVIEWW, WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, 0, 26, 200, 130,
                          parent, 17461);
  ASSERT_NE(tree, nullptr);
  HTREEITEM root = InsertTree(tree, TVI_ROOT, TVI_LAST, u"Folders", 1);
  ASSERT_NE(root, nullptr);
  for (LPCWSTR name : {u"Inbox", u"Outbox", u"Sent", u"contacts"}) InsertTree(tree, root, TVI_SORT, name);
  HTREEITEM first = InsertTree(tree, root, TVI_FIRST, u"Zfirst");
  HTREEITEM last = InsertTree(tree, root, TVI_LAST, u"Alast");
  std::vector<std::u16string> order;
  for (HTREEITEM i = Next(tree, TVGN_CHILD, root); i; i = Next(tree, TVGN_NEXT, i)) order.push_back(TreeItemText(tree, i));
  EXPECT_EQ(order, (std::vector<std::u16string>{u"Zfirst", u"contacts", u"Inbox", u"Outbox", u"Sent", u"Alast"}));
  EXPECT_TRUE(SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(first)));
  EXPECT_TRUE(SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(last)));
  EXPECT_EQ(TreeItemText(tree, first), u"?");  // a deleted item's handle is stale
  HTREEITEM inbox = Next(tree, TVGN_NEXT, Next(tree, TVGN_CHILD, root));
  ASSERT_EQ(TreeItemText(tree, inbox), u"Inbox");

  // Collapsed: only the root row. Outside the client area the flags say where.
  EXPECT_EQ(Next(tree, TVGN_NEXTVISIBLE, root), nullptr);
  RECT client;
  GetClientRect(tree, &client);
  const struct {
    LONG x, y;
    UINT flags;
  } places[] = {{50, client.bottom + 3, TVHT_BELOW},        {client.right + 4, 5, TVHT_TORIGHT},
                {-4, -4, TVHT_ABOVE | TVHT_TOLEFT},         {50, client.bottom - 3, TVHT_NOWHERE},
                {190, 6, TVHT_ONITEMRIGHT}};
  for (auto& at : places) EXPECT_EQ(HitTree(tree, at.x, at.y).flags, at.flags) << at.x << "," << at.y;
  TVHITTESTINFO onButton = HitTree(tree, kTreeButtonX, 6);
  EXPECT_EQ(onButton.flags, static_cast<UINT>(TVHT_ONITEMBUTTON));
  EXPECT_EQ(onButton.hItem, root);
  TVHITTESTINFO onLabel = HitTree(tree, 30, 6);
  EXPECT_TRUE(onLabel.flags & TVHT_ONITEM);
  EXPECT_EQ(onLabel.hItem, root);

  // A tap on the button opens the root: its children follow it.
  ASSERT_TRUE(ui::WaitIdle());
  gNotices.clear();
  TapAt(tree, kTreeButtonX, 6);
  EXPECT_EQ(Next(tree, TVGN_NEXTVISIBLE, root), Next(tree, TVGN_CHILD, root));
  EXPECT_EQ(CountOf(NM_SETFOCUS), 1);
  EXPECT_EQ(CountOf(NM_CLICK), 1);
  EXPECT_EQ(CountOf(TVN_SELCHANGEDW), 0);
  // A tap on "Inbox" (third row): the click, then the selection.
  int rowHeight = 0;
  for (int y = 6; y < 60 && !rowHeight; ++y)
    if (HitTree(tree, 40, y).hItem != root) rowHeight = y;
  ASSERT_GT(rowHeight, 0);
  gNotices.clear();
  TapAt(tree, 45, rowHeight * 2 + 4);
  EXPECT_EQ(Codes(), (std::vector<int>{NM_CLICK, static_cast<int>(TVN_SELCHANGINGW), static_cast<int>(TVN_SELCHANGEDW)}));
  EXPECT_EQ(LastOf(TVN_SELCHANGEDW)->treeNew, inbox);
  EXPECT_EQ(LastOf(TVN_SELCHANGEDW)->action, static_cast<UINT>(TVC_BYMOUSE));
  EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), inbox);
  // Keys move the selection; the drop highlight is separate.
  ui::PressKey(VK_DOWN);
  EXPECT_EQ(TreeItemText(tree, Next(tree, TVGN_CARET, nullptr)), u"Outbox");
  EXPECT_TRUE(SendMessageW(tree, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(inbox)));
  EXPECT_EQ(Next(tree, TVGN_DROPHILITE, nullptr), inbox);
  ASSERT_TRUE(ui::WaitIdle());
  ui::SaveScreenshot(ScreenshotPath("common_tree_view"));
  // Collapsing hides the children; the parent may destroy the tree while it is told of a click.
  EXPECT_TRUE(SendMessageW(tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(root)));
  EXPECT_EQ(Next(tree, TVGN_NEXTVISIBLE, root), nullptr);
  EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), root);
  gDestroyOnCode = NM_CLICK;
  TapAt(tree, 30, 6);
  EXPECT_FALSE(IsWindow(tree));
  DestroyWindow(parent);
}

struct Row {
  LPCWSTR name;
  LPCWSTR date;
  LPARAM id;
};

void FillList(HWND list, const std::vector<Row>& rows) {
  for (const Row& r : rows) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = 0;
    item.pszText = const_cast<LPWSTR>(r.name);
    item.lParam = r.id;
    int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    ASSERT_EQ(index, 0);
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = const_cast<LPWSTR>(r.date);
    SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub));
  }
}

LRESULT AddColumn(HWND list, int index, int width, LPCWSTR text, int format = LVCFMT_LEFT) {
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<LPWSTR>(text);
  return SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

LPARAM ParamAt(HWND list, int index) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  return SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : -1;
}

int CALLBACK ByIdAscending(LPARAM a, LPARAM b, LPARAM context) {
  EXPECT_EQ(context, 77);
  return static_cast<int>(a - b);
}

TEST(UiCommonControls, ListViewSortsFindsSelectsAndActivates) {
  HWND parent = MakeParent();
  HWND list = MakeControl(WC_LISTVIEWW, WS_VSCROLL | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 2, 240, 200, parent, 4097);
  ASSERT_NE(list, nullptr);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  EXPECT_EQ(AddColumn(list, 0, 120, u"Name", LVCFMT_CENTER), 0);
  EXPECT_EQ(AddColumn(list, 1, 100, u"Date", LVCFMT_CENTER), 1);
  std::vector<Row> rows;
  static const char16_t* names[] = {u"Anna", u"Bert", u"Carla", u"Dirk", u"Emma", u"Fritz", u"Greta", u"Hans",
                                    u"Ines", u"Jan", u"Karin", u"Lutz", u"Mia", u"Nils", u"Olga", u"Paul"};
  for (int i = 0; i < 16; ++i) rows.push_back({names[i], u"01/02/2004", 100 + i});
  FillList(list, rows);  // each goes in at the top, so the list reads Paul ... Anna
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 16);
  EXPECT_EQ(ParamAt(list, 0), 115);

  // Sorting hands both items' lParam and the context to the comparison:
  // given row indices instead, it would leave the rows as they were.
  EXPECT_TRUE(SendMessageW(list, LVM_SORTITEMS, 77, reinterpret_cast<LPARAM>(&ByIdAscending)));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(ParamAt(list, i), 100 + i);
  // Finding by parameter.
  LVFINDINFOW find{};
  find.flags = LVFI_PARAM;
  find.lParam = 105;
  EXPECT_EQ(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 5);
  find.lParam = 999;
  EXPECT_EQ(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), -1);

  // Hit test: on a row in either column (full-row select), below the rows, outside.
  ASSERT_TRUE(ui::WaitIdle());
  LVHITTESTINFO onRow = HitList(list, 150, 30), right = HitList(list, 224, 30), above = HitList(list, 50, -3);
  const int hitRow = onRow.iItem;
  EXPECT_GE(hitRow, 0);
  EXPECT_TRUE(onRow.flags & LVHT_ONITEM);
  EXPECT_EQ(std::vector<int>({right.iItem, above.iItem}), std::vector<int>({-1, -1}));  // right of the columns, above
  EXPECT_EQ(std::vector<UINT>({right.flags, above.flags}), std::vector<UINT>({LVHT_NOWHERE, LVHT_ABOVE}));

  // A tap on a row selects it (changing, changed), then the click; the mark follows.
  gNotices.clear();
  TapAt(list, 150, 30);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), hitRow);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, hitRow, LVIS_SELECTED), LVIS_SELECTED);
  ASSERT_FALSE(gNotices.empty());
  EXPECT_EQ(gNotices.back().code, NM_CLICK);
  EXPECT_EQ(LastOf(LVN_ITEMCHANGED)->item, hitRow);
  EXPECT_EQ(CountOf(NM_SETFOCUS), 1);
  // Ctrl adds a row; a plain tap makes it one again.
  ui::KeyDown(VK_CONTROL);
  TapAt(list, 50, 30 + ListRowStep(list));
  ui::KeyUp(VK_CONTROL);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), hitRow);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, hitRow, LVNI_SELECTED), hitRow + 1);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), hitRow + 1);
  ui::SaveScreenshot(ScreenshotPath("common_list_view"));
  TapAt(list, 50, 30);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);

  // Column headers: a tap gives the column as the sub-item.
  gNotices.clear();
  TapAt(list, 170, 5);
  ASSERT_NE(LastOf(LVN_COLUMNCLICK), nullptr);
  EXPECT_EQ(LastOf(LVN_COLUMNCLICK)->subItem, 1);
  EXPECT_EQ(LastOf(LVN_COLUMNCLICK)->item, -1);
  EXPECT_EQ(CountOf(NM_CLICK), 0);
  // A double tap activates the row.
  gNotices.clear();
  POINT p = OnScreen(list, 60, 30);
  ui::DoubleTap(p.x, p.y);
  ASSERT_NE(LastOf(LVN_ITEMACTIVATE), nullptr);
  EXPECT_EQ(LastOf(LVN_ITEMACTIVATE)->item, hitRow);

  // Deleting a row above the mark keeps the mark on its row; deleting the
  // mark's own last row leaves it on the new last row. The keyboard moves
  // the selection and scrolls.
  EXPECT_EQ(SendMessageW(list, LVM_SETSELECTIONMARK, 0, 3), hitRow);
  EXPECT_TRUE(SendMessageW(list, LVM_DELETEITEM, 0, 0));
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), 2);
  EXPECT_TRUE(SendMessageW(list, LVM_DELETEITEM, 2, 0));
  SendMessageW(list, LVM_SETSELECTIONMARK, 0, 13);
  EXPECT_TRUE(SendMessageW(list, LVM_DELETEITEM, 13, 0));
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), 12);
  ui::PressKey(VK_END);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), 12);
  EXPECT_GT(GetScrollPos(list, SB_VERT), 0);
  SendMessageW(list, WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(GetScrollPos(list, SB_VERT), 0);
  DestroyWindow(parent);
}

HWND MakeOwnerDataList(HWND parent, int rows) {
  HWND list = MakeControl(WC_LISTVIEWW, WS_VSCROLL | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA, 0, 2, 240, 200,
                          parent, 4097);
  AddColumn(list, 0, 120, u"Name");
  AddColumn(list, 1, 100, u"Number");
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  EXPECT_TRUE(SendMessageW(list, LVM_SETITEMCOUNT, rows, 0));
  return list;
}

// A client y inside the row, found by hit testing; -1 when it is not shown.
int YOfRow(HWND list, int row) {
  for (int y = 0; y < 200; ++y)
    if (HitList(list, 50, y).iItem == row) return y + 2;
  return -1;
}

std::vector<int> SelectedRows(HWND list) {
  std::vector<int> rows;
  for (int i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
       i != -1 && rows.size() < 10; i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, i, LVNI_SELECTED)))
    rows.push_back(i);
  return rows;
}

TEST(UiCommonControls, OwnerDataListAsksOnlyForTheRowsItShows) {
  HWND parent = MakeParent();
  gRowsAsked.clear();
  HWND list = MakeOwnerDataList(parent, 100000);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 100000);
  ASSERT_TRUE(ui::WaitIdle());
  // The first paint asks for the rows on the screen, after a hint naming them.
  ASSERT_FALSE(gRowsAsked.empty());
  EXPECT_EQ(*gRowsAsked.begin(), 0);
  EXPECT_LT(*gRowsAsked.rbegin(), 20);
  const Notice* hint = LastOf(LVN_ODCACHEHINT);
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->item, 0);
  EXPECT_EQ(hint->to, *gRowsAsked.rbegin());
  ui::SaveScreenshot(ScreenshotPath("owner_data_list_view_top"));

  // Fields of any row come from the parent: its own buffer or its own pointer.
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = 54321;
  EXPECT_TRUE(SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(item.lParam, 1000 + 54321);
  char16_t text[16];
  item.iSubItem = 1;
  item.pszText = text;
  item.cchTextMax = 16;
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMTEXTW, 777, reinterpret_cast<LPARAM>(&item)), 3);
  EXPECT_EQ(std::u16string(text), u"777");
  item.iSubItem = 0;
  SendMessageW(list, LVM_GETITEMTEXTW, 777, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(std::u16string(text), u"Row 777");
  item.iItem = 100000;
  EXPECT_FALSE(SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));  // past the end
  // Sorting is not the control's to do.
  EXPECT_FALSE(SendMessageW(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(&ByIdAscending)));

  // A tap selects one row; Shift with a tap selects the range.
  gNotices.clear();
  TapAt(list, 50, 30);
  int first = static_cast<int>(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0));
  EXPECT_GE(first, 0);
  EXPECT_EQ(LastOf(LVN_ITEMCHANGED)->item, first);
  EXPECT_EQ(gNotices.back().code, NM_CLICK);
  ui::KeyDown(VK_SHIFT);
  TapAt(list, 50, YOfRow(list, first + 3));
  ui::KeyUp(VK_SHIFT);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 4);
  EXPECT_EQ(SelectedRows(list), (std::vector<int>{first, first + 1, first + 2, first + 3}));
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), first + 3);
  // Deleting a row in the range keeps the others selected, moved up.
  EXPECT_TRUE(SendMessageW(list, LVM_DELETEITEM, first + 1, 0));
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 99999);
  EXPECT_EQ(SelectedRows(list), (std::vector<int>{first, first + 1, first + 2}));
  // A row put in at the top moves every state down.
  LVITEMW insert{};
  insert.mask = LVIF_TEXT;
  insert.pszText = const_cast<LPWSTR>(u"");
  EXPECT_EQ(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)), 0);
  EXPECT_EQ(SelectedRows(list), (std::vector<int>{first + 1, first + 2, first + 3}));
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), first + 1);
  // Deleting the mark's own row leaves the mark on the row that took its place.
  EXPECT_TRUE(SendMessageW(list, LVM_DELETEITEM, first + 1, 0));
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), first + 1);
  EXPECT_EQ(SelectedRows(list), (std::vector<int>{first + 1, first + 2}));
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 99999);
  const int last = 99998;

  // End goes to the last row and scrolls there; only the rows shown there are asked for.
  gRowsAsked.clear();
  ui::PressKey(VK_END);
  ASSERT_TRUE(ui::WaitIdle());
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), last);
  EXPECT_EQ(SelectedRows(list), std::vector<int>{last});
  EXPECT_GT(GetScrollPos(list, SB_VERT), 99950);
  ASSERT_FALSE(gRowsAsked.empty());
  EXPECT_GT(*gRowsAsked.begin(), 99950);
  ui::SaveScreenshot(ScreenshotPath("owner_data_list_view_end"));
  ui::PressKey(VK_UP);
  EXPECT_EQ(SelectedRows(list), std::vector<int>{last - 1});

  // Selecting every row is one range and one notice; Ctrl with a tap takes one out.
  gNotices.clear();
  LVITEMW all{};
  all.stateMask = LVIS_SELECTED;
  all.state = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), last + 1);
  EXPECT_EQ(CountOf(LVN_ITEMCHANGED), 1);
  EXPECT_EQ(LastOf(LVN_ITEMCHANGED)->item, -1);
  SendMessageW(list, WM_VSCROLL, SB_TOP, 0);
  ui::KeyDown(VK_CONTROL);
  TapAt(list, 50, 30);
  ui::KeyUp(VK_CONTROL);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), last);
  // A plain tap makes it one row again; a smaller count drops states past its end.
  TapAt(list, 50, YOfRow(list, 2));
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  int kept = SelectedRows(list).front();
  SendMessageW(list, LVM_SETITEMCOUNT, kept, 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), -1);
  // The parent destroys the list while told of a change: nothing touches it afterwards.
  gDestroyOnCode = static_cast<int>(LVN_ITEMCHANGED);
  TapAt(list, 50, 30);
  EXPECT_FALSE(IsWindow(list));
  DestroyWindow(parent);
}

// The thumb of a window's vertical scroll bar dragged until the stylus is
// `beyond` pixels past the bar's bottom (or top, when negative).
void DragThumb(HWND window, int beyond) {
  RECT bar{};
  ASSERT_TRUE(kvplatform::ui::ScrollBarRect(window, SB_VERT, bar));
  SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(window, SB_VERT, &info);
  auto parts = kvplatform::ui::ScrollBarLayout(bar, true, info.nMin, info.nMax, info.nPage, info.nPos);
  int x = (bar.left + bar.right) / 2, y = (parts.thumb.top + parts.thumb.bottom) / 2;
  ui::Drag(x, y, x, beyond > 0 ? bar.bottom + beyond : bar.top + beyond, 6);
}

TEST(UiCommonControls, EveryRowScrollingControlStopsAtBothEnds) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
  ASSERT_TRUE(InitCommonControlsEx(&init));
  HWND parent = MakeParent();
  constexpr int kRows = 30;
  const DWORD style = WS_BORDER | WS_VSCROLL;
  HWND listBox = MakeControl(u"LISTBOX", style, 0, 0, 115, 120, parent, 1);
  HWND edit = MakeControl(u"EDIT", style | ES_MULTILINE, 125, 0, 115, 120, parent, 2);
  HWND tree = MakeControl(WC_TREEVIEWW, style, 0, 140, 115, 120, parent, 3);
  HWND list = MakeControl(WC_LISTVIEWW, style | LVS_REPORT, 125, 140, 115, 120, parent, 4);
  std::u16string lines;
  std::vector<HTREEITEM> treeRows;
  AddColumn(list, 0, 90, u"");
  for (int i = 0; i < kRows; ++i) {
    std::u16string text = u"row " + std::u16string(1, static_cast<char16_t>(u'A' + i));
    SendMessageW(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    lines += (i ? u"\r\n" : u"") + text;
    TVINSERTSTRUCTW node{};
    node.hInsertAfter = TVI_LAST;
    node.item.mask = TVIF_TEXT;
    node.item.pszText = text.data();
    treeRows.push_back(reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&node))));
    LVITEMW row{};
    row.mask = LVIF_TEXT;
    row.iItem = i;
    row.pszText = text.data();
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
  }
  SetWindowTextW(edit, lines.c_str());
  ASSERT_TRUE(ui::WaitIdle());
  int firstRowY = 0;  // below the list view's header
  while (firstRowY < 60 && HitList(list, 10, firstRowY).iItem != 0) ++firstRowY;

  struct Scroller {
    const char* name;
    HWND window;
    std::function<int()> top;
  };
  const Scroller scrollers[] = {
      {"list box", listBox, [&] { return static_cast<int>(SendMessageW(listBox, LB_GETTOPINDEX, 0, 0)); }},
      {"edit box", edit, [&] { return static_cast<int>(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0)); }},
      {"tree view", tree, [&] {
         auto shown = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
         return static_cast<int>(std::find(treeRows.begin(), treeRows.end(), shown) - treeRows.begin());
       }},
      {"list view", list, [&] { return HitList(list, 10, firstRowY).iItem; }},
  };
  // Each step from where the last left off; the top expected is
  // pages * page + highests * (rows - page) + plus.
  struct Step {
    WORD code;
    WORD position;
    int pages, highests, plus;
  };
  const Step steps[] = {
      {SB_BOTTOM, 0, 0, 1, 0},          {SB_LINEDOWN, 0, 0, 1, 0},  {SB_LINEUP, 0, 0, 1, -1},
      {SB_PAGEDOWN, 0, 0, 1, 0},        {SB_TOP, 0, 0, 0, 0},       {SB_LINEUP, 0, 0, 0, 0},
      {SB_PAGEDOWN, 0, 1, 0, 0},        {SB_PAGEUP, 0, 0, 0, 0},    {SB_THUMBTRACK, 5, 0, 0, 5},
      {SB_THUMBPOSITION, 999, 0, 1, 0}, {SB_ENDSCROLL, 0, 0, 1, 0}, {SB_THUMBTRACK, 0, 0, 0, 0},
  };
  for (const Scroller& c : scrollers) {
    SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(c.window, SB_VERT, &info)) << c.name;
    EXPECT_EQ(info.nMax, kRows - 1) << c.name;
    int page = static_cast<int>(info.nPage), highest = kRows - page;
    ASSERT_GT(page, 1) << c.name;
    ASSERT_GT(highest, page + 5) << c.name;
    EXPECT_EQ(c.top(), 0) << c.name;
    for (const Step& step : steps) {
      SendMessageW(c.window, WM_VSCROLL, MAKEWPARAM(step.code, step.position), 0);
      int expected = step.pages * page + step.highests * highest + step.plus;
      EXPECT_EQ(c.top(), expected) << c.name << ", scroll code " << step.code;
      EXPECT_EQ(GetScrollPos(c.window, SB_VERT), expected) << c.name << ", scroll code " << step.code;
    }
  }
  ui::SaveScreenshot(ScreenshotPath("row_scrolling_controls"));
  DestroyWindow(parent);

  // Past 65535 rows the message's 16 bits are too few: dragging the thumb
  // still reaches the last page and comes back to the first.
  parent = MakeParent();
  list = MakeControl(WC_LISTVIEWW, style | LVS_REPORT | LVS_OWNERDATA, 0, 0, 240, 200, parent, 5);
  AddColumn(list, 0, 90, u"");
  constexpr int kMany = 70000;
  SendMessageW(list, LVM_SETITEMCOUNT, kMany, 0);
  ASSERT_TRUE(ui::WaitIdle());
  SCROLLINFO info{sizeof info, SIF_PAGE, 0, 0, 0, 0, 0};
  GetScrollInfo(list, SB_VERT, &info);
  int page = static_cast<int>(info.nPage);
  DragThumb(list, 40);
  EXPECT_EQ(HitList(list, 10, firstRowY).iItem, kMany - page);
  EXPECT_EQ(GetScrollPos(list, SB_VERT), kMany - page);
  DragThumb(list, -40);
  EXPECT_EQ(HitList(list, 10, firstRowY).iItem, 0);
  DestroyWindow(parent);
}

// The darkest pixel of a screen rectangle: where text is, its full colour.
COLORREF DarkestIn(const RECT& r) {
  COLORREF darkest = RGB(255, 255, 255);
  auto weight = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (COLORREF c = ui::ColorAt(x, y); weight(c) < weight(darkest)) darkest = c;
  return darkest;
}

// The list box, a drop-down list's field, the list view and the tree view
// write their rows in grey while disabled, and in the window text colour again
// once enabled.
TEST(UiCommonControls, EveryRowControlGreysItsRowsWhileDisabled) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
  ASSERT_TRUE(InitCommonControlsEx(&init));
  HWND parent = MakeParent();
  HWND listBox = MakeControl(u"LISTBOX", 0, 0, 0, 115, 40, parent, 1);
  HWND combo = MakeControl(u"COMBOBOX", CBS_DROPDOWNLIST, 125, 0, 115, 80, parent, 2);
  HWND tree = MakeControl(WC_TREEVIEWW, 0, 0, 140, 115, 40, parent, 3);
  HWND list = MakeControl(WC_LISTVIEWW, LVS_REPORT, 125, 140, 115, 60, parent, 4);
  SendMessageW(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Inbox"));
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Inbox"));
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  InsertTree(tree, TVI_ROOT, TVI_LAST, u"Inbox");
  AddColumn(list, 0, 90, u"");
  LVITEMW row{};
  row.mask = LVIF_TEXT;
  row.pszText = const_cast<LPWSTR>(u"Inbox");
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
  ASSERT_TRUE(ui::WaitIdle());
  int firstRowY = 0;  // below the list view's header
  while (firstRowY < 40 && HitList(list, 10, firstRowY).iItem != 0) ++firstRowY;

  // Where each writes its one row, in screen coordinates, clear of frames,
  // headers and the combo box's arrow button.
  auto rowArea = [](HWND control, int top, int height, int right) {
    POINT p = OnScreen(control, 0, top);
    return RECT{p.x + 2, p.y, p.x + right, p.y + height};
  };
  struct Control {
    const char* name;
    HWND window;
    RECT row;
  };
  const Control controls[] = {
      {"list box", listBox, rowArea(listBox, 0, 14, 100)},
      {"combo box", combo, rowArea(combo, 3, 12, 80)},
      {"tree view", tree, rowArea(tree, 0, 14, 100)},
      {"list view", list, rowArea(list, firstRowY, 14, 85)},
  };
  for (const Control& c : controls) {
    EXPECT_EQ(DarkestIn(c.row), GetSysColor(COLOR_WINDOWTEXT)) << c.name;
    EnableWindow(c.window, FALSE);
    ASSERT_TRUE(ui::WaitIdle());
    EXPECT_EQ(DarkestIn(c.row), GetSysColor(COLOR_GRAYTEXT)) << c.name << ", disabled";
    EnableWindow(c.window, TRUE);
    ASSERT_TRUE(ui::WaitIdle());
    EXPECT_EQ(DarkestIn(c.row), GetSysColor(COLOR_WINDOWTEXT)) << c.name << ", enabled again";
  }
  DestroyWindow(parent);
}

}  // namespace
