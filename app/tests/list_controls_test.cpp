// The thin list controls over the system's list box and list view: the
// first column cut to its width, rows found by their record identifier.
#include <algorithm>
#include <string>
#include <vector>

#include "app/framework/epoc_control.h"
#include "app/framework/epoc_list_controls.h"
#include "app/framework/epoc_wndproc.h"
#include "app/views/kv_message_rows.h"
#include "app/tests/ui_fixture.h"
#include "kernel/hwndmap.h"
#include "kernel/requests.h"
#include "platform/ui/testing.h"

namespace {

namespace kvui = kvplatform::uitest;

class CHost : public CEpocControl {
 public:
  CHost() { SetClassName(u"CHost"); }
};

class ListControlsTest : public UiTest {
 protected:
  ListControlsTest() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = EpocMainWndProc;
    windowClass.lpszClassName = u"KvListHost";
    RegisterClassW(&windowClass);
    iHost = new CHost;
    EpocWindowMap()->SetPendingControl(iHost);
    HWND window = CreateWindowExW(0, u"KvListHost", u"host", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr, nullptr,
                                  nullptr);
    iHost->SetWindowL(window);
    EpocWindowMap()->SetPendingControl(nullptr);
  }
  ~ListControlsTest() override {
    HWND window = iHost->Window();
    delete iHost;
    DestroyWindow(window);
  }
  static std::u16string RowText(HWND aList, int aRow) {
    WCHAR text[300] = {0};
    SendMessageW(aList, LB_GETTEXT, aRow, reinterpret_cast<LPARAM>(text));
    return text;
  }
  CHost* iHost;
};

TEST_F(ListControlsTest, ListBoxCutsTheFirstColumnAndFindsRowsByIdentifier) {
  CEpocListBox* list = CEpocListBox::NewL(iHost, 4096);
  ASSERT_NE(list->ChildWindow(), nullptr);
  list->SetExtentL(TEpocRect{0, 0, 240, 200});
  list->MakeVisible(true);
  list->AddL(7, u"Bartholomew Featherstonehaugh-Smythe", u"See you at eight");
  list->AddL(3, u"Al", u"Hi");
  ASSERT_EQ(SendMessageW(list->ChildWindow(), LB_GETCOUNT, 0, 0), 2);
  // Sorted by the system: "Al" first.
  EXPECT_EQ(RowText(list->ChildWindow(), 0), u"Al\tHi\t");
  std::u16string cut = RowText(list->ChildWindow(), 1);
  size_t tab = cut.find(u'\t');
  ASSERT_NE(tab, std::u16string::npos);
  std::u16string first = cut.substr(0, tab);
  EXPECT_EQ(first.substr(first.size() - 3), u"...");
  EXPECT_EQ(cut.substr(tab), u"\tSee you at eight\t");
  // The cut name and its "..." fit in 95 pixels; one more character would not.
  HDC dc = GetDC(list->ChildWindow());
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(list->ChildWindow(), WM_GETFONT, 0, 0));
  if (font != nullptr) SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, first.c_str(), static_cast<int>(first.size()), &size);
  EXPECT_LE(size.cx, 95);
  std::u16string longer = u"Bartholomew Featherstonehaugh-Smythe";
  longer = longer.substr(0, first.size() - 3 + 1) + u"...";
  GetTextExtentPoint32W(dc, longer.c_str(), static_cast<int>(longer.size()), &size);
  EXPECT_GT(size.cx, 95);
  ReleaseDC(list->ChildWindow(), dc);

  EXPECT_EQ(list->ItemData(0), 3);
  list->Delete(99);  // not shown: nothing changes
  EXPECT_EQ(SendMessageW(list->ChildWindow(), LB_GETCOUNT, 0, 0), 2);
  list->Replace(3, u"Zed", u"Bye");
  EXPECT_EQ(RowText(list->ChildWindow(), 1), u"Zed\tBye\t");
  EXPECT_EQ(list->ItemData(1), 3);
  list->Delete(7);
  EXPECT_EQ(SendMessageW(list->ChildWindow(), LB_GETCOUNT, 0, 0), 1);
  delete list;
}

TEST_F(ListControlsTest, UnicodeRowsDrawWithoutBoxesAndTheCutKeepsEmojiWhole) {
  CEpocListBox* list = CEpocListBox::NewL(iHost, 4098);
  ASSERT_NE(list->ChildWindow(), nullptr);
  list->SetExtentL(TEpocRect{0, 0, 240, 200});
  list->MakeVisible(true);
  kvui::WaitIdle();
  kvui::TakeBoxesDrawn();
  list->AddL(1, u"Ελένη Παπαδάκη", u"Καλημέρα! Τα λέμε το βράδυ στην πλατεία.");
  list->AddL(2, u"Иван Петров", u"Привет! Встречаемся завтра в 7 у метро. Не опаздывай 🙂");
  list->AddL(3, u"王小明", u"明天下午三点开会，别迟到。");
  list->AddL(4, u"مريم", u"שלום, happy New Year! 🎆🥂🎉");
  // A name of emoji alone is cut after a whole one, however wide each is.
  std::u16string party;
  for (int i = 0; i < 20; ++i) party += u"🎉";
  list->AddL(5, party.c_str(), u"x");
  // A name of families (eight units each, joined by ZWJ) keeps each whole.
  std::u16string families;
  for (int i = 0; i < 12; ++i) families += u"👨\u200D👩\u200D👧";
  list->AddL(6, families.c_str(), u"y");
  int rows = static_cast<int>(SendMessageW(list->ChildWindow(), LB_GETCOUNT, 0, 0));
  ASSERT_EQ(rows, 6);
  for (int row = 0; row < rows; ++row) {
    std::u16string text = RowText(list->ChildWindow(), row);
    if (text.rfind(u"👨", 0) == 0) {
      std::u16string first = text.substr(0, text.find(u'\t'));
      ASSERT_GT(first.size(), 3u);
      EXPECT_EQ(first.substr(first.size() - 3), u"...");
      EXPECT_EQ((first.size() - 3) % 8, 0u) << "the cut splits a family";
    }
    if (text.rfind(u"🎉", 0) != 0) continue;
    std::u16string first = text.substr(0, text.find(u'\t'));
    ASSERT_GT(first.size(), 3u);
    EXPECT_EQ(first.substr(first.size() - 3), u"...");
    EXPECT_EQ((first.size() - 3) % 2, 0u) << "the cut splits a surrogate pair";
  }
  InvalidateRect(list->ChildWindow(), nullptr, TRUE);
  kvui::WaitIdle();
  kvui::SaveScreenshot(ScreenshotPath("list_unicode_rows"));
  EXPECT_EQ(kvui::TakeBoxesDrawn(), std::u32string());
  delete list;
}

TEST_F(ListControlsTest, ListViewInsertsAtTheTopAndReplacingAnUnknownRowInsertsIt) {
  CEpocListView* view = CEpocListView::NewL(iHost, 4097);
  ASSERT_NE(view->ChildWindow(), nullptr);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = LVCFMT_CENTER;
  column.cx = 120;
  column.pszText = const_cast<LPWSTR>(u"Name");
  view->InsertColumn(0, column);
  column.pszText = const_cast<LPWSTR>(u"Date");
  view->InsertColumn(1, column);
  view->InsertItemIntoViewL(1, u"First", u"01/01/03");
  view->InsertItemIntoViewL(2, u"Second", u"02/01/03");
  EXPECT_EQ(view->ItemData(0), 2);  // the newest row is at the top
  view->ReplaceItemIntoViewL(5, u"Fifth", u"05/01/03");
  EXPECT_EQ(SendMessageW(view->ChildWindow(), LVM_GETITEMCOUNT, 0, 0), 3);
  view->ReplaceItemIntoViewL(1, u"Renamed", u"09/09/09");
  EXPECT_EQ(SendMessageW(view->ChildWindow(), LVM_GETITEMCOUNT, 0, 0), 3);
  view->Delete(2);
  view->Delete(42);
  EXPECT_EQ(SendMessageW(view->ChildWindow(), LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(view->SelectedCount(), 0);
  delete view;
}

// A host whose one component is a list box, so the list's requests for its
// lines reach it as they reach a view's lists.
class CListHost : public CEpocControl {
 public:
  CListHost() { SetClassName(u"CListHost"); }
  int CountComponentControls() const override { return iList != nullptr ? 1 : 0; }
  CEpocControl* ComponentControl(int) const override { return iList; }
  CEpocControl* iList = nullptr;
};

// A list that keeps its own lines shows what the system's sorted list shows
// for the same rows: the same lines in the same order (equal lines in the
// order they came, a case-insensitive sort, long names cut), the same item
// data, the same pixels; and its selection stays on its rows as rows come
// and go above them.
TEST_F(ListControlsTest, OwnerDataListBoxShowsWhatTheSortedListShows) {
  CListHost* host = new CListHost;
  EpocWindowMap()->SetPendingControl(host);
  HWND window = CreateWindowExW(0, u"KvListHost", u"owner", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr, nullptr,
                                nullptr);
  host->SetWindowL(window);
  EpocWindowMap()->SetPendingControl(nullptr);
  CEpocListBox* sorted = CEpocListBox::NewL(host, 4096);
  CEpocListBox* owned = CEpocListBox::NewL(host, 4096, true);
  host->iList = owned;
  for (CEpocListBox* list : {sorted, owned}) {
    list->SetExtentL(TEpocRect{0, 0, 240, 200});
    list->MakeVisible(true);
  }
  struct {
    LPARAM iId;
    const char16_t* iName;
    const char16_t* iText;
  } rows[] = {{1, u"bob", u"Hi"},
              {2, u"Alice", u"Later"},
              {3, u"Bob", u"hi"},  // equal to row 1 but for case: after it
              {4, u"Bartholomew Featherstonehaugh-Smythe", u"See you"},
              {5, u"Bartholomew Featherstonehaugh-Jones", u"See you"},  // the same cut line
              {6, u"", u"No name"},
              {7, u"alice", u"later"}};
  owned->BeginFill();
  for (auto& row : rows) {
    sorted->AddL(row.iId, row.iName, row.iText);
    owned->AddL(row.iId, row.iName, row.iText);
  }
  owned->EndFill();
  auto sameRows = [&] {
    int count = static_cast<int>(SendMessageW(sorted->ChildWindow(), LB_GETCOUNT, 0, 0));
    EXPECT_EQ(SendMessageW(owned->ChildWindow(), LB_GETCOUNT, 0, 0), count);
    for (int row = 0; row < count; ++row) {
      EXPECT_EQ(RowText(owned->ChildWindow(), row), RowText(sorted->ChildWindow(), row)) << "row " << row;
      EXPECT_EQ(SendMessageW(owned->ChildWindow(), LB_GETITEMDATA, row, 0), sorted->ItemData(row)) << "row " << row;
      EXPECT_EQ(owned->ItemData(row), sorted->ItemData(row)) << "row " << row;
    }
  };
  sameRows();
  EXPECT_EQ(owned->ItemData(0), 6);
  EXPECT_EQ(owned->ItemData(1), 2) << "equal lines but for case keep the order they came in";
  EXPECT_EQ(owned->ItemData(2), 7);
  EXPECT_EQ(owned->ItemData(3), 4) << "equal cut lines keep the order they came in";
  EXPECT_EQ(owned->ItemData(4), 5);

  // Rows added, replaced and deleted one by one, as store notices do.
  for (CEpocListBox* list : {sorted, owned}) {
    list->AddL(8, u"Aaron", u"first");
    list->Replace(1, u"Zoe", u"moved to the end");
    list->Delete(2);
    list->Delete(99);
  }
  sameRows();

  // The same pixels, each list shown alone in the same place.
  auto pixels = [&](CEpocListBox* aList) {
    sorted->MakeVisible(aList == sorted);
    owned->MakeVisible(aList == owned);
    EXPECT_TRUE(kvui::WaitIdle());
    RECT r = kvui::StateOf(aList->ChildWindow()).screenRect;
    std::vector<COLORREF> colours;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) colours.push_back(kvui::ColorAt(x, y));
    return colours;
  };
  SendMessageW(sorted->ChildWindow(), LB_SETSEL, TRUE, 2);
  SendMessageW(owned->ChildWindow(), LB_SETSEL, TRUE, 2);
  std::vector<COLORREF> fromSorted = pixels(sorted);
  std::vector<COLORREF> fromOwned = pixels(owned);
  kvui::SaveScreenshot(ScreenshotPath("list_owner_data"));
  EXPECT_TRUE(fromSorted == fromOwned) << "the lists look different";

  // The selected row keeps its record as rows are added and deleted above it.
  LPARAM selected = owned->ItemData(2);
  owned->AddL(9, u"Aardvark", u"top");
  EXPECT_EQ(owned->ItemData(owned->CurrentIndex()), selected);
  owned->Delete(8);
  owned->Delete(9);
  EXPECT_EQ(owned->CurrentIndex(), 1);
  EXPECT_EQ(owned->ItemData(owned->CurrentIndex()), selected);
  EXPECT_EQ(owned->SelectedCount(), 1);

  host->iList = nullptr;
  delete sorted;
  delete owned;
  delete host;
  DestroyWindow(window);
}

// Lines inserted one by one land where the list's sort puts them and say
// so, however often their store grows; appended ones sorted at once end in
// the same order, also on awkward lines: first columns that fold alike or
// not at all (accents, Greek, ÿ and Ÿ), surrogate pairs, a first column that
// is a prefix of another, characters below the tab, a tab inside a name, no
// tab at all, and equal lines keeping the order they came in.
TEST(ListLinesTest, InsertedRowsAreWhereTheySayAndAFillSortsTheSame) {
  TEpocListLines inserted, appended;
  std::vector<std::u16string> lines = {
      u"\u00c9mile\tBonjour\t", u"\u00e9mile\tbonjour\t", u"Emile\tBonjour\t",    u"\u00e9mile\tBONJOUR\t",
      u"\u03a3\u03c9\tGreek\t", u"\u03c3\u03c9\tgreek\t", u"\u00ff\tlast\t",      u"\u0178\tLAST\t",
      u"\U0001F600 Joy\tsmile\t", u"\uffe0 Wide\tcent\t",   u"Ann\tz\t",            u"Anna\ta\t",
      u"Ann\u0001\tbelow the tab\t", u"Ann\tZ\t",            u"Ann\tz\t",            u"Bob\tHi\tthere\t",
      u"Bob\thi\t",              u"Bob\tHi\t",               u"Bob",                   u"bob\t",
      u"\tno name\t",            u"...\t\t",                 u"Tab\tin\tname\t",    u"TAB\tIN\t",
  };
  for (int i = 0; i < 200; ++i)
    lines.push_back(std::u16string(1, static_cast<char16_t>(u'a' + (i * 7) % 26)) + u"\t" +
                    std::u16string(1, static_cast<char16_t>(u'A' + i % 3)) + u"\t");
  for (size_t i = 0; i < lines.size(); ++i) {
    int row = inserted.Insert(lines[i], static_cast<LPARAM>(i));
    ASSERT_GE(row, 0);
    ASSERT_LT(row, inserted.Count());
    EXPECT_EQ(inserted.Data(row), static_cast<LPARAM>(i));
    appended.Append(lines[i], static_cast<LPARAM>(i));
  }
  appended.SortAppended();
  ASSERT_EQ(appended.Count(), inserted.Count());
  for (int row = 0; row < inserted.Count(); ++row) {
    EXPECT_EQ(appended.Data(row), inserted.Data(row)) << "row " << row;
    EXPECT_EQ(appended.Line(row), inserted.Line(row)) << "row " << row;
    if (row > 0) {
      EXPECT_LE(lstrcmpiW(inserted.Line(row - 1).data(), inserted.Line(row).data()), 0);
    }
  }
  ASSERT_GE(inserted.Find(2), 0);
  EXPECT_EQ(inserted.Data(inserted.Find(2)), 2);
  // An order for equal lines puts each run of them in its order, here reversed.
  TEpocListLines reordered;
  for (size_t i = 0; i < lines.size(); ++i) reordered.Append(lines[i], static_cast<LPARAM>(i));
  reordered.SortAppended([](std::vector<LPARAM>& aData) { std::reverse(aData.begin(), aData.end()); });
  for (int row = 0, end = 0; row < inserted.Count(); row = end) {
    for (end = row + 1; end < inserted.Count() && lstrcmpiW(inserted.Line(row).data(), inserted.Line(end).data()) == 0;)
      ++end;
    for (int i = row; i < end; ++i) EXPECT_EQ(reordered.Data(i), inserted.Data(row + end - 1 - i)) << "row " << i;
  }
  inserted.RemoveAt(inserted.Find(2));
  EXPECT_EQ(inserted.Find(2), -1);
  EXPECT_EQ(inserted.Count(), appended.Count() - 1);
  // Most lines removed: the rest keep their texts when their memory is made again.
  std::vector<std::u16string> kept;
  for (int row = 0; row < 10; ++row) kept.emplace_back(appended.Line(row));
  for (int i = 0; i < 3000; ++i) appended.Append(std::u16string(40, static_cast<char16_t>(u'a' + i % 26)) + u"\t", i);
  while (appended.Count() > 10) appended.RemoveAt(appended.Count() - 1);
  for (int row = 0; row < 10; ++row) EXPECT_EQ(appended.Line(row), kept[static_cast<size_t>(row)]);
}

// The message rows keep the list view's order without reading records:
// names code unit by code unit (upper case before lower, a prefix first,
// no name first of all), ties by time; column 1 by time, ties by name.
TEST(MessageRowsTest, SortByNameThenTimeOrByTimeThenName) {
  CKvMessageRows* rows = CKvMessageRows::NewL();
  auto row = [](CEOID aOid, const char16_t* aName, DWORD aTime) {
    return TKvMessageRow{aOid, FILETIME{aTime, 1}, aName};
  };
  rows->Append(row(1, u"b", 10));
  rows->Append(row(2, u"ab", 20));
  rows->Append(row(3, u"a", 30));
  rows->Append(row(4, u"B", 40));
  rows->Append(row(5, u"", 50));
  rows->Append(row(6, u"a", 5));
  rows->Sort(0);
  std::vector<CEOID> order;
  for (int i = 0; i < rows->Count(); ++i) order.push_back(rows->OidAt(i));
  EXPECT_EQ(order, (std::vector<CEOID>{5, 4, 6, 3, 2, 1}));
  rows->Sort(1);
  order.clear();
  for (int i = 0; i < rows->Count(); ++i) order.push_back(rows->OidAt(i));
  EXPECT_EQ(order, (std::vector<CEOID>{6, 1, 2, 3, 4, 5}));
  // Rows in at the top stay there until the next sort; others keep their places.
  rows->InsertAt(0, row(7, u"z", 1));
  rows->RemoveAt(rows->IndexOf(3));
  EXPECT_EQ(rows->OidAt(0), 7u);
  EXPECT_EQ(rows->IndexOf(3), -1);
  EXPECT_EQ(rows->IndexOf(4), 4);
  EXPECT_EQ(rows->OidAt(99), 0u);
  delete rows;
}

}  // namespace
