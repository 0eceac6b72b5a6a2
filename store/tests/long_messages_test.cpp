// Long messages stored as one record: the parts joined whatever order they
// arrive in, a missing part marked, repeats ignored, other messages kept
// apart, and the records of the earlier version (one a part) taken in.
#include <algorithm>
#include <memory>
#include <vector>

#include <windows.h>

#include "store/messages.h"
#include "store/tests/earlier_version_store.h"
#include "store/tests/store_fixture.h"

namespace {

const std::u16string KMark = u"[\u2026]";
const std::u16string KParts[3] = {u"Hi all, notes from Saturday. ", u"Please pay\nbefore the end. ", u"Thanks, Tom"};
// The parts as the store keeps texts: line ends as CR LF.
const std::u16string KStoredParts[3] = {u"Hi all, notes from Saturday. ", u"Please pay\r\nbefore the end. ",
                                        u"Thanks, Tom"};

FILETIME At(int aMinute) {
  SYSTEMTIME when = {2024, 3, 0, 6, 12, static_cast<WORD>(aMinute), 0, 0};
  FILETIME time = {};
  SystemTimeToFileTime(&when, &time);
  return time;
}

struct TStored {
  CEOID iOid;
  std::u16string iNumber;
  std::u16string iText;
  DWORD iFolder;
  int iMinute;
  int iPartsHeld;
  bool operator==(const TStored&) const = default;
};

class LongMessagesTest : public StoreTest {
 protected:
  LongMessagesTest() : iStore(CKveMessagesDatabase::NewL(nullptr, 0)) {}

  // A received message as the engine hands it over; the store's result.
  CEOID Receive(const std::u16string& aNumber, const std::u16string& aText, TKvMessagePart aPart, int aMinute,
                DWORD aFolder = EKvFolderInbox) {
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(iStore->NewItemL()));
    message->SetFolder(aFolder);
    message->SetTextL(TConstPtr16(aText.data(), static_cast<int>(aText.size())));
    message->SetNumberL(TConstPtr16(aNumber.data(), static_cast<int>(aNumber.size())));
    message->SetNameL(TConstPtr16(u""));
    message->SetDateSentTime(At(aMinute));
    return iStore->WritePartL(*message, aPart);
  }
  // Part aPart (from 1) of the three-part test message, sent at minute aPart.
  CEOID ReceivePart(const std::u16string& aNumber, int aPart, DWORD aReference = 77) {
    return Receive(aNumber, KParts[aPart - 1], {aReference, 8, 3, static_cast<DWORD>(aPart)}, aPart);
  }
  std::vector<TStored> Stored() {
    std::vector<TStored> rows;
    for (CEpocDatabaseItem* item = iStore->ReadFirstItemL(); item != nullptr; item = iStore->ReadNextItemL()) {
      std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(item));
      SYSTEMTIME when = {};
      FileTimeToSystemTime(&message->DateSentTime(), &when);
      rows.push_back({message->Oid(), ToU16(message->Number()), ToU16(message->Text()), message->Folder(),
                      when.wMinute, message->PartsHeld()});
    }
    return rows;
  }
  std::vector<TStored> StoredFrom(const std::u16string& aNumber) {
    std::vector<TStored> rows = Stored();
    std::erase_if(rows, [&](const TStored& aRow) { return aRow.iNumber != aNumber; });
    return rows;
  }

  std::unique_ptr<CKveMessagesDatabase> iStore;
};

TEST_F(LongMessagesTest, EveryArrivalOrderGivesOneRecordWithThePartsInPlace) {
  int order[3] = {1, 2, 3};
  int sender = 0;
  do {
    std::u16string number = u"+4477009001" + std::u16string(1, u'0' + sender++);
    bool held[3] = {false, false, false};
    for (int part : order) {
      ASSERT_NE(ReceivePart(number, part), 0u);
      held[part - 1] = true;
      std::u16string expected;
      int earliest = 0;
      for (int i = 0; i < 3; ++i) {
        expected += held[i] ? KStoredParts[i] : KMark;
        if (held[i] && earliest == 0) earliest = i + 1;
      }
      std::vector<TStored> rows = StoredFrom(number);
      ASSERT_EQ(rows.size(), 1u) << "order " << order[0] << order[1] << order[2];
      EXPECT_EQ(rows[0].iText, expected);
      EXPECT_EQ(rows[0].iMinute, earliest) << "dated by the earliest part held, the first once it is in";
      EXPECT_EQ(rows[0].iFolder, static_cast<DWORD>(EKvFolderInbox));
    }
    EXPECT_EQ(StoredFrom(number)[0].iPartsHeld, 3);
  } while (std::next_permutation(order, order + 3));
  EXPECT_EQ(Stored().size(), 6u);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase::WritePartL - new record"), 6);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase::WritePartL - joined to record 0x"), 12);

  // The record reads back in a fresh store as it was written.
  iStore.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveMessagesItem> first(static_cast<CKveMessagesItem*>(iStore->ReadFirstItemL()));
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->IsLongMessage());
  EXPECT_FALSE(first->IsFromEarlierVersion());
  EXPECT_EQ(first->ConcatTotal(), 3u);
  TConstPtr16 second;
  ASSERT_TRUE(first->FindPart(2, second));
  EXPECT_EQ(ToU16(second), KStoredParts[1]);
  EXPECT_EQ(ToU16(first->SingleLineMessage()), u"Hi all, notes from Saturday. Please pay before the end. Thanks, Tom");
  EXPECT_EQ(CountMessages("CKveMessagesItem::SetL - ERROR: unknown field"), 0);
}

TEST_F(LongMessagesTest, AMissingPartIsMarkedUntilALaterDownloadBringsIt) {
  ASSERT_NE(ReceivePart(u"+447700900404", 3), 0u);
  ASSERT_NE(ReceivePart(u"+447700900404", 1), 0u);
  std::vector<TStored> before = Stored();
  ASSERT_EQ(before.size(), 1u);
  EXPECT_EQ(before[0].iText, KStoredParts[0] + KMark + KStoredParts[2]);

  // Another download: the same two parts again change nothing at all.
  EXPECT_EQ(ReceivePart(u"+447700900404", 1), 0u);
  EXPECT_EQ(ReceivePart(u"+447700900404", 3), 0u);
  EXPECT_EQ(Stored(), before);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase::WritePartL - part already stored"), 2);

  // The store closed and opened again, as between two runs; then the part comes.
  iStore.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(ReceivePart(u"+447700900404", 2), before[0].iOid);
  std::vector<TStored> after = Stored();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].iOid, before[0].iOid);
  EXPECT_EQ(after[0].iText, KStoredParts[0] + KStoredParts[1] + KStoredParts[2]);
  EXPECT_EQ(after[0].iMinute, 1);
  for (int part = 1; part <= 3; ++part) EXPECT_EQ(ReceivePart(u"+447700900404", part), 0u);
  EXPECT_EQ(Stored(), after);

  // Deleting the record deletes the whole message.
  iStore->DeleteItem(after[0].iOid);
  EXPECT_TRUE(Stored().empty());
}

TEST_F(LongMessagesTest, OnlyPartsOfTheSameMessageAreJoined) {
  const std::u16string tom = u"+447700900404";
  ASSERT_NE(ReceivePart(tom, 1), 0u);
  // Not the same message: another sender, reference, reference size, total or folder.
  ASSERT_NE(ReceivePart(u"+447700900505", 2), 0u);
  ASSERT_NE(ReceivePart(tom, 2, 78), 0u);
  ASSERT_NE(Receive(tom, KParts[1], {77, 16, 3, 2}, 2), 0u);
  ASSERT_NE(Receive(tom, KParts[1], {77, 8, 4, 2}, 2), 0u);
  ASSERT_NE(Receive(tom, KParts[1], {77, 8, 3, 2}, 2, EKvFolderSent), 0u);
  EXPECT_EQ(Stored().size(), 6u);
  for (const TStored& row : StoredFrom(tom)) EXPECT_EQ(row.iPartsHeld, 1) << std::string(row.iText.begin(), row.iText.end());

  // A later message reusing the reference: its first part, with another
  // text, starts a record of its own; its second joins the record that
  // lacks one (the nearest in time).
  ASSERT_NE(Receive(tom, u"New message, part one. ", {77, 8, 3, 1}, 30), 0u);
  ASSERT_NE(Receive(tom, u"New part two. ", {77, 8, 3, 2}, 31), 0u);
  ASSERT_NE(Receive(tom, KParts[1], {77, 8, 3, 2}, 2), 0u);
  int whole = 0;
  for (const TStored& row : StoredFrom(tom)) {
    if (row.iText == KStoredParts[0] + KStoredParts[1] + KMark) ++whole;
    if (row.iText == u"New message, part one. New part two. " + KMark) ++whole;
  }
  EXPECT_EQ(whole, 2);

  // A message in one piece keeps the duplicate rule: same name, number and text.
  EXPECT_NE(Receive(tom, u"Just one", {0, 0, 0, 0}, 40), 0u);
  EXPECT_EQ(Receive(tom, u"Just one", {0, 0, 0, 0}, 41), 0u);
  // A part number outside its total is kept as a message of its own.
  EXPECT_NE(Receive(tom, u"Odd part", {9, 8, 2, 3}, 42), 0u);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase::WritePartL - part number out of range, stored as it is"), 1);
  EXPECT_EQ(Stored().size(), 9u);
}

TEST_F(LongMessagesTest, EditingOrCopyingTheRecordLeavesNoPartsBehind) {
  ASSERT_NE(ReceivePart(u"+447700900404", 1), 0u);
  std::unique_ptr<CKveMessagesItem> record(static_cast<CKveMessagesItem*>(iStore->ReadFirstItemL()));
  ASSERT_NE(record, nullptr);
  // As the compose dialog saves an edit: new details, written over the record.
  TConstPtr16 name(u""), text(u"Edited"), number(u"+447700900404");
  record->SetDetailsL(&name, &text, &number, EKvFolderOutbox);
  EXPECT_FALSE(record->IsLongMessage());
  ASSERT_NE(iStore->ReplaceItemL(*record), 0u);
  std::unique_ptr<CKveMessagesItem> back(static_cast<CKveMessagesItem*>(iStore->ReadItemL(record->Oid())));
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->IsLongMessage());
  EXPECT_EQ(back->PartsHeld(), 0);
  EXPECT_EQ(ToU16(back->Text()), u"Edited");
}

TEST_F(LongMessagesTest, RecordsOfTheEarlierVersionReadAsBeforeAndAreJoinedWithNothingLost) {
  // The store as the earlier version left it: the three parts one a record,
  // a message in one piece, and the Sent copy of a part's text.
  const std::u16string tom = u"+447700900404";
  CEOID parts[3];
  for (int i = 0; i < 3; ++i) parts[i] = WriteEarlierVersionMessage(u"Tom", tom, KStoredParts[i], EKvFolderInbox, At(i + 1));
  CEOID single = WriteEarlierVersionMessage(u"Tom", tom, u"See you", EKvFolderInbox, At(9));
  CEOID sent = WriteEarlierVersionMessage(u"Tom", tom, KStoredParts[2], EKvFolderSent, At(10));
  for (CEOID oid : {parts[0], parts[1], parts[2], single, sent}) ASSERT_NE(oid, 0u);

  std::unique_ptr<CKveMessagesItem> old(static_cast<CKveMessagesItem*>(iStore->ReadItemL(single)));
  ASSERT_NE(old, nullptr);
  EXPECT_TRUE(old->IsFromEarlierVersion());
  EXPECT_FALSE(old->IsLongMessage());
  EXPECT_EQ(ToU16(old->Name()), u"Tom");
  EXPECT_EQ(ToU16(old->Text()), u"See you");
  EXPECT_EQ(old->Folder(), static_cast<DWORD>(EKvFolderInbox));
  EXPECT_EQ(old->DateSentTime().dwLowDateTime, At(9).dwLowDateTime);
  EXPECT_EQ(CountMessages("CKveMessagesItem::SetL - ERROR: unknown field"), 0);

  // The first download after the upgrade, the parts in the phone's order.
  for (int part : {2, 3, 1}) EXPECT_NE(ReceivePart(tom, part), 0u);
  std::vector<TStored> rows = StoredFrom(tom);
  ASSERT_EQ(rows.size(), 3u);
  int joined = 0;
  for (const TStored& row : rows) {
    if (row.iText == KStoredParts[0] + KStoredParts[1] + KStoredParts[2]) {
      ++joined;
      EXPECT_EQ(row.iOid, parts[1]) << "the first part to arrive turns its old record into the message's";
      EXPECT_EQ(row.iMinute, 1);
      EXPECT_EQ(row.iFolder, static_cast<DWORD>(EKvFolderInbox));
    }
  }
  EXPECT_EQ(joined, 1);
  std::vector<CEOID> left;
  for (const TStored& row : rows) left.push_back(row.iOid);
  std::sort(left.begin(), left.end());
  std::vector<CEOID> expected = {parts[1], single, sent};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected) << "the message in one piece and the Sent record stay";
  EXPECT_EQ(CountMessages("CKveMessagesDatabase::WritePartL - earlier record 0x"), 3);
  std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(iStore->ReadItemL(parts[1])));
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(ToU16(message->Name()), u"Tom") << "the old record's name stays";

  // A repeated download finds nothing new.
  for (int part = 1; part <= 3; ++part) EXPECT_EQ(ReceivePart(tom, part), 0u);
  EXPECT_EQ(StoredFrom(tom), rows);
}

// A volume whose long messages were stored before the parts index: the
// first part to need the index makes it from every record, later ones (and
// later starts) find their message through it, and an entry whose record
// has gone leads nowhere.
TEST_F(LongMessagesTest, PartsFindTheirMessageThroughTheIndexAlsoOnAVolumeWrittenBeforeIt) {
  const std::u16string tom = u"+447700900404", ann = u"+447700900505";
  // Records as the version before the index wrote them: whole, with no entry.
  auto writeWithoutIndex = [&](const std::u16string& aNumber, int aPart) {
    std::unique_ptr<CKveMessagesItem> record(static_cast<CKveMessagesItem*>(iStore->NewItemL()));
    TConstPtr16 name(u""), number(aNumber.data(), static_cast<int>(aNumber.size()));
    record->SetDetailsL(&name, nullptr, &number, EKvFolderInbox);
    record->SetLongMessageL({77, 8, 3, 0});
    record->AddPartL(aPart, TConstPtr16(KStoredParts[aPart - 1].data(), static_cast<int>(KStoredParts[aPart - 1].size())),
                     At(aPart));
    std::vector<CEPROPVAL> values(static_cast<size_t>(record->PropertyCount()));
    record->SaveProperties(values.data());
    CEGUID volume;
    CEOID database = 0;
    if (!CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return CEOID{0};
    HANDLE handle = CeOpenDatabaseEx(&volume, &database, const_cast<LPWSTR>(u"KvMessages"), 0, 0, nullptr);
    CEOID oid = CeWriteRecordProps(handle, 0, static_cast<WORD>(values.size()), values.data());
    CloseHandle(handle);
    CeUnmountDBVol(&volume);
    return oid;
  };
  const CEOID tomsRecord = writeWithoutIndex(tom, 1);
  const CEOID annsRecord = writeWithoutIndex(ann, 3);
  ASSERT_NE(tomsRecord, 0u);
  ASSERT_NE(annsRecord, 0u);
  iStore.reset(CKveMessagesDatabase::NewL(nullptr, 0));

  EXPECT_EQ(ReceivePart(tom, 2), tomsRecord);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Making the parts index"), 1);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Parts index complete, 2 records indexed"), 1);
  iStore.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(ReceivePart(ann, 1), annsRecord);
  EXPECT_EQ(ReceivePart(tom, 3), tomsRecord);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Making the parts index"), 1) << "made once, kept by the volume";
  EXPECT_EQ(ReceivePart(tom, 3), 0u) << "a part held already";

  std::unique_ptr<CKveMessagesItem> part(static_cast<CKveMessagesItem*>(iStore->NewItemL()));
  TConstPtr16 number(tom.data(), static_cast<int>(tom.size()));
  part->SetNumberL(number);
  part->SetFolder(EKvFolderInbox);
  part->SetTextL(TConstPtr16(KParts[2].data(), static_cast<int>(KParts[2].size())));
  EXPECT_TRUE(iStore->HoldsL(*part, {77, 8, 3, 3}));
  EXPECT_FALSE(iStore->HoldsL(*part, {78, 8, 3, 3}));

  std::vector<TStored> toms = StoredFrom(tom);
  ASSERT_EQ(toms.size(), 1u);
  EXPECT_EQ(toms[0].iText, KStoredParts[0] + KStoredParts[1] + KStoredParts[2]) << "part 1 as written is kept";
  iStore->DeleteItem(tomsRecord);
  const CEOID again = ReceivePart(tom, 1);
  EXPECT_NE(again, 0u);
  EXPECT_NE(again, tomsRecord) << "the deleted record's entry leads nowhere";
  EXPECT_EQ(ReceivePart(tom, 2), again);
  std::vector<TStored> anns = StoredFrom(ann);
  ASSERT_EQ(anns.size(), 1u);
  EXPECT_EQ(anns[0].iText, KStoredParts[0] + KMark + KStoredParts[2]);
}

}  // namespace

namespace {

FILETIME Later(const FILETIME& aTime, ULONGLONG aSeconds) {
  ULONGLONG ticks = ((static_cast<ULONGLONG>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime) + aSeconds * 10000000;
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

FILETIME Now() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  FILETIME time = {};
  SystemTimeToFileTime(&now, &time);
  return time;
}

const ULONGLONG KDay = 24ULL * 60 * 60 * 10000000;

}  // namespace

TEST_F(LongMessagesTest, AMessageMissingPartsIsPassedOnOnceItsWaitIsOverWithThePartsMarked) {
  const FILETIME start = Now();
  CEOID waiting = ReceivePart(u"+447700900123", 1);
  CEOID whole = ReceivePart(u"+447700900456", 1, 12);
  ReceivePart(u"+447700900456", 2, 12);
  ReceivePart(u"+447700900456", 3, 12);
  // A long message of the phone's own, in Sent, is not waited for.
  Receive(u"+447700900789", KParts[0], {5, 8, 3, 1}, 1, EKvFolderSent);

  std::vector<CEOID> passed;
  ULONGLONG nextDue = 0;
  iStore->PassOnOverdueL(Later(start, 23 * 60 * 60), KDay, passed, nextDue);
  EXPECT_TRUE(passed.empty());
  // Counted from when the first part was stored, not from the date it was sent (2024).
  const ULONGLONG startTicks = (static_cast<ULONGLONG>(start.dwHighDateTime) << 32) | start.dwLowDateTime;
  EXPECT_GE(nextDue, startTicks + KDay);
  EXPECT_LT(nextDue, startTicks + KDay + 60ULL * 10000000);

  iStore->PassOnOverdueL(Later(start, 25 * 60 * 60), KDay, passed, nextDue);
  ASSERT_EQ(passed, std::vector<CEOID>{waiting});
  EXPECT_EQ(nextDue, 0u) << "nothing else waits";
  std::unique_ptr<CKveMessagesItem> record(static_cast<CKveMessagesItem*>(iStore->ReadItemL(waiting)));
  EXPECT_TRUE(record->IsPassedOn());
  EXPECT_EQ(ToU16(record->Text()), KStoredParts[0] + KMark + KMark);
  std::unique_ptr<CKveMessagesItem> complete(static_cast<CKveMessagesItem*>(iStore->ReadItemL(whole)));
  EXPECT_FALSE(complete->IsPassedOn());

  // Passed on once only.
  passed.clear();
  iStore->PassOnOverdueL(Later(start, 50 * 60 * 60), KDay, passed, nextDue);
  EXPECT_TRUE(passed.empty());
  // A late part still slots into its place.
  ReceivePart(u"+447700900123", 3);
  record.reset(static_cast<CKveMessagesItem*>(iStore->ReadItemL(waiting)));
  EXPECT_EQ(ToU16(record->Text()), KStoredParts[0] + KMark + KStoredParts[2]);
}

TEST_F(LongMessagesTest, AZeroCodeUnitInAPartOrAMessageIsKeptWithEverythingAfterIt) {
  const std::u16string withZero = std::u16string(u"before") + u'\0' + u"after \uFFFF\uFFFF end";
  CEOID single = Receive(u"+447700900123", withZero, {0, 0, 0, 0}, 1);
  CEOID joined = Receive(u"+447700900456", withZero, {9, 8, 2, 1}, 1);
  Receive(u"+447700900456", std::u16string(1, u'\0') + u"second", {9, 8, 2, 2}, 2);
  std::unique_ptr<CKveMessagesDatabase> reopened(CKveMessagesDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveMessagesItem> one(static_cast<CKveMessagesItem*>(reopened->ReadItemL(single)));
  std::unique_ptr<CKveMessagesItem> two(static_cast<CKveMessagesItem*>(reopened->ReadItemL(joined)));
  ASSERT_TRUE(one && two);
  EXPECT_EQ(ToU16(one->Text()), withZero);
  EXPECT_EQ(ToU16(two->Text()), withZero + u'\0' + u"second");
  EXPECT_EQ(two->PartsHeld(), 2);
}
