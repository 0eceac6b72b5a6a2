// Message items: line ends, derived texts, the date text, properties.
#include <memory>
#include <string>

#include <windows.h>

#include "store/messages.h"
#include "store/store_text.h"
#include "store/tests/earlier_version_store.h"
#include "store/tests/store_fixture.h"
#include "time_zone.h"

namespace {

std::u16string CrLf(const std::u16string& aSource) {
  THeapBuf16* target = nullptr;
  TConstPtr16 source(aSource.data(), static_cast<int>(aSource.size()));
  CopyWithCrLfL(target, source);
  std::u16string result(target->Ptr(), target->Length());
  delete target;
  return result;
}

using MessagesTest = StoreTest;

TEST_F(MessagesTest, LineEndsBecomeCrLfAndTheTerminatorIsCountedOnce) {
  EXPECT_EQ(CrLf(u"a\nb"), std::u16string(u"a\r\nb\0", 5));
  EXPECT_EQ(CrLf(u"a\r\nb"), std::u16string(u"a\r\nb\0", 5));
  EXPECT_EQ(CrLf(u"a\rb"), std::u16string(u"a\r\nb\0", 5));
  EXPECT_EQ(CrLf(u"\n\r"), std::u16string(u"\r\n\r\n\0", 5));
  EXPECT_EQ(CrLf(u"\n\r\n\r"), std::u16string(u"\r\n\r\n\r\n\0", 7));
  EXPECT_EQ(CrLf(std::u16string(u"x\0", 2)), std::u16string(u"x\0", 2)) << "keeps the source's own terminator";
  EXPECT_EQ(CrLf(u""), std::u16string(u"\0", 1));
}

TEST_F(MessagesTest, SingleLineAndSmsFormsOfTheText) {
  std::unique_ptr<CKveMessagesItem> item(CKveMessagesItem::NewL());
  item->ConstructL();
  EXPECT_EQ(item->SingleLineMessage().Length(), 0);
  EXPECT_EQ(item->SmsFormatMessage().Length(), 0);
  TConstPtr16 text(u"Hi\nyou");
  item->SetTextL(text);
  EXPECT_EQ(ToU16(item->Text()), u"Hi\r\nyou");
  EXPECT_EQ(ToU16(item->SingleLineMessage()), u"Hi you");
  EXPECT_EQ(ToU16(item->SmsFormatMessage()), u"Hi\ryou");
  TConstPtr16 other(u"a\rb");
  item->SetTextL(other);
  EXPECT_EQ(ToU16(item->SingleLineMessage()), u"a b") << "a new text discards the caches";
  EXPECT_EQ(ToU16(item->SmsFormatMessage()), u"a\rb");
}

ULONGLONG TimeValue(const FILETIME& aTime) { return (ULONGLONG{aTime.dwHighDateTime} << 32) | aTime.dwLowDateTime; }

// The short date of aDay and aClock, as a date text shows them.
std::u16string DateText(int aYear, int aMonth, int aDay, const std::u16string& aClock) {
  SYSTEMTIME day = {static_cast<WORD>(aYear), static_cast<WORD>(aMonth), 0, static_cast<WORD>(aDay), 0, 0, 0, 0};
  WCHAR date[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &day, nullptr, date, 64);
  return std::u16string(date) + u" " + aClock;
}

// The machine's zone is set to +05:30 here whatever zone it runs in, so a
// date shown in UTC, or in the zone of the stamp, cannot pass.
TEST_F(MessagesTest, DatesAreKeptInUtcWithTheirZoneAndShownInTheUsersZone) {
  kvtest::TScopedTimeZone india("IST-5:30");
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  // 18:15 at +08:00 is 10:15 UTC, 15:45 here; 18:15 at -03:30 is 21:45 UTC,
  // 03:15 the next day here.
  struct TCase {
    const char16_t* iText;
    FILETIME iUtc;
    int iZone;
    std::u16string iShown;
  };
  const TCase cases[] = {
      {u"east", FileTime(2024, 3, 8, 10, 15), 8 * 60, DateText(2024, 3, 8, u"15:45")},
      {u"west", FileTime(2024, 3, 8, 21, 45), -(3 * 60 + 30), DateText(2024, 3, 9, u"03:15")},
  };
  for (const TCase& c : cases) {
    std::unique_ptr<CKveMessagesItem> item = NewMessage(*db, u"Ann", u"+4412345", c.iText, EKvFolderInbox);
    item->SetDateSentTime(c.iUtc, c.iZone);
    EXPECT_EQ(ToU16(item->DateSent()), c.iShown);
    CEOID oid = db->WriteItemL(*item);
    ASSERT_NE(oid, 0u);
    std::unique_ptr<CKveMessagesItem> read(static_cast<CKveMessagesItem*>(db->ReadItemL(oid)));
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->HasZone());
    EXPECT_EQ(read->ZoneMinutes(), c.iZone);
    EXPECT_EQ(TimeValue(read->DateSentTime()), TimeValue(c.iUtc));
    EXPECT_EQ(ToU16(read->DateSent()), c.iShown);
  }

  // A record of an earlier version kept no zone: its date stays as it was
  // stored, shown as it is, and a rewrite does not give it a zone.
  CEOID old = WriteEarlierVersionMessage(u"Bo", u"+4467890", u"old", EKvFolderInbox, FileTime(2024, 3, 8, 18, 15));
  ASSERT_NE(old, 0u);
  std::unique_ptr<CKveMessagesItem> earlier(static_cast<CKveMessagesItem*>(db->ReadItemL(old)));
  ASSERT_NE(earlier, nullptr);
  EXPECT_FALSE(earlier->HasZone());
  EXPECT_EQ(ToU16(earlier->DateSent()), DateText(2024, 3, 8, u"18:15"));
  earlier->SetTextL(TConstPtr16(u"old, read"));
  ASSERT_NE(db->ReplaceItemL(*earlier), 0u);
  std::unique_ptr<CKveMessagesItem> rewritten(static_cast<CKveMessagesItem*>(db->ReadItemL(old)));
  ASSERT_NE(rewritten, nullptr);
  EXPECT_FALSE(rewritten->HasZone());
  EXPECT_EQ(TimeValue(rewritten->DateSentTime()), TimeValue(FileTime(2024, 3, 8, 18, 15)));
  EXPECT_EQ(ToU16(rewritten->DateSent()), DateText(2024, 3, 8, u"18:15"));

  // A fresh item is dated now, and shown at this zone's time (05:30 ahead of
  // UTC, so never the UTC hour and minute together).
  std::unique_ptr<CKveMessagesItem> fresh(CKveMessagesItem::NewL());
  SYSTEMTIME before;
  GetLocalTime(&before);
  fresh->ConstructL();
  EXPECT_TRUE(fresh->HasZone());
  std::u16string shown = ToU16(fresh->DateSent());
  ASSERT_GE(shown.size(), 5u);
  int hour = (shown[shown.size() - 5] - u'0') * 10 + (shown[shown.size() - 4] - u'0');
  int minute = (shown[shown.size() - 2] - u'0') * 10 + (shown[shown.size() - 1] - u'0');
  const int shownMinutes = hour * 60 + minute;
  const int localMinutes = before.wHour * 60 + before.wMinute;
  EXPECT_TRUE(shownMinutes == localMinutes || shownMinutes == (localMinutes + 1) % (24 * 60)) << before.wHour << ":"
                                                                                               << before.wMinute;
}

TEST_F(MessagesTest, PropertiesRoundTripAndUnknownOnesAreSkipped) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(db->NewItemL()));
  // A text longer than the store's first read buffer, which must grow for it.
  const std::u16string longText = u"See you\r\nsoon" + std::u16string(600, u'!');
  TConstPtr16 name(u"Ann"), text(longText.data(), static_cast<int>(longText.size())), number(u"+4471");
  item->SetDetailsL(&name, &text, &number, 3);
  FILETIME stamp = {0x89abcdef, 0x01d2f3a4};
  item->SetDateSentTime(stamp);
  CEOID oid = db->WriteItemL(*item);
  ASSERT_NE(oid, 0u);

  std::unique_ptr<CKveMessagesItem> back(static_cast<CKveMessagesItem*>(db->ReadItemL(oid)));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Oid(), oid);
  EXPECT_EQ(ToU16(back->Name()), u"Ann");
  EXPECT_EQ(ToU16(back->Text()), longText);
  EXPECT_EQ(ToU16(back->Number()), u"+4471");
  EXPECT_EQ(back->Folder(), 3u);
  EXPECT_EQ(back->DateSentTime().dwLowDateTime, stamp.dwLowDateTime);
  EXPECT_EQ(back->DateSentTime().dwHighDateTime, stamp.dwHighDateTime);

  // Same number and text at another time is still a duplicate (found by
  // reading the stored record again through the grown buffer).
  std::unique_ptr<CKveMessagesItem> again(static_cast<CKveMessagesItem*>(db->NewItemL()));
  again->SetDetailsL(&name, &text, &number, EKvFolderInbox);
  EXPECT_EQ(db->WriteItemL(*again), 0u);
  EXPECT_EQ(CountMessages("CEpocDatabase::WriteItemL - duplicate entry not written"), 1);

  CEPROPVAL odd = {};
  odd.propid = 0x30013;
  back->SetL(odd);
  EXPECT_EQ(CountMessages("CKveMessagesItem::SetL - ERROR: unknown field 196627"), 1);
  back->Reset();
  EXPECT_EQ(back->Folder(), 0u);
  EXPECT_EQ(back->Text().Length(), 0);
  EXPECT_EQ(back->DateSentTime().dwLowDateTime, stamp.dwLowDateTime) << "Reset keeps the date";
}

// The duplicate rule is the number and the text: not the name the message
// was stored under, nor when it came or which folder holds it.
TEST_F(MessagesTest, AMessageIsTheSameWhateverItsContactIsNowCalled) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  auto write = [&](const std::u16string& aName, const std::u16string& aNumber, const std::u16string& aText,
                   DWORD aFolder = EKvFolderInbox, int aMinute = 0) {
    std::unique_ptr<CKveMessagesItem> message = NewMessage(*db, aName, aNumber, aText, aFolder);
    message->SetDateSentTime(FileTime(2024, 3, 9, 12, aMinute), 60);
    return db->WriteItemL(*message);
  };
  ASSERT_NE(write(u"Ann", u"+447700900123", u"See you at six"), 0u);
  EXPECT_EQ(write(u"Ann Smith", u"+447700900123", u"See you at six"), 0u) << "the contact renamed";
  EXPECT_EQ(write(u"", u"+447700900123", u"See you at six"), 0u) << "the contact deleted";
  EXPECT_EQ(write(u"Ann", u"+447700900123", u"See you at six", EKvFolderInbox, 5), 0u) << "again, later";
  EXPECT_EQ(write(u"Ann", u"+447700900123", u"See you at six", EKvFolderSent), 0u) << "in another folder";
  EXPECT_EQ(CountMessages("CEpocDatabase::WriteItemL - duplicate entry not written"), 4);

  EXPECT_NE(write(u"Ann", u"+447700900124", u"See you at six"), 0u) << "another number";
  EXPECT_NE(write(u"Ann", u"+447700900123", u"See you at seven"), 0u) << "another text";
  EXPECT_NE(write(u"Ann", u"+447700900123", u"see you at six"), 0u) << "case counts";
  EXPECT_GE(db->FindItem(*NewMessage(*db, u"Someone", u"+447700900123", u"See you at seven", EKvFolderInbox)), 0);
  int stored = 0;
  for (std::unique_ptr<CEpocDatabaseItem> item(db->ReadFirstItemL()); item; item.reset(db->ReadNextItemL())) ++stored;
  EXPECT_EQ(stored, 4);
}

// A message the phone gave no time shows that its date is unknown.
TEST_F(MessagesTest, AMessageWithoutADateSaysSo) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveMessagesItem> sent = NewMessage(*db, u"Ann", u"+447700900123", u"On my way", EKvFolderSent);
  sent->SetDateSentTime(FILETIME{0, 0});
  EXPECT_FALSE(sent->HasDate());
  EXPECT_EQ(ToU16(sent->DateSent()), u"unknown");
  CEOID oid = db->WriteItemL(*sent);
  ASSERT_NE(oid, 0u);
  std::unique_ptr<CKveMessagesItem> back(static_cast<CKveMessagesItem*>(db->ReadItemL(oid)));
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->HasDate());
  EXPECT_EQ(ToU16(back->DateSent()), u"unknown");
  std::unique_ptr<CKveMessagesItem> dated = NewMessage(*db, u"Ann", u"+447700900123", u"On my way", EKvFolderSent);
  EXPECT_TRUE(dated->HasDate());
  EXPECT_NE(ToU16(dated->DateSent()), u"unknown");
}

}  // namespace
