// The duplicate index: made for a volume of the earlier version, completed
// when records lack their key, and never trusted over the rule itself.
#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <windbase.h>
#include <windows.h>

#include "store/duplicate_key.h"
#include "store/message_folder_order.h"
#include "store/messages.h"
#include "store/tests/earlier_version_store.h"
#include "store/tests/store_fixture.h"

namespace {

using TRow = std::tuple<std::u16string, std::u16string, std::u16string, DWORD>;  // name, number, text, folder

FILETIME Minute(int aMinute) { return FileTime(2023, 5, 14, 9, aMinute % 60); }

std::unique_ptr<CKveMessagesItem> Message(CKveMessagesDatabase& aDb, const TRow& aRow) {
  const auto& [name, number, text, folder] = aRow;
  return NewMessage(aDb, name, number, text, folder);
}

std::vector<TRow> Rows(CKveMessagesDatabase& aDb) {
  std::vector<TRow> rows;
  for (CEpocDatabaseItem* item = aDb.ReadFirstItemL(); item != nullptr; item = aDb.ReadNextItemL()) {
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(item));
    rows.emplace_back(ToU16(message->Name()), ToU16(message->Number()), ToU16(message->Text()), message->Folder());
  }
  return rows;
}

std::vector<TRow> Sorted(std::vector<TRow> aRows) {
  std::sort(aRows.begin(), aRows.end());
  return aRows;
}

// The messages database straight through the volume, as a damaging writer sees it.
class TRawMessages {
 public:
  TRawMessages() {
    CeMountDBVol(&iVolume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING);
    iHandle = CeOpenDatabaseEx(&iVolume, &iDatabase, const_cast<LPWSTR>(u"KvMessages"), 0, 0, nullptr);
  }
  ~TRawMessages() {
    if (iHandle != INVALID_HANDLE_VALUE) CloseHandle(iHandle);
    CeUnmountDBVol(&iVolume);
  }
  std::vector<CEPROPID> SortProperties() {
    CEOIDINFO info = {};
    std::vector<CEPROPID> properties;
    if (CeOidGetInfoEx(&iVolume, iDatabase, &info))
      for (int i = 0; i < info.infDatabase.wNumSortOrder; ++i) properties.push_back(info.infDatabase.rgSortSpecs[i].propid);
    return properties;
  }
  bool KeepOnlyTheNameOrder() {
    CEDBASEINFO info = {};
    info.dwFlags = CEDB_VALIDSORTSPEC;
    info.wNumSortOrder = 1;
    info.rgSortSpecs[0] = {KMessageNameProp, CEDB_SORT_IGNORENONSPACE | CEDB_SORT_IGNORESYMBOLS};
    return CeSetDatabaseInfoEx(&iVolume, iDatabase, &info);
  }
  bool SetSortOrders(const std::vector<SORTORDERSPEC>& aOrders) {
    CEDBASEINFO info = {};
    info.dwFlags = CEDB_VALIDSORTSPEC;
    info.wNumSortOrder = static_cast<WORD>(aOrders.size());
    for (size_t i = 0; i < aOrders.size(); ++i) info.rgSortSpecs[i] = aOrders[i];
    return CeSetDatabaseInfoEx(&iVolume, iDatabase, &info);
  }
  // The properties the record holds, in no order; empty when it cannot be read.
  std::vector<CEPROPID> PropertiesOf(CEOID aRecord) {
    std::vector<CEPROPID> properties;
    if (CeSeekDatabase(iHandle, CEDB_SEEK_CEOID, aRecord, nullptr) == 0) return properties;
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    WORD count = 0;
    if (CeReadRecordProps(iHandle, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size) == aRecord)
      for (WORD i = 0; i < count; ++i) properties.push_back(reinterpret_cast<CEPROPVAL*>(buffer)[i].propid);
    LocalFree(buffer);
    return properties;
  }
  bool SetProperty(CEOID aRecord, CEPROPVAL aValue) { return CeWriteRecordProps(iHandle, aRecord, 1, &aValue) == aRecord; }
  bool DropKey(CEOID aRecord) {
    CEPROPVAL drop = {};
    drop.propid = KDuplicateKeyProp;
    drop.wFlags = CEDB_PROPDELETE;
    return SetProperty(aRecord, drop);
  }

 private:
  CEGUID iVolume = {};
  CEOID iDatabase = 0;
  HANDLE iHandle = INVALID_HANDLE_VALUE;
};

using DuplicateIndexTest = StoreTest;

TEST_F(DuplicateIndexTest, AnEarlierVersionsVolumeGetsItsIndexOnFirstOpenAndKeepsEveryRecord) {
  ASSERT_TRUE(MakeEarlierVersionMessagesDatabase());
  std::vector<TRow> written;
  for (int i = 0; i < 40; ++i) {
    TRow row{i % 3 ? u"Ann" : u"", i % 2 ? u"+447700900001" : u"+447700900002",
             u"Message " + std::u16string(1, static_cast<char16_t>(u'a' + i % 7)) + (i % 5 ? u"" : u"\r\nline two"),
             i % 4 ? EKvFolderInbox : EKvFolderSent};
    if (std::find(written.begin(), written.end(), row) != written.end()) continue;
    const auto& [name, number, text, folder] = row;
    ASSERT_NE(WriteEarlierVersionRecord(name, number, text, folder, Minute(i)), 0u);
    written.push_back(row);
  }
  const std::string keyedLine =
      "CEpocDatabase::NewL - Duplicate index complete, " + std::to_string(written.size()) + " records keyed";
  {
    TRawMessages raw;
    EXPECT_EQ(raw.SortProperties(), std::vector<CEPROPID>{KMessageNameProp});
  }

  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Making the duplicate index"), 1);
  EXPECT_EQ(CountMessages(keyedLine), 1);
  {
    TRawMessages raw;
    EXPECT_EQ(raw.SortProperties(), (std::vector<CEPROPID>{KMessageNameProp, KDuplicateKeyProp}));
  }
  std::vector<TRow> rows = Rows(*db);
  EXPECT_EQ(Sorted(rows), Sorted(written)) << "every record kept, unchanged";
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(),
                             [](const TRow& a, const TRow& b) { return std::get<0>(a).empty() && !std::get<0>(b).empty(); }))
      << "still read in the order of the name";
  EXPECT_EQ(CountMessages("CKveMessagesItem::SetL - ERROR: unknown field"), 0) << "the key is not the item's";

  // Each old record refuses its duplicate, folder and date aside.
  for (TRow row : written) {
    std::get<3>(row) = EKvFolderOutbox;
    EXPECT_EQ(db->WriteItemL(*Message(*db, row)), 0u);
  }
  EXPECT_EQ(CountMessages("CEpocDatabase::WriteItemL - duplicate entry not written"), static_cast<int>(written.size()));
  TRow fresh{u"Ann", u"+447700900001", u"Message a, but new", EKvFolderInbox};
  EXPECT_NE(db->WriteItemL(*Message(*db, fresh)), 0u);
  EXPECT_EQ(Rows(*db).size(), written.size() + 1);

  // Opened again, the index is trusted as complete: nothing is made or keyed.
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Making the duplicate index"), 1);
  EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Keying records for the duplicate index"), 1);
  EXPECT_EQ(db->WriteItemL(*Message(*db, fresh)), 0u);
}

TEST_F(DuplicateIndexTest, ADamagedOrMissingIndexIsRebuiltAndNeverTrustedOverTheRule) {
  const TRow ann{u"Ann", u"+447700900001", u"Hello", EKvFolderInbox};
  const TRow bob{u"Bob", u"+447700900002", u"See you", EKvFolderInbox};
  const TRow cat{u"Cat", u"+447700900003", u"Bye", EKvFolderSent};
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  CEOID annOid = db->WriteItemL(*Message(*db, ann));
  ASSERT_NE(annOid, 0u);
  ASSERT_NE(db->WriteItemL(*Message(*db, bob)), 0u);
  db.reset();

  // Records without their key: one written by an earlier version since, one
  // whose key was lost.
  ASSERT_NE(WriteEarlierVersionRecord(u"Cat", u"+447700900003", u"Bye", EKvFolderSent, Minute(3)), 0u);
  ASSERT_TRUE(TRawMessages().DropKey(annOid));
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Duplicate index complete, 2 records keyed"), 1);
  for (const TRow& row : {ann, bob, cat}) EXPECT_EQ(db->WriteItemL(*Message(*db, row)), 0u);
  EXPECT_EQ(CountMessages("CEpocDatabase::WriteItemL - duplicate entry not written"), 3);
  db.reset();

  // The index itself gone: made again from the records.
  ASSERT_TRUE(TRawMessages().KeepOnlyTheNameOrder());
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Making the duplicate index"), 1);
  for (const TRow& row : {ann, bob, cat}) EXPECT_EQ(db->WriteItemL(*Message(*db, row)), 0u);
  EXPECT_EQ(CountMessages("CEpocDatabase::WriteItemL - duplicate entry not written"), 6);
  EXPECT_EQ(Sorted(Rows(*db)), Sorted({ann, bob, cat}));

  // A record whose key names another message (as a hash collision would)
  // does not stop that message; the rule decides, not the key.
  const TRow dan{u"Dan", u"+447700900004", u"Later", EKvFolderInbox};
  ASSERT_TRUE(TRawMessages().SetProperty(annOid, DuplicateKeyProperty(Message(*db, dan)->DuplicateKey())));
  EXPECT_NE(db->WriteItemL(*Message(*db, dan)), 0u) << "Ann's record shares the key but is not equal";
  EXPECT_EQ(db->WriteItemL(*Message(*db, dan)), 0u) << "found past the record sharing its key";
  EXPECT_EQ(db->FindItem(*Message(*db, dan)), 3) << "its place in the order of the name";
  EXPECT_EQ(db->FindItem(*Message(*db, TRow{u"Dan", u"+447700900004", u"later", EKvFolderInbox})), -1)
      << "case counts";
  EXPECT_EQ(CountMessages("CEpocDatabase::WriteItemL - duplicate entry not written"), 7);
}

// A volume of the version whose key held the name: its records keyed that
// way under the earlier property, every sort order taken, and two records
// that the current rule calls one message.
TEST_F(DuplicateIndexTest, AVolumeKeyedWithTheNameIsKeyedAgainAndKeepsEveryRecord) {
  ASSERT_TRUE(MakeEarlierVersionMessagesDatabase());
  const std::vector<TRow> written = {
      {u"Ann", u"+447700900001", u"Hello", EKvFolderInbox},
      {u"Ann Smith", u"+447700900001", u"Hello", EKvFolderInbox},  // stored again after a rename
      {u"Bob", u"+447700900002", u"Hello", EKvFolderInbox},
      {u"Bob", u"+447700900002", u"On my way", EKvFolderSent},
      {u"", u"+447700900003", u"Who is this?", EKvFolderInbox},
  };
  std::vector<CEOID> oids;
  for (size_t i = 0; i < written.size(); ++i) {
    const auto& [name, number, text, folder] = written[i];
    oids.push_back(WriteEarlierVersionRecord(name, number, text, folder, Minute(static_cast<int>(i))));
    ASSERT_NE(oids.back(), 0u);
  }
  const std::vector<SORTORDERSPEC> earlierOrders = {
      {KMessageNameProp, CEDB_SORT_IGNORENONSPACE | CEDB_SORT_IGNORESYMBOLS},
      {KEarlierDuplicateKeyProp, CEDB_SORT_DESCENDING},
      {KMessageFolderOrderProp, 0},
      {KMessageDateProp, 0}};
  {
    TRawMessages raw;
    ASSERT_TRUE(raw.SetSortOrders(earlierOrders));
    for (size_t i = 0; i < written.size(); ++i) {
      const auto& [name, number, text, folder] = written[i];
      TDuplicateKey earlier;  // as that version made it
      for (const std::u16string* part : {&name, &number, &text})
        earlier.Add(TConstPtr16(part->data(), static_cast<int>(part->size())));
      CEPROPVAL value = DuplicateKeyProperty(earlier.Value());
      value.propid = KEarlierDuplicateKeyProp;
      ASSERT_TRUE(raw.SetProperty(oids[i], value));
    }
  }

  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Duplicate index complete, 5 records keyed"), 1);
  {
    TRawMessages raw;
    EXPECT_EQ(raw.SortProperties(),
              (std::vector<CEPROPID>{KMessageNameProp, KDuplicateKeyProp, KMessageFolderOrderProp, KMessageDateProp}))
        << "the current key in the earlier key's place";
    for (CEOID oid : oids) {
      const std::vector<CEPROPID> properties = raw.PropertiesOf(oid);
      EXPECT_EQ(std::count(properties.begin(), properties.end(), KDuplicateKeyProp), 1) << oid;
      EXPECT_EQ(std::count(properties.begin(), properties.end(), KEarlierDuplicateKeyProp), 0) << oid;
    }
  }
  EXPECT_EQ(Sorted(Rows(*db)), Sorted(written)) << "every record kept, the two of one message too";
  EXPECT_EQ(CountMessages("CKveMessagesItem::SetL - ERROR: unknown field"), 0);

  // The current rule holds: any name, the same number and text is refused.
  for (TRow row : written) {
    std::get<0>(row) = u"Renamed";
    EXPECT_EQ(db->WriteItemL(*Message(*db, row)), 0u);
  }
  EXPECT_EQ(CountMessages("CEpocDatabase::WriteItemL - duplicate entry not written"), 5);
  EXPECT_NE(db->WriteItemL(*Message(*db, TRow{u"Ann", u"+447700900003", u"Hello", EKvFolderInbox})), 0u);

  // Opened again, nothing is keyed twice.
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Keying records for the duplicate index"), 1);
  EXPECT_EQ(Rows(*db).size(), written.size() + 1);
}

}  // namespace
