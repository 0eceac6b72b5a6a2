// The contacts store: properties, lookups and the rules for local edits.
#include <memory>
#include <vector>

#include "store/contacts.h"
#include "store/messages.h"
#include "store/tests/store_fixture.h"

namespace {

struct Contact {
  std::u16string name;
  std::u16string number;
  std::u16string details;
  DWORD flags;
  int location;
};

CKveContactsItem* NewContact(CKveContactsDatabase& aDb, const std::u16string& aName, const std::u16string& aNumber,
                             int aLocation = -1, const std::u16string& aDetails = u"") {
  auto* item = static_cast<CKveContactsItem*>(aDb.NewItemL());
  TConstPtr16 name(aName.data(), static_cast<int>(aName.size()));
  TConstPtr16 number(aNumber.data(), static_cast<int>(aNumber.size()));
  TConstPtr16 details(aDetails.data(), static_cast<int>(aDetails.size()));
  item->SetDetailsL(&name, &number, &details);
  item->SetLocation(aLocation);
  item->SetOnSim();
  return item;
}

std::vector<Contact> AllContacts(CKveContactsDatabase& aDb) {
  std::vector<Contact> contacts;
  for (CEpocDatabaseItem* record = aDb.ReadFirstItemL(); record != nullptr; record = aDb.ReadNextItemL()) {
    auto* c = static_cast<CKveContactsItem*>(record);
    contacts.push_back({ToU16(c->Name()), ToU16(c->Number()), ToU16(c->OtherDetails()), c->Flags(), c->Location()});
    delete c;
  }
  return contacts;
}

CKveContactsItem* ReadContact(CKveContactsDatabase& aDb, CEOID aOid) {
  return static_cast<CKveContactsItem*>(aDb.ReadItemL(aOid));
}

using ContactsTest = StoreTest;

TEST_F(ContactsTest, BothStoresShareTheVolumeAndContactsSurviveARestart) {
  {
    std::unique_ptr<CKveContactsDatabase> contacts(CKveContactsDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveMessagesDatabase> messages(CKveMessagesDatabase::NewL(nullptr, 0));
    EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Creating database"), 2);
    std::unique_ptr<CKveContactsItem> ann(NewContact(*contacts, u"Ann", u"+441", 3, u"line1\r\nline2"));
    ann->SetInPhoneMemory();
    ASSERT_NE(contacts->WriteItemL(*ann), 0u);
    std::unique_ptr<CKveContactsItem> twin(NewContact(*contacts, u"Ann", u"+441", 9, u"other"));
    EXPECT_EQ(contacts->WriteItemL(*twin), 0u) << "same name and number: a duplicate";
    EXPECT_EQ(messages->ReadFirstItemL(), nullptr) << "the stores do not mix";
  }
  std::unique_ptr<CKveContactsDatabase> contacts(CKveContactsDatabase::NewL(nullptr, 0));
  EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Creating database"), 2);
  std::vector<Contact> all = AllContacts(*contacts);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].details, u"line1\r\nline2");
  EXPECT_EQ(all[0].flags, DWORD{EKvContactOnSim | EKvContactInPhoneMemory});
  EXPECT_EQ(all[0].location, 3);

  // A contact not on the phone keeps its location -1 through the store.
  std::unique_ptr<CKveContactsItem> fresh(NewContact(*contacts, u"Bo", u"+442"));
  CEOID oid = contacts->WriteItemL(*fresh);
  std::unique_ptr<CKveContactsItem> back(ReadContact(*contacts, oid));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Location(), -1);
}

TEST_F(ContactsTest, LookupNumberFindsTheFirstNameInSortOrder) {
  std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
  for (auto [name, number] : {std::pair{u"Zoe", u"+4400"}, {u"Mum", u"+4411"}, {u"Dad", u"+4411"}}) {
    std::unique_ptr<CKveContactsItem> item(NewContact(*db, name, number));
    ASSERT_NE(db->WriteItemL(*item), 0u);
  }
  TConstPtr16 shared(u"+4411");
  std::unique_ptr<CKveContactsItem> found(db->LookupNumberL(shared));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(ToU16(found->Name()), u"Dad");
  TConstPtr16 partial(u"+441");
  EXPECT_EQ(db->LookupNumberL(partial), nullptr) << "numbers match exactly";
}

TEST_F(ContactsTest, MarkItemDeletedKeepsTheRecordMarked) {
  std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveContactsItem> item(NewContact(*db, u"Ann", u"+441", 4));
  item->SetEdited(true);
  CEOID oid = db->WriteItemL(*item);
  db->MarkItemDeletedL(oid);
  std::vector<Contact> all = AllContacts(*db);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].flags, DWORD{EKvContactOnSim | EKvContactDeleted}) << "deleted clears edited";
  db->MarkItemDeletedL(0x7ffffff0);
  EXPECT_EQ(CountMessages("CKveContactsDatabase::MarkItemDeletedL - can't find item"), 1);
}

TEST_F(ContactsTest, EditsOfContactsOnThePhoneKeepADeletedCopyOfTheOldVersion) {
  std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveContactsItem> original(NewContact(*db, u"Ann", u"+441", 5));
  CEOID oid = db->WriteItemL(*original);

  // First edit of a contact on the phone: edited record plus deleted copy.
  std::unique_ptr<CKveContactsItem> old(ReadContact(*db, oid));
  std::unique_ptr<CKveContactsItem> edited(ReadContact(*db, oid));
  TConstPtr16 newName(u"Anne");
  edited->SetNameL(newName);
  EXPECT_NE(db->EditItemL(*old, *edited), 0u);
  std::vector<Contact> all = AllContacts(*db);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, u"Ann");
  EXPECT_EQ(all[0].flags, DWORD{EKvContactOnSim | EKvContactDeleted});
  EXPECT_EQ(all[0].location, 5);
  EXPECT_EQ(all[1].name, u"Anne");
  EXPECT_EQ(all[1].flags, DWORD{EKvContactOnSim | EKvContactEdited});
  EXPECT_EQ(all[1].location, 5);

  // A second edit before an upload only replaces the edited record.
  std::unique_ptr<CKveContactsItem> old2(ReadContact(*db, oid));
  std::unique_ptr<CKveContactsItem> edited2(ReadContact(*db, oid));
  TConstPtr16 newerName(u"Annie");
  edited2->SetNameL(newerName);
  EXPECT_EQ(db->EditItemL(*old2, *edited2), oid);
  all = AllContacts(*db);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1].name, u"Annie");
  EXPECT_EQ(CountMessages("CKveContactsDatabase::EditItemL - location = 5, IsEdited = 1"), 1);
}

TEST_F(ContactsTest, DetailsOnlyEditsAndNeverUploadedContactsAddNoCopy) {
  std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveContactsItem> onPhone(NewContact(*db, u"Ann", u"+441", 2));
  CEOID phoneOid = db->WriteItemL(*onPhone);
  std::unique_ptr<CKveContactsItem> local(NewContact(*db, u"Bob", u"+442"));
  CEOID localOid = db->WriteItemL(*local);

  std::unique_ptr<CKveContactsItem> old(ReadContact(*db, phoneOid));
  std::unique_ptr<CKveContactsItem> edited(ReadContact(*db, phoneOid));
  TConstPtr16 details(u"birthday\n12 May");
  edited->SetOtherDetailsL(details);
  EXPECT_EQ(db->EditItemL(*old, *edited), 0u) << "the old copy equals the edited record";

  std::unique_ptr<CKveContactsItem> oldLocal(ReadContact(*db, localOid));
  std::unique_ptr<CKveContactsItem> editedLocal(ReadContact(*db, localOid));
  TConstPtr16 number(u"+443");
  editedLocal->SetNumberL(number);
  EXPECT_EQ(db->EditItemL(*oldLocal, *editedLocal), localOid);

  std::vector<Contact> all = AllContacts(*db);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].details, u"birthday\r\n12 May");
  EXPECT_EQ(all[0].flags, DWORD{EKvContactOnSim | EKvContactEdited});
  EXPECT_EQ(all[1].number, u"+443");
  EXPECT_EQ(all[1].flags, DWORD{EKvContactOnSim}) << "never uploaded: not marked edited";
}

TEST_F(ContactsTest, UnknownPropertiesAreLoggedAndSkipped) {
  std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveContactsItem> item(static_cast<CKveContactsItem*>(db->NewItemL()));
  CEPROPVAL odd = {};
  odd.propid = 0x70013;
  odd.val.ulVal = 5;
  item->SetL(odd);
  EXPECT_EQ(CountMessages("CKveContactsItem::SetL - ERROR: unknown field 458771"), 1);
  EXPECT_EQ(item->Location(), -1);
  EXPECT_EQ(item->Flags(), 0u);
}

}  // namespace
