// The messages store read in the order of a folder's list: the same rows in
// the same order as reading every record and sorting them as the list does
// (by name code unit by code unit, then date sent, then as stored), through
// deletes, moves between folders and records of an earlier version.
#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <windows.h>

#include "store/message_folder_order.h"
#include "store/messages.h"
#include "store/tests/earlier_version_store.h"
#include "store/tests/store_fixture.h"

namespace {

struct TShown {
  CEOID iOid;
  std::u16string iName;
  ULONGLONG iTime;
  bool operator==(const TShown& aOther) const = default;
};

FILETIME Minute(int aMinute) { return FileTime(2024, 6, 3, 10, aMinute % 60); }

TShown ShownOf(CKveMessagesItem& aMessage) {
  const FILETIME& time = aMessage.DateSentTime();
  return TShown{aMessage.Oid(), ToU16(aMessage.Name()), (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime};
}

// The list's rows as the whole store sorted gives them.
std::vector<TShown> SortedRows(CKveMessagesDatabase& aDb, DWORD aFolder) {
  std::vector<TShown> rows;
  for (CEpocDatabaseItem* item = aDb.ReadFirstItemL(); item != nullptr; item = aDb.ReadNextItemL()) {
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(item));
    if (FolderListOf(message->Folder()) == FolderListOf(aFolder)) rows.push_back(ShownOf(*message));
  }
  std::sort(rows.begin(), rows.end(), [](const TShown& a, const TShown& b) {
    if (a.iName != b.iName) return a.iName < b.iName;  // code units, a prefix first
    if (a.iTime != b.iTime) return a.iTime < b.iTime;
    return a.iOid < b.iOid;
  });
  return rows;
}

// The list's rows as the folder order gives them, each also found by its identifier.
std::vector<TShown> FolderRows(CKveMessagesDatabase& aDb, DWORD aFolder) {
  std::vector<TShown> rows;
  int first = -1, count = -1;
  EXPECT_TRUE(aDb.FolderRangeL(aFolder, first, count));
  CKveMessagesItem* message = count > 0 ? aDb.ReadFolderItemL(first) : nullptr;
  while (message != nullptr) {
    rows.push_back(ShownOf(*message));
    delete message;
    message = static_cast<int>(rows.size()) < count ? aDb.ReadNextFolderItemL() : nullptr;
  }
  EXPECT_EQ(static_cast<int>(rows.size()), count);
  // Seeking moves the read position: looked up once the rows are read.
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(aDb.FolderIndexL(rows[i].iOid), first + static_cast<int>(i));
  return rows;
}

CEOID Write(CKveMessagesDatabase& aDb, const std::u16string& aName, int aNumber, DWORD aFolder, int aMinute) {
  std::u16string text = u"Message " + std::u16string(1, static_cast<char16_t>(u'A' + aNumber % 26)) +
                        std::u16string(static_cast<size_t>(aNumber / 26 + 1), u'!');
  std::unique_ptr<CKveMessagesItem> item = NewMessage(aDb, aName, u"+447700900001", text, aFolder);
  item->SetDateSentTime(Minute(aMinute));
  return aDb.WriteItemL(*item);
}

void ExpectListsAsSorted(CKveMessagesDatabase& aDb, const char* aWhen) {
  for (DWORD folder : {EKvFolderInbox, EKvFolderOutbox, EKvFolderSent})
    EXPECT_EQ(FolderRows(aDb, folder), SortedRows(aDb, folder)) << aWhen << ", folder " << folder;
}

using MessagesByFolderTest = StoreTest;

TEST_F(MessagesByFolderTest, EachListReadsTheRowsOfSortingTheWholeStoreInTheSameOrder) {
  // Names that collation and code units order differently, prefixes, no
  // name, surrogate pairs, and names shared at one minute (order as stored).
  const std::vector<std::u16string> names = {u"Ann",   u"ann",    u"Anna", u"An",      u"",       u"Émile",
                                             u"Zoë",   u"zoe",    u"O'Brien", u"OBrien", u"+44 7700", u"\U0001D49C x",
                                             u"Ann b", u"Ann\tb", u"\u00ff", u"\uffff"};
  const DWORD folders[] = {EKvFolderInbox, EKvFolderOutbox, EKvFolderSent, 0, 3};
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  std::mt19937 random(25);
  std::vector<CEOID> written;
  for (int i = 0; i < 160; ++i) {
    CEOID oid = Write(*db, names[random() % names.size()], i, folders[random() % 5], static_cast<int>(random() % 4));
    ASSERT_NE(oid, 0u);
    written.push_back(oid);
  }
  ExpectListsAsSorted(*db, "as written");
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Making the folder order"), 1);
  EXPECT_EQ(CountMessages("CKveMessagesItem::SetL - ERROR: unknown field"), 0) << "the key is not the item's";

  // Deleted, moved to another folder, renamed and redated, written on.
  for (size_t i = 0; i < written.size(); i += 7) db->DeleteItem(written[i]);
  for (size_t i = 3; i < written.size(); i += 5) {
    if (i % 7 == 0) continue;  // deleted above
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(db->ReadItemL(written[i])));
    ASSERT_NE(message, nullptr);
    message->SetFolder(message->Folder() == EKvFolderOutbox ? EKvFolderSent : EKvFolderOutbox);
    if (i % 2 == 0) message->SetNameL(TConstPtr16(u"Moved"));
    if (i % 3 == 0) message->SetDateSentTime(Minute(50));
    ASSERT_EQ(db->ReplaceItemL(*message), written[i]);
  }
  for (int i = 200; i < 220; ++i) ASSERT_NE(Write(*db, names[random() % names.size()], i, EKvFolderSent, i % 3), 0u);
  ExpectListsAsSorted(*db, "after deletes, moves and writes");

  // Another instance (the other thread's) reads the same order.
  std::unique_ptr<CKveMessagesDatabase> other(CKveMessagesDatabase::NewL(nullptr, 0));
  ExpectListsAsSorted(*other, "through another instance");
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Making the folder order"), 1) << "made once";
}

TEST_F(MessagesByFolderTest, RecordsOfAnEarlierVersionAreKeyedOnFirstUseAndKeepTheirPlaces) {
  ASSERT_TRUE(MakeEarlierVersionMessagesDatabase());
  const std::vector<std::u16string> names = {u"Bob", u"bob", u"", u"Bo", u"Émile"};
  for (int i = 0; i < 30; ++i)
    ASSERT_NE(WriteEarlierVersionRecord(names[i % names.size()], u"+447700900002", u"Old " + std::u16string(1, u'a' + i),
                                        i % 3 == 0 ? EKvFolderSent : EKvFolderInbox, Minute(i % 4)),
              0u);
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  ASSERT_NE(Write(*db, u"Bob", 1, EKvFolderInbox, 9), 0u);  // a new record beside them
  ExpectListsAsSorted(*db, "an earlier version's volume");
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Folder order complete, 30 records keyed"), 1);
  int first = 0, inbox = 0, sent = 0;
  ASSERT_TRUE(db->FolderRangeL(EKvFolderInbox, first, inbox));
  ASSERT_TRUE(db->FolderRangeL(EKvFolderSent, first, sent));
  EXPECT_EQ(inbox + sent, 31) << "every record kept";

  // One written by the earlier version since: keyed when the order is next opened.
  ASSERT_NE(WriteEarlierVersionRecord(u"Later", u"+447700900003", u"Old again", EKvFolderOutbox, Minute(2)), 0u);
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  ExpectListsAsSorted(*db, "after the earlier version wrote again");
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Folder order complete, 1 records keyed"), 1);
  EXPECT_EQ(FolderRows(*db, EKvFolderOutbox).size(), 1u);
}

}  // namespace
