// Conversation keys follow the home country: messages and contacts keyed
// before it was known, or under another, join the conversations of the same
// numbers keyed after it, whether the country changes while the stores are
// open or was changed by another process before they open.
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "store/contacts.h"
#include "store/conversation_key.h"
#include "store/messages.h"
#include "store/tests/earlier_version_store.h"
#include "store/tests/store_fixture.h"

namespace {

class RekeyingTest : public StoreTest {
 protected:
  ~RekeyingTest() override { SetHomeCountry(""); }

  static CEOID Received(CKveMessagesDatabase& aDb, const std::u16string& aNumber, const std::u16string& aText,
                        bool aUnread) {
    std::unique_ptr<CKveMessagesItem> message = NewMessage(aDb, u"", aNumber, aText, EKvFolderInbox);
    message->SetUnread(aUnread);
    return aDb.WriteItemL(*message);
  }
  static CEOID Contact(CKveContactsDatabase& aDb, const std::u16string& aName, const std::u16string& aNumber) {
    std::unique_ptr<CKveContactsItem> contact(CKveContactsItem::NewL());
    TConstPtr16 name(aName.data(), static_cast<int>(aName.size()));
    TConstPtr16 number(aNumber.data(), static_cast<int>(aNumber.size()));
    contact->SetDetailsL(&name, &number, nullptr);
    return aDb.WriteItemL(*contact);
  }
  static std::vector<TKvConversation> Conversations(CKveMessagesDatabase& aDb) {
    std::vector<TKvConversation> conversations;
    EXPECT_TRUE(aDb.ReadConversationsL(conversations));
    return conversations;
  }
};

TEST_F(RekeyingTest, NationalNumbersKeyedWithoutTheCountryJoinTheirConversationOnceItIsKnown) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveContactsDatabase> contacts(CKveContactsDatabase::NewL(nullptr, 0));
  ASSERT_TRUE(db->IndexesOpen());
  // No country yet: the national number is its own party.
  const CEOID before = Received(*db, u"07700900123", u"before", true);
  const CEOID bank = Received(*db, u"MyBank", u"code 1234", true);
  const CEOID abroad = Received(*db, u"+33 6 12 34 56 78", u"bonjour", false);
  ASSERT_NE(Contact(*contacts, u"Anna", u"07700 900123"), 0u);
  ASSERT_EQ(Conversations(*db).size(), 3u);

  SetHomeCountry("GB");
  const CEOID after = Received(*db, u"+447700900123", u"after", true);
  ASSERT_NE(before * bank * abroad * after, 0u);
  ASSERT_TRUE(db->FollowHomeCountryL());
  ASSERT_TRUE(contacts->FollowHomeCountryL());
  std::vector<TKvConversation> conversations = Conversations(*db);
  ASSERT_EQ(conversations.size(), 3u) << "the national number joined the international one";
  EXPECT_EQ(conversations[0].iKey, u"+447700900123");
  EXPECT_EQ(conversations[0].iCount, 2);
  EXPECT_EQ(conversations[0].iUnread, 2) << "the unread counts summed";
  EXPECT_EQ(conversations[0].iNewest, after);
  std::vector<CEOID> messages;
  ASSERT_TRUE(db->ConversationMessagesL(u"+447700900123", messages));
  EXPECT_EQ(messages, (std::vector<CEOID>{before, after}));
  EXPECT_EQ(contacts->NameOfConversationL(u"+447700900123"), u"Anna");
  EXPECT_EQ(contacts->NameOfConversationL(u"07700900123"), u"");
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Conversations keyed again for GB, 1 records changed"), 1)
      << "only the national number's record: the sender in letters and the French number stay";
  EXPECT_EQ(CountMessages("CKveContactsDatabase - Contacts keyed again for GB, 1 contacts changed"), 1);
  // The conversation read as one.
  ASSERT_TRUE(db->MarkConversationReadL(u"+447700900123"));
  EXPECT_EQ(Conversations(*db)[0].iUnread, 0);

  // The same country again, asked or at the next opening: one value read, nothing keyed.
  ASSERT_TRUE(db->FollowHomeCountryL());
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  contacts.reset(CKveContactsDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Conversations keyed again"), 1);
  EXPECT_EQ(CountMessages("CKveContactsDatabase - Contacts keyed again"), 1);

  // Another process set France, where the stores were closed: they follow when they open.
  db.reset();
  contacts.reset();
  SetHomeCountry("FR");
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  contacts.reset(CKveContactsDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Conversations keyed again for FR, 1 records changed"), 1)
      << "the number written in the international form stays";
  ASSERT_TRUE(db->ConversationMessagesL(u"+447700900123", messages = {}));
  EXPECT_EQ(messages, std::vector<CEOID>{after});
  ASSERT_TRUE(db->ConversationMessagesL(u"+33612345678", messages = {}));
  EXPECT_EQ(messages, std::vector<CEOID>{abroad});
  EXPECT_EQ(contacts->NameOfConversationL(u"+447700900123"), u"");
  EXPECT_EQ(Conversations(*db).size(), 4u);
}

// Stores of the version before keys followed the country, or of the one
// before conversations, keep every record in the right conversation.
TEST_F(RekeyingTest, AStoreThatNeverToldItsCountryIsKeyedOnceForTheCountryInEffect) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  ASSERT_NE(Received(*db, u"07700 900123", u"national", false), 0u);
  ASSERT_NE(Received(*db, u"+44 7700 900123", u"international", false), 0u);
  db.reset();
  ASSERT_TRUE(ForgetKeysCountry());
  SetHomeCountry("GB");
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  std::vector<TKvConversation> conversations = Conversations(*db);
  ASSERT_EQ(conversations.size(), 1u);
  EXPECT_EQ(conversations[0].iCount, 2);
  db.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CKveMessagesDatabase - Conversations keyed again"), 1) << "once";
}

}  // namespace
