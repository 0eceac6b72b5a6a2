// The messages store read by date sent, one message at a time.
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "store/messages.h"
#include "store/tests/earlier_version_store.h"
#include "store/tests/store_fixture.h"

namespace {

FILETIME Day(int aDay) { return FileTime(2024, 2, aDay, 8, 0); }

CEOID Write(CKveMessagesDatabase& aDb, const std::u16string& aName, const std::u16string& aText, int aDay) {
  std::unique_ptr<CKveMessagesItem> item = NewMessage(aDb, aName, u"+447700900001", aText, EKvFolderInbox);
  item->SetDateSentTime(Day(aDay));
  return aDb.WriteItemL(*item);
}

std::vector<std::u16string> TextsByDate(CKveMessagesDatabase& aDb) {
  std::vector<std::u16string> texts;
  for (CKveMessagesItem* item = aDb.ReadFirstByDateL(); item != nullptr; item = aDb.ReadNextByDateL()) {
    texts.push_back(ToU16(item->Text()));
    delete item;
  }
  return texts;
}

using MessagesByDateTest = StoreTest;

TEST_F(MessagesByDateTest, OldestFirstEqualDatesInTheOrderStoredWhoeverWrote) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(db->ReadFirstByDateL(), nullptr) << "an empty store";
  EXPECT_TRUE(db->DateOrderOpen());
  EXPECT_EQ(CountMessages("CKveMessagesDatabase::ReadFirstByDateL - Making the date order"), 1);

  // Another instance (the engine's, opened before the order was added) writes
  // into it too, as does an earlier version.
  std::unique_ptr<CKveMessagesDatabase> engine(CKveMessagesDatabase::NewL(nullptr, 0));
  ASSERT_NE(Write(*db, u"Zoe", u"third", 3), 0u);
  ASSERT_NE(Write(*engine, u"Ann", u"first", 1), 0u);
  ASSERT_NE(Write(*db, u"Bob", u"second, stored first", 2), 0u);
  ASSERT_NE(Write(*engine, u"Al", u"second, stored next", 2), 0u);
  ASSERT_NE(WriteEarlierVersionRecord(u"Old", u"+447700900002", u"fourth", EKvFolderInbox, Day(4)), 0u);
  EXPECT_EQ(TextsByDate(*db), (std::vector<std::u16string>{u"first", u"second, stored first", u"second, stored next",
                                                           u"third", u"fourth"}));
  EXPECT_EQ(TextsByDate(*engine), TextsByDate(*db));

  // The walk has its own position: the name order and writes go on beside it.
  CKveMessagesItem* first = db->ReadFirstByDateL();
  ASSERT_NE(first, nullptr);
  delete first;
  std::unique_ptr<CEpocDatabaseItem> byName(db->ReadFirstItemL());
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(ToU16(static_cast<CKveMessagesItem*>(byName.get())->Text()), u"second, stored next") << "Al";
  ASSERT_NE(Write(*db, u"Cy", u"last", 9), 0u);
  std::vector<std::u16string> rest;
  for (CKveMessagesItem* item = db->ReadNextByDateL(); item != nullptr; item = db->ReadNextByDateL()) {
    rest.push_back(ToU16(item->Text()));
    delete item;
  }
  EXPECT_EQ(rest, (std::vector<std::u16string>{u"second, stored first", u"second, stored next", u"third", u"fourth",
                                               u"last"}));

  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(TextsByDate(*db).size(), 6u);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase::ReadFirstByDateL - Making the date order"), 1) << "made once";
}

}  // namespace
