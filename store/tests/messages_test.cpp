// Message items: line ends, derived texts, the date text, properties.
#include <memory>

#include <windows.h>

#include "store/messages.h"
#include "store/store_text.h"
#include "store/tests/store_fixture.h"

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

TEST_F(MessagesTest, DateTextShowsTheShortDateAndUtcHoursAndMinutes) {
  std::unique_ptr<CKveMessagesItem> item(CKveMessagesItem::NewL());
  SYSTEMTIME when = {2024, 3, 0, 9, 7, 5, 59, 0};
  FILETIME time;
  ASSERT_TRUE(SystemTimeToFileTime(&when, &time));
  item->SetDateSentTime(time);
  WCHAR date[64];
  ASSERT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, date, 64), 0);
  EXPECT_EQ(ToU16(item->DateSent()), std::u16string(date) + u" 07:05");

  // A fresh item is dated now, in UTC.
  std::unique_ptr<CKveMessagesItem> fresh(CKveMessagesItem::NewL());
  SYSTEMTIME before;
  GetSystemTime(&before);
  fresh->ConstructL();
  std::u16string shown = ToU16(fresh->DateSent());
  ASSERT_GE(shown.size(), 5u);
  int hour = (shown[shown.size() - 5] - u'0') * 10 + (shown[shown.size() - 4] - u'0');
  int minute = (shown[shown.size() - 2] - u'0') * 10 + (shown[shown.size() - 1] - u'0');
  EXPECT_TRUE(hour == before.wHour || hour == (before.wHour + 1) % 24);
  EXPECT_TRUE(minute == before.wMinute || minute == (before.wMinute + 1) % 60);
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

  // Same name, number and text at another time is still a duplicate (found
  // by reading the stored record again through the grown buffer).
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

}  // namespace
