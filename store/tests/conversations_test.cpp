// Messages by conversation and by text: one party however its number was
// written, a sender in letters its own, searches in every script, and a
// store of an earlier version keyed and indexed when it opens.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <kvplatform_db.h>
#include <windows.h>

#include "store/contacts.h"
#include "store/conversation_key.h"
#include "store/home_country.h"
#include "store/messages.h"
#include "store/tests/earlier_version_store.h"
#include "store/tests/store_fixture.h"

namespace {

std::u16string KeyOf(const std::u16string& aNumber, const std::u16string& aName = u"") {
  return ConversationKey(TConstPtr16(aNumber.data(), static_cast<int>(aNumber.size())),
                         TConstPtr16(aName.data(), static_cast<int>(aName.size())));
}

// Resets the home country a test set.
struct THomeCountry {
  explicit THomeCountry(const std::string& aRegion) { SetHomeCountry(aRegion); }
  ~THomeCountry() { SetHomeCountry(""); }
};

class ConversationsTest : public StoreTest {
 protected:
  CEOID Store(CKveMessagesDatabase& aDb, const std::u16string& aName, const std::u16string& aNumber,
              const std::u16string& aText, DWORD aFolder = EKvFolderInbox) {
    std::unique_ptr<CKveMessagesItem> message = NewMessage(aDb, aName, aNumber, aText, aFolder);
    return aFolder == EKvFolderInbox ? aDb.WriteItemL(*message) : aDb.WriteOwnItemL(*message);
  }
  std::vector<CEOID> Search(CKveMessagesDatabase& aDb, const std::u16string& aQuery) {
    std::vector<CEOID> found;
    EXPECT_TRUE(aDb.SearchL(aQuery, 0, 50, found)) << GetLastError();
    std::sort(found.begin(), found.end());
    return found;
  }
};

TEST(ConversationKey, OneKeyForEveryWayANumberIsWrittenAndNamesByTheirFoldedText) {
  {
    THomeCountry home("GB");
    EXPECT_EQ(KeyOf(u"+44 7700 900123"), u"+447700900123");
    EXPECT_EQ(KeyOf(u"07700 900123"), u"+447700900123");
    EXPECT_EQ(KeyOf(u"0044 7700900123"), u"+447700900123");
    EXPECT_EQ(KeyOf(u"(07700) 900-123"), u"+447700900123");
    EXPECT_EQ(KeyOf(u"+33 6 12 34 56 78"), u"+33612345678") << "another country's number stays its own";
    EXPECT_EQ(KeyOf(u"Vodafone"), KeyOf(u"VODAFONE"));
    EXPECT_EQ(KeyOf(u"Vodafone"), u"~vodafone");
    EXPECT_EQ(KeyOf(u"Café Info"), u"~cafe info");
    EXPECT_EQ(KeyOf(u"", u"Anna"), u"~anna") << "no number: the name";
    EXPECT_EQ(KeyOf(u""), u"~");
    EXPECT_EQ(KeyOf(u"85075"), u"85075") << "a short code as written";
    EXPECT_EQ(KeyOf(u"*100#"), u"*100#");
    EXPECT_EQ(HomeCountry(), "GB");
  }
  // Without a home country a national number cannot be placed: as written,
  // while international ones still agree.
  EXPECT_EQ(KeyOf(u"07700 900123"), u"07700900123");
  EXPECT_EQ(KeyOf(u"0044 7700 900123"), u"+447700900123");
  {
    THomeCountry home("US");
    EXPECT_EQ(KeyOf(u"(202) 555-0143"), u"+12025550143");
    EXPECT_EQ(KeyOf(u"011 44 7700 900123"), u"+447700900123") << "the home country's own international prefix";
  }
  SetHomeCountry("XX");
  EXPECT_EQ(HomeCountry(), "");
  EXPECT_EQ(CountryOfNumber("+447785016005"), "GB");
  EXPECT_EQ(CountryOfNumber("+4915112345678"), "DE");
  EXPECT_EQ(CountryOfNumber("07785016005"), "");
  EXPECT_TRUE(IsKnownCountry("FR"));
  EXPECT_FALSE(IsKnownCountry("gb"));
}

TEST_F(ConversationsTest, MessagesGroupedByPartyNewestConversationFirst) {
  THomeCountry home("GB");
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  ASSERT_TRUE(db->IndexesOpen());
  const CEOID one = Store(*db, u"Anna", u"+44 7700 900123", u"first");
  const CEOID bank = Store(*db, u"MyBank", u"MyBank", u"Your code is 1234");
  const CEOID two = Store(*db, u"Anna", u"07700 900123", u"second", EKvFolderSent);
  const CEOID three = Store(*db, u"Anna", u"0044 7700900123", u"third");
  ASSERT_NE(one * bank * two * three, 0u);

  std::vector<TKvConversation> conversations;
  ASSERT_TRUE(db->ReadConversationsL(conversations));
  ASSERT_EQ(conversations.size(), 2u);
  EXPECT_EQ(conversations[0].iKey, u"+447700900123");
  EXPECT_EQ(conversations[0].iCount, 3);
  EXPECT_EQ(conversations[0].iNewest, three);
  EXPECT_EQ(conversations[1].iKey, u"~mybank");
  EXPECT_EQ(conversations[1].iNewest, bank);

  std::vector<CEOID> messages;
  ASSERT_TRUE(db->ConversationMessagesL(u"+447700900123", messages));
  EXPECT_EQ(messages, (std::vector<CEOID>{one, two, three}));

  // A message moved on keeps its place; one deleted leaves it.
  db->DeleteItem(three);
  conversations.clear();
  ASSERT_TRUE(db->ReadConversationsL(conversations));
  ASSERT_EQ(conversations.size(), 2u);
  EXPECT_EQ(conversations[0].iKey, u"+447700900123");
  EXPECT_EQ(conversations[0].iCount, 2);
  EXPECT_EQ(conversations[0].iNewest, two);
}

TEST_F(ConversationsTest, SearchFindsExactlyTheMessagesHoldingTheWordsInAnyScript) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  const CEOID russian = Store(*db, u"Ivan", u"+79161234567", u"Привет! Встречаемся завтра");
  const CEOID french = Store(*db, u"Zoë", u"+33612345678", u"Le café est fermé à l'école");
  const CEOID chinese = Store(*db, u"Li", u"+8613812345678", u"我们明天去北京吃烤鸭");
  const CEOID japanese = Store(*db, u"Aiko", u"+819012345678", u"明日は東京で会いましょう");
  const CEOID latin = Store(*db, u"Bob", u"+447700900124", u"Meet me at the Station tonight");
  const CEOID german = Store(*db, u"Jörg", u"+4915112345678", u"Viele Grüße aus der Straße", EKvFolderSent);

  EXPECT_EQ(Search(*db, u"встречаемся"), std::vector<CEOID>{russian});
  EXPECT_EQ(Search(*db, u"ecole"), std::vector<CEOID>{french}) << "typed without its accents";
  EXPECT_EQ(Search(*db, u"CAFE EST"), std::vector<CEOID>{french});
  EXPECT_EQ(Search(*db, u"北京"), std::vector<CEOID>{chinese}) << "two Chinese characters";
  EXPECT_EQ(Search(*db, u"明"), (std::vector<CEOID>{chinese, japanese})) << "one character";
  EXPECT_EQ(Search(*db, u"東京で会"), std::vector<CEOID>{japanese});
  EXPECT_EQ(Search(*db, u"station"), std::vector<CEOID>{latin});
  EXPECT_EQ(Search(*db, u"strasse"), std::vector<CEOID>{german}) << "ß = ss";
  EXPECT_EQ(Search(*db, u"zoe"), std::vector<CEOID>{french}) << "the name";
  EXPECT_EQ(Search(*db, u"7700900124"), std::vector<CEOID>{latin}) << "the number";
  EXPECT_TRUE(Search(*db, u"nowhere").empty());

  // A text rewritten is found by its new words only.
  std::unique_ptr<CKveMessagesItem> changed(static_cast<CKveMessagesItem*>(db->ReadItemL(latin)));
  ASSERT_NE(changed, nullptr);
  changed->SetTextL(TConstPtr16(u"Running late", 12));
  ASSERT_EQ(db->ReplaceItemL(*changed), latin);
  EXPECT_TRUE(Search(*db, u"station").empty());
  EXPECT_EQ(Search(*db, u"late"), std::vector<CEOID>{latin});

  std::vector<CEOID> found;
  EXPECT_FALSE(db->SearchL(std::u16string(KMaxSearchLength + 1, u'a'), 0, 50, found));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
  EXPECT_FALSE(db->SearchL(u"   ", 0, 50, found));
  EXPECT_TRUE(found.empty());
}

TEST_F(ConversationsTest, UnreadCountsComeFromTheIndexAndGoDownAsMessagesAreRead) {
  THomeCountry home("GB");
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  ASSERT_TRUE(db->IndexesOpen());
  auto received = [&](const std::u16string& aNumber, const std::u16string& aText, bool aUnread) {
    std::unique_ptr<CKveMessagesItem> message = NewMessage(*db, u"", aNumber, aText, EKvFolderInbox);
    message->SetUnread(aUnread);
    return db->WriteItemL(*message);
  };
  const CEOID first = received(u"07700 900123", u"one", true);
  const CEOID second = received(u"+44 7700 900123", u"two", true);
  received(u"+44 7700 900123", u"seen", false);
  Store(*db, u"", u"+447700900123", u"my answer", EKvFolderSent);
  const CEOID bank = received(u"MyBank", u"code", true);
  auto unreadOf = [&](const std::u16string& aKey) {
    std::vector<TKvConversation> conversations;
    EXPECT_TRUE(db->ReadConversationsL(conversations));
    for (const TKvConversation& conversation : conversations)
      if (conversation.iKey == aKey) return conversation.iUnread;
    return -1;
  };
  EXPECT_EQ(unreadOf(u"+447700900123"), 2);
  EXPECT_EQ(unreadOf(u"~mybank"), 1);
  auto unread = [&] {
    std::vector<CEOID> messages;
    EXPECT_TRUE(db->UnreadMessagesL(messages));
    return messages;
  };
  EXPECT_EQ(unread(), (std::vector<CEOID>{first, second, bank})) << "the read one and the sent one are not listed";

  // Kept through a rewrite of the whole record, as a delivery report makes.
  std::unique_ptr<CKveMessagesItem> read(static_cast<CKveMessagesItem*>(db->ReadItemL(first)));
  ASSERT_TRUE(read && read->IsUnread());
  ASSERT_NE(db->ReplaceItemL(*read), 0u);
  EXPECT_EQ(unreadOf(u"+447700900123"), 2);

  std::vector<CEOID> marked;
  ASSERT_TRUE(db->MarkConversationReadL(u"+447700900123", &marked));
  EXPECT_EQ(marked, (std::vector<CEOID>{first, second}));
  EXPECT_EQ(unreadOf(u"+447700900123"), 0);
  EXPECT_EQ(unreadOf(u"~mybank"), 1) << "another conversation stays unread";
  read.reset(static_cast<CKveMessagesItem*>(db->ReadItemL(second)));
  ASSERT_TRUE(read);
  EXPECT_FALSE(read->IsUnread());
  EXPECT_EQ(std::u16string(read->Text().Ptr(), read->Text().Length()), u"two") << "the rest of the record kept";

  ASSERT_TRUE(db->MarkReadL(bank));
  EXPECT_EQ(unreadOf(u"~mybank"), 0);
  EXPECT_TRUE(unread().empty());
  // Kept across opening the store again.
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(unreadOf(u"~mybank"), 0);
  EXPECT_EQ(unreadOf(u"+447700900123"), 0);
}

TEST_F(ConversationsTest, AStoreOfAnEarlierVersionIsKeyedAndIndexedWhenItOpensKeepingEveryRecord) {
  THomeCountry home("GB");
  ASSERT_TRUE(MakeEarlierVersionMessagesDatabase());
  const FILETIME date = FileTime(2023, 3, 1, 9, 30);
  // Mounted meanwhile, in one transaction: the writes do not open the volume each.
  CEGUID volume;
  ASSERT_TRUE(CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING));
  ASSERT_TRUE(kvplatform::BeginVolumeTransaction(volume));
  std::vector<CEOID> written;
  for (int i = 0; i < 1200; ++i) {
    std::u16string number = i % 2 == 0 ? u"07700 900123" : u"+44 7700 900" + kvplatform::FromUtf8(std::to_string(200 + i % 7));
    written.push_back(WriteEarlierVersionRecord(u"Old", number, u"message número " + kvplatform::FromUtf8(std::to_string(i)),
                                                EKvFolderInbox, date));
    ASSERT_NE(written.back(), 0u);
  }
  ASSERT_TRUE(kvplatform::EndVolumeTransaction(volume, TRUE));
  CeUnmountDBVol(&volume);
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  ASSERT_TRUE(db->IndexesOpen());
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Keying 1200 records for conversations"), 1);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - 1000 of 1200 records keyed for conversations"), 1);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Conversations complete, 1200 records keyed"), 1);
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Search index: 1000 of 1200 records"), 1);

  std::vector<TKvConversation> conversations;
  ASSERT_TRUE(db->ReadConversationsL(conversations));
  ASSERT_EQ(conversations.size(), 8u);
  int total = 0;
  for (const TKvConversation& conversation : conversations) total += conversation.iCount;
  EXPECT_EQ(total, 1200) << "every record kept and keyed";
  std::vector<CEOID> messages;
  ASSERT_TRUE(db->ConversationMessagesL(u"+447700900123", messages));
  EXPECT_EQ(messages.size(), 600u);
  EXPECT_EQ(Search(*db, u"numero 1199"), std::vector<CEOID>{written.back()});

  // Opened again: nothing left to key.
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Keying"), 1);
  EXPECT_EQ(Search(*db, u"numero 0").size(), 1u);
}

// A contact written by the program before the contacts' index: five
// properties, no key.
CEOID WriteEarlierContact(CKveContactsDatabase& aContacts, const std::u16string& aName, const std::u16string& aNumber) {
  std::unique_ptr<CKveContactsItem> contact(CKveContactsItem::NewL());
  TConstPtr16 name(aName.data(), static_cast<int>(aName.size())), number(aNumber.data(), static_cast<int>(aNumber.size()));
  contact->SetDetailsL(&name, &number, nullptr);
  CEOID oid = aContacts.WriteItemL(*contact);
  CEGUID volume;
  if (oid == 0 || !CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return 0;
  CEOID database = 0;
  HANDLE handle = CeOpenDatabaseEx(&volume, &database, const_cast<LPWSTR>(u"KvContacts"), 0, 0, nullptr);
  CEPROPVAL drop = {};
  drop.propid = KContactConversationProp;
  drop.wFlags = CEDB_PROPDELETE;
  const bool dropped = handle != INVALID_HANDLE_VALUE && CeWriteRecordProps(handle, oid, 1, &drop) != 0;
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  CeUnmountDBVol(&volume);
  return dropped ? oid : 0;
}

TEST_F(ConversationsTest, AConversationIsTitledWithItsContactFoundByTheContactsIndex) {
  THomeCountry home("GB");
  std::unique_ptr<CKveContactsDatabase> contacts(CKveContactsDatabase::NewL(nullptr, 0));
  // Written before the index: keyed when the store opens.
  ASSERT_NE(WriteEarlierContact(*contacts, u"Zoë", u"07700 900123"), 0u);
  const CEOID ottoOid = WriteEarlierContact(*contacts, u"Otto", u"+49 151 12345678");
  ASSERT_NE(ottoOid, 0u);
  contacts.reset(CKveContactsDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CKveContactsDatabase - Keying 2 contacts for conversations"), 1);
  EXPECT_EQ(contacts->NameOfConversationL(u"+447700900123"), u"Zoë");
  EXPECT_EQ(contacts->NameOfConversationL(u"+4915112345678"), u"Otto");

  // Two contacts with one number: the first in name order; a deleted one is no one.
  auto add = [&](const std::u16string& aName, const std::u16string& aNumber) {
    std::unique_ptr<CKveContactsItem> contact(CKveContactsItem::NewL());
    TConstPtr16 name(aName.data(), static_cast<int>(aName.size())), number(aNumber.data(), static_cast<int>(aNumber.size()));
    contact->SetDetailsL(&name, &number, nullptr);
    return contacts->WriteItemL(*contact);
  };
  const CEOID anna = add(u"Anna", u"0044 7700 900123");
  ASSERT_NE(anna, 0u);
  const CEOID aaron = add(u"Aaron", u"+447700900123");
  ASSERT_NE(aaron, 0u);
  EXPECT_EQ(contacts->NameOfConversationL(u"+447700900123"), u"Aaron");
  contacts->MarkItemDeletedL(aaron);
  EXPECT_EQ(contacts->NameOfConversationL(u"+447700900123"), u"Anna");

  // An edited number moves the contact to its new conversation.
  std::unique_ptr<CKveContactsItem> otto(static_cast<CKveContactsItem*>(contacts->ReadItemL(ottoOid)));
  ASSERT_NE(otto, nullptr);
  otto->SetNumberL(TConstPtr16(u"+33 6 12 34 56 78"));
  ASSERT_NE(contacts->ReplaceItemL(*otto), 0u);
  EXPECT_EQ(contacts->NameOfConversationL(u"+4915112345678"), u"");
  EXPECT_EQ(contacts->NameOfConversationL(u"+33612345678"), u"Otto");
  EXPECT_EQ(contacts->NameOfConversationL(u"~"), u"");
  EXPECT_EQ(contacts->NameOfConversationL(u"+15550000000"), u"");

  contacts.reset(CKveContactsDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CKveContactsDatabase - Keying"), 1) << "nothing left to key";
}

TEST(HomeCountry, TheSimsCountryCodeGivesTheCountryAndThePhoneOutranksTheCentreAndTheSetting) {
  EXPECT_EQ(CountryOfMobileCountryCode(234), "GB");
  EXPECT_EQ(CountryOfMobileCountryCode(235), "GB");
  EXPECT_EQ(CountryOfMobileCountryCode(202), "GR") << "the first";
  EXPECT_EQ(CountryOfMobileCountryCode(750), "FK") << "the last";
  EXPECT_EQ(CountryOfMobileCountryCode(262), "DE");
  EXPECT_EQ(CountryOfMobileCountryCode(311), "US");
  EXPECT_EQ(CountryOfMobileCountryCode(460), "CN");
  EXPECT_EQ(CountryOfMobileCountryCode(1), "") << "a test network";
  EXPECT_EQ(CountryOfMobileCountryCode(999), "");
  EXPECT_EQ(CountryOfMobileCountryCode(0), "");
  EXPECT_EQ(ChooseHomeCountry("GB", "+4917100000", "FR"), "GB");
  EXPECT_EQ(ChooseHomeCountry("", "+4917100000", "FR"), "DE");
  EXPECT_EQ(ChooseHomeCountry("", "017100000", "FR"), "FR") << "a national centre number tells no country";
  EXPECT_EQ(ChooseHomeCountry("", "", "xx"), "");
}

}  // namespace
