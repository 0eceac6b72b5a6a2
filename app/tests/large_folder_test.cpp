// A folder far larger than a screen. In split mode the list view holds no
// rows of its own, so the first rows paint at once, a row far down is
// reached with the keyboard, tapped into the reader and opened; in list mode
// the list box's lines are kept by the view, and rows coming and going
// around a selection far down keep it on its messages.
#include <kvplatform.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <string>
#include <vector>

#include "app/document/app_globals.h"
#include "app/document/kv_document.h"
#include "app/framework/epoc_list_controls.h"
#include "app/views/kv_appui.h"
#include "app/views/kv_view_table.h"
#include "app/views/kv_messages_view.h"
#include "app/views/resources/resource_ids.h"
#include "app/tests/program_fixture.h"
#include "kernel/registry.h"
#include "store/messages.h"

namespace kvui = kvplatform::uitest;

namespace {

// Enough rows that filling them one by one would show; few enough to write quickly.
constexpr int KInboxMessages = 3000;
constexpr int KSentMessages = 200;

std::u16string Numbered(const char* aPrefix, int aNumber) {
  char text[32];
  snprintf(text, sizeof text, "%s%05d", aPrefix, aNumber);
  return std::u16string(text, text + strlen(text));
}

class LargeFolderTest : public ProgramTest {
 protected:
  // Writes the records straight into the store's database: the store's own
  // write looks for a duplicate first, which this test does not need.
  void WriteMessages() {
    std::filesystem::create_directories(iRoot + "/Program Files/Korvanet/Data");
    CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
    ASSERT_NE(store, nullptr);
    CEGUID volume;
    ASSERT_TRUE(CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING));
    CEOID oid = 0;
    HANDLE database = CeOpenDatabaseEx(&volume, &oid, const_cast<LPWSTR>(u"KvMessages"), 0x1001F, 0, nullptr);
    ASSERT_NE(database, INVALID_HANDLE_VALUE);
    for (int i = 0; i < KInboxMessages + KSentMessages; ++i) {
      bool sent = i >= KInboxMessages;
      CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->NewItemL());
      // Written in reverse, so the view's order is not the order of writing.
      int number = sent ? i - KInboxMessages : KInboxMessages - 1 - i;
      std::u16string name = Numbered(sent ? "Sent " : "Friend ", number);
      std::u16string text = Numbered("Message number ", number);
      TConstPtr16 nameView(name.c_str(), static_cast<int>(name.size()));
      TConstPtr16 textView(text.c_str(), static_cast<int>(text.size()));
      TConstPtr16 numberView(u"+4412345", 8);
      message->SetDetailsL(&nameView, &textView, &numberView, sent ? EKvFolderSent : EKvFolderInbox);
      std::vector<CEPROPVAL> values(static_cast<size_t>(message->PropertyCount()));
      message->SaveProperties(values.data());
      ASSERT_NE(CeWriteRecordProps(database, 0, static_cast<WORD>(values.size()), values.data()), 0u);
      delete message;
    }
    CloseHandle(database);
    CeUnmountDBVol(&volume);
    delete store;
  }
  // The Inbox's names ordered by time, then name, read from the store.
  std::vector<std::pair<ULONGLONG, std::u16string>> InboxByTime() {
    std::vector<std::pair<ULONGLONG, std::u16string>> rows;
    CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
    for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL()) {
      auto* message = static_cast<CKveMessagesItem*>(item);
      const FILETIME& time = message->DateSentTime();
      if (message->Folder() == EKvFolderInbox)
        rows.emplace_back((ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime,
                          std::u16string(message->Name().Ptr(), message->Name().Length()));
      delete item;
    }
    delete store;
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  CKvMessagesView* Inbox() { return static_cast<CKvMessagesView*>(gKvAppUi->GetView(EKvViewInbox)); }
  // The Inbox's list box once it shows (list mode); null when it does not.
  HWND ShownListBox() {
    HWND list = nullptr;
    bool shown = WaitFor([&] {
      list = Inbox() != nullptr && Inbox()->ListBox() != nullptr ? Inbox()->ListBox()->ChildWindow() : nullptr;
      return list != nullptr && kvui::StateOf(list).visible;
    });
    return shown ? list : nullptr;
  }
  HWND List() { return Inbox()->ListView()->ChildWindow(); }
  std::u16string RowText(int aRow) {
    WCHAR text[64] = {0};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(List(), LVM_GETITEMTEXTW, aRow, reinterpret_cast<LPARAM>(&item));
    return text;
  }
};

TEST_F(LargeFolderTest, FirstRowsPaintAndARowFarDownIsSelectedReadAndOpened) {
  WriteMessages();
  CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"MessageView", 1);
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(WaitFor([&] { return kvui::StateOf(List()).visible; }));
  ASSERT_TRUE(kvui::WaitIdle());
  EXPECT_EQ(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0), KInboxMessages);
  // Sorted by name: the first rows are the first names, painted from their records.
  EXPECT_EQ(RowText(0), u"Friend 00000");
  EXPECT_EQ(RowText(1), u"Friend 00001");
  // At once: the rows shown were read, not the folder's thousands.
  const int readForFirstRows = gKvDocument->MessagesDatabase()->FolderItemsRead();
  EXPECT_GT(readForFirstRows, 0);
  EXPECT_LT(readForFirstRows, 100) << "of " << KInboxMessages;
  Screenshot("large_inbox_top");

  // End reaches the last row; a tap on it shows its text; a double tap opens it.
  RECT list = kvui::StateOf(List()).screenRect;
  kvui::Tap(list.left + 40, list.top + 30);
  kvui::PressKey(VK_END);
  ASSERT_TRUE(WaitFor([&] { return Inbox()->ListView()->CurrentIndex() == KInboxMessages - 1; }));
  EXPECT_EQ(Inbox()->ListView()->SelectedCount(), 1);
  ASSERT_TRUE(kvui::WaitIdle());
  // The last row sits at the bottom of the list, above its lower edge.
  POINT last{list.left + 40, list.bottom - 4};
  int off = 1;
  int lastRow = Inbox()->ListView()->HitTest(last, off);
  while (lastRow != KInboxMessages - 1 && last.y > list.top) {
    --last.y;
    lastRow = Inbox()->ListView()->HitTest(last, off);
  }
  ASSERT_EQ(lastRow, KInboxMessages - 1);
  kvui::Tap(last.x, last.y);
  HWND reader = Inbox()->Reader()->ChildWindow();
  EXPECT_TRUE(WaitFor([&] { return kvui::TextOf(reader) == u"Message number 02999"; }));
  EXPECT_EQ(RowText(KInboxMessages - 1), u"Friend 02999");
  Screenshot("large_inbox_end");
  kvui::DoubleTap(last.x, last.y);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    HWND send = kvui::FindByText(u"Send");
    dialog = send != nullptr ? GetParent(send) : nullptr;
    return dialog != nullptr && kvui::StateOf(dialog).visible && !kvui::TextOf(kvui::FindById(dialog, KKvIdComposeText)).empty();
  }));
  EXPECT_EQ(kvui::TextOf(kvui::FindById(dialog, KKvIdComposeText)), u"Message number 02999");
  Screenshot("large_inbox_opened");
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);  // unchanged: refused as a duplicate
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0), KInboxMessages);

  // The last three rows, selected with a tap and Shift with a tap, go with one Delete.
  POINT third{last.x, last.y};
  int row = lastRow;
  while (row != KInboxMessages - 3 && third.y > list.top) {
    --third.y;
    row = Inbox()->ListView()->HitTest(third, off);
  }
  ASSERT_EQ(row, KInboxMessages - 3);
  kvui::Tap(third.x, third.y);
  kvui::KeyDown(VK_SHIFT);
  kvui::Tap(last.x, last.y);
  kvui::KeyUp(VK_SHIFT);
  ASSERT_TRUE(WaitFor([&] { return Inbox()->ListView()->SelectedCount() == 3; }));
  PostMessageW(Inbox()->Window(), WM_COMMAND, KKvCmdDelete, 0);
  ASSERT_TRUE(WaitFor([&] { return SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0) == KInboxMessages - 3; }));
  EXPECT_EQ(Inbox()->ListView()->SelectedCount(), 0);
  EXPECT_EQ(RowText(KInboxMessages - 4), u"Friend 02996");
  // Counted through a store of the test's own: the program's belongs to its thread.
  int stored = 0;
  CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
  for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL()) {
    if (static_cast<CKveMessagesItem*>(item)->Folder() == EKvFolderInbox) ++stored;
    delete item;
  }
  delete store;
  EXPECT_EQ(stored, KInboxMessages - 3);
  Screenshot("large_inbox_deleted");

  // The Date header orders by time, then name; the Name header again by
  // name, then time: what sorting every row gives, whichever holds them.
  std::vector<std::pair<ULONGLONG, std::u16string>> byTime = InboxByTime();
  ASSERT_EQ(byTime.size(), static_cast<size_t>(KInboxMessages - 3));
  kvui::Tap(list.left + 170, list.top + 8);
  ASSERT_TRUE(WaitFor([&] { return Inbox()->ListView()->SortColumn() == 1; }));
  EXPECT_EQ(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0), KInboxMessages - 3);
  for (int row : {0, 1, 2, 1500, KInboxMessages - 4}) EXPECT_EQ(RowText(row), byTime[static_cast<size_t>(row)].second);
  Screenshot("large_inbox_by_date");
  kvui::Tap(list.left + 40, list.top + 8);
  ASSERT_TRUE(WaitFor([&] { return Inbox()->ListView()->SortColumn() == 0; }));
  EXPECT_EQ(RowText(0), u"Friend 00000");
  EXPECT_EQ(RowText(KInboxMessages - 4), u"Friend 02996");
  EXPECT_EQ(StopProgram(), 0);
}

// List mode on the same folder: the list box keeps its lines itself, so
// rows that come and go above the visible ones through store notices must
// leave the selection on its messages, and Delete of a selection larger
// than a screen must remove exactly those messages.
TEST_F(LargeFolderTest, ListModeKeepsTheSelectionOnItsMessagesAndDeletesASelectionLargerThanAScreen) {
  WriteMessages();
  CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"MessageView", 0);
  ASSERT_TRUE(StartProgram());
  HWND list = ShownListBox();
  ASSERT_NE(list, nullptr);
  auto rows = [&] { return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); };
  auto line = [&](int aRow) {
    WCHAR text[300] = {0};
    SendMessageW(list, LB_GETTEXT, aRow, reinterpret_cast<LPARAM>(text));
    return std::u16string(text);
  };
  auto data = [&](int aRow) { return static_cast<CEOID>(SendMessageW(list, LB_GETITEMDATA, aRow, 0)); };
  auto selected = [&] {
    std::vector<CEOID> oids;
    for (int row = 0; row < rows(); ++row)
      if (SendMessageW(list, LB_GETSEL, row, 0) > 0) oids.push_back(data(row));
    return oids;
  };
  ASSERT_EQ(rows(), KInboxMessages);
  EXPECT_EQ(line(0), u"Friend 00000\tMessage number 00000\t");
  EXPECT_EQ(line(1500), u"Friend 01500\tMessage number 01500\t");

  // Two rows far down selected, the list scrolled to them.
  SendMessageW(list, LB_SETTOPINDEX, 1500, 0);
  SendMessageW(list, LB_SETSEL, TRUE, 1502);
  SendMessageW(list, LB_SETSEL, TRUE, 1500);
  std::vector<CEOID> chosen = selected();
  ASSERT_EQ(chosen.size(), 2u);

  // A message arrives that sorts first, as a download's or listening's would.
  CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(gKvMainFrameWindow, 0);
  ASSERT_NE(store, nullptr);
  CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->NewItemL());
  TConstPtr16 name(u"Aaron"), text(u"Just arrived"), number(u"+4400");
  message->SetDetailsL(&name, &text, &number, EKvFolderInbox);
  CEOID arrived = store->WriteItemL(*message);
  delete message;
  ASSERT_NE(arrived, 0u);
  ASSERT_TRUE(WaitFor([&] { return rows() == KInboxMessages + 1; }));
  EXPECT_EQ(data(0), arrived);
  EXPECT_EQ(selected(), chosen);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1501);
  // And one above them goes.
  CEOID gone = data(10);
  store->DeleteItem(gone);
  ASSERT_TRUE(WaitFor([&] { return rows() == KInboxMessages; }));
  EXPECT_EQ(selected(), chosen);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1500);
  Screenshot("list_mode_selection_kept");

  // Forty-one rows from the one shown, and one near the top: more than a screen.
  for (int row = 1500; row <= 1540; ++row) SendMessageW(list, LB_SETSEL, TRUE, row);
  SendMessageW(list, LB_SETSEL, TRUE, 3);
  std::vector<CEOID> doomed = selected();
  ASSERT_EQ(doomed.size(), 42u);
  PostMessageW(Inbox()->Window(), WM_COMMAND, KKvCmdDelete, 0);
  ASSERT_TRUE(WaitFor([&] { return rows() == KInboxMessages - 42; })) << rows();
  EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 0);
  std::vector<CEOID> left;
  for (int row = 0; row < rows(); ++row) left.push_back(data(row));
  for (CEOID oid : doomed) {
    EXPECT_EQ(std::find(left.begin(), left.end(), oid), left.end()) << "a deleted message still shows";
    CEpocDatabaseItem* item = store->ReadItemL(oid);
    EXPECT_EQ(item, nullptr) << "a selected message is still stored";
    delete item;
  }
  EXPECT_EQ(line(1499), u"Friend 01541\tMessage number 01541\t") << "the rows below move up";
  delete store;
  EXPECT_EQ(StopProgram(), 0);
}

// The list is read in the order the records are stored; rows whose lines are
// equal still come in the store's own order, by name as it sorts names.
TEST_F(LargeFolderTest, ListModeShowsEqualLinesInTheStoresOrder) {
  std::filesystem::create_directories(iRoot + "/Program Files/Korvanet/Data");
  CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
  ASSERT_NE(store, nullptr);
  // Each pair written against the store's order: "bob" sorts before "Bob",
  // and no name (the number shows) before the name "+3".
  const char16_t* rows[][2] = {{u"+3", u"+1"}, {u"", u"+3"}, {u"Bob", u"+2"}, {u"bob", u"+5"}};
  std::vector<CEOID> written;
  for (auto& row : rows) {
    CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->NewItemL());
    TConstPtr16 name(row[0]), text(u"Same"), number(row[1]);
    message->SetDetailsL(&name, &text, &number, EKvFolderInbox);
    written.push_back(store->WriteItemL(*message));
    delete message;
  }
  delete store;
  CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"MessageView", 0);
  ASSERT_TRUE(StartProgram());
  HWND list = ShownListBox();
  ASSERT_NE(list, nullptr);
  std::vector<CEOID> shown;
  for (int row = 0; row < SendMessageW(list, LB_GETCOUNT, 0, 0); ++row)
    shown.push_back(static_cast<CEOID>(SendMessageW(list, LB_GETITEMDATA, row, 0)));
  EXPECT_EQ(shown, (std::vector<CEOID>{written[1], written[0], written[3], written[2]}));
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
