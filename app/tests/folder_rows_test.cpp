// A folder's rows read from the store's order: messages that come in go on
// top and the rest keep the store's order around them, through deletes of
// rows at the top and below, until the rows are taken again.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/views/kv_folder_rows.h"
#include "app/tests/app_fixture.h"
#include "store/messages.h"

namespace {

class FolderRowsTest : public AppTest {
 protected:
  FolderRowsTest() {
    std::filesystem::create_directories(iRoot + "/Program Files/Korvanet/Data");
    iStore.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  }
  CEOID Write(const std::u16string& aName, DWORD aFolder) {
    std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(iStore->NewItemL()));
    std::u16string text = u"Text " + std::u16string(1, static_cast<char16_t>(u'a' + iWritten++));
    TConstPtr16 name(aName.data(), static_cast<int>(aName.size()));
    TConstPtr16 body(text.data(), static_cast<int>(text.size()));
    TConstPtr16 number(u"+447700900001");
    item->SetDetailsL(&name, &body, &number, aFolder);
    return iStore->WriteItemL(*item);
  }
  static std::vector<CEOID> Shown(CKvFolderRows& aRows) {
    std::vector<CEOID> shown;
    for (int row = 0; row < aRows.Count(); ++row) shown.push_back(aRows.OidAt(row));
    return shown;
  }

  std::unique_ptr<CKveMessagesDatabase> iStore;
  int iWritten = 0;
};

TEST_F(FolderRowsTest, ArrivalsGoOnTopTheRestKeepTheStoresOrderThroughDeletesUntilTakenAgain) {
  CEOID carol = Write(u"Carol", EKvFolderInbox);
  CEOID ann = Write(u"Ann", EKvFolderInbox);
  CEOID sent = Write(u"Aaron", EKvFolderSent);
  CEOID eve = Write(u"Eve", EKvFolderInbox);
  CEOID bob = Write(u"Bob", EKvFolderInbox);
  std::unique_ptr<CKvFolderRows> inbox(CKvFolderRows::NewL(iStore.get(), EKvFolderInbox));
  std::unique_ptr<CKvFolderRows> sentRows(CKvFolderRows::NewL(iStore.get(), EKvFolderSent));
  ASSERT_TRUE(inbox->LoadL());
  ASSERT_TRUE(sentRows->LoadL());
  EXPECT_EQ(Shown(*inbox), (std::vector<CEOID>{ann, bob, carol, eve}));
  EXPECT_EQ(Shown(*sentRows), std::vector<CEOID>{sent});
  EXPECT_EQ(inbox->OidAt(4), 0u);

  // Two arrive: on top, newest first; the others keep their order below,
  // whatever places the store gave the new ones.
  CEOID dan = Write(u"Dan", EKvFolderInbox);
  inbox->InsertAtTop(dan);
  CEOID abe = Write(u"Abe", EKvFolderInbox);
  inbox->InsertAtTop(abe);
  EXPECT_EQ(Shown(*inbox), (std::vector<CEOID>{abe, dan, ann, bob, carol, eve}));
  EXPECT_EQ(inbox->KnownRowOf(dan), 1);
  EXPECT_EQ(inbox->KnownRowOf(carol), 4);

  // A row below goes, then one on top: the rest close up.
  iStore->DeleteItem(bob);
  inbox->Removed(inbox->KnownRowOf(bob));
  EXPECT_EQ(Shown(*inbox), (std::vector<CEOID>{abe, dan, ann, carol, eve}));
  iStore->DeleteItem(abe);
  inbox->Removed(inbox->KnownRowOf(abe));
  EXPECT_EQ(Shown(*inbox), (std::vector<CEOID>{dan, ann, carol, eve}));
  // Rows read in one pass from the middle, past a top row's own place.
  inbox->Forget();
  inbox->ReadRowsL(2, 3);
  EXPECT_EQ(inbox->KnownRowOf(carol), 2);
  EXPECT_EQ(inbox->KnownRowOf(eve), 3);
  EXPECT_EQ(inbox->KnownRowOf(ann), -1) << "not read yet";

  // Another folder's place moves with the Inbox's changes once it forgets.
  CEOID anna = Write(u"Anna", EKvFolderSent);
  sentRows->Forget();
  EXPECT_EQ(Shown(*sentRows), (std::vector<CEOID>{sent, anna}));

  // Taken again: the store's order alone, the top rows in their places.
  ASSERT_TRUE(inbox->LoadL());
  EXPECT_EQ(Shown(*inbox), (std::vector<CEOID>{ann, carol, dan, eve}));
  EXPECT_EQ(inbox->StoredRowOf(dan), 2);
  EXPECT_EQ(inbox->StoredRowOf(sent), -1) << "another folder's";
}

}  // namespace
