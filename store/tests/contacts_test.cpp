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

// An edit as the contact editor saves it: the record read twice, one copy changed.
template <typename TChange>
CEOID Edit(CKveContactsDatabase& aDb, CEOID aOid, TChange aChange) {
  std::unique_ptr<CKveContactsItem> old(ReadContact(aDb, aOid));
  std::unique_ptr<CKveContactsItem> edited(ReadContact(aDb, aOid));
  aChange(*edited);
  return aDb.EditItemL(*old, *edited);
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
}

// A phone book entry read back: the contact it stands for is not stored
// again, also where the SIM cut the name when it was written there.
TEST_F(ContactsTest, AnEntryWhoseNameThePhoneCutIsTheContactAtItsPlace) {
  std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveContactsItem> ours(NewContact(*db, u"Alexandra Whitmore", u"+447700900321", 3));
  ASSERT_NE(db->WriteItemL(*ours), 0u);
  auto entry = [&](const std::u16string& aName, const std::u16string& aNumber, int aLocation, bool aSim = true) {
    std::unique_ptr<CKveContactsItem> item(NewContact(*db, aName, aNumber, aLocation));
    if (!aSim) {
      // The same entry from the phone's own memory.
      const TConstPtr16 name(aName.data(), static_cast<int>(aName.size()));
      const TConstPtr16 number(aNumber.data(), static_cast<int>(aNumber.size()));
      item.reset(static_cast<CKveContactsItem*>(db->NewItemL()));
      item->SetDetailsL(&name, &number, nullptr);
      item->SetLocation(aLocation);
      item->SetInPhoneMemory();
    }
    return db->WritePhoneEntryL(*item);
  };
  EXPECT_EQ(entry(u"Alexandra Whitmore", u"+447700900321", 3), 0u) << "the same";
  EXPECT_EQ(entry(u"Alexandra Whit", u"+447700900321", 3), 0u) << "cut by the SIM";
  EXPECT_EQ(CountMessages("CKveContactsDatabase::WritePhoneEntryL - location 3 holds our contact, its name cut"), 1);
  EXPECT_EQ(AllContacts(*db).size(), 1u);

  // Anything else is another contact.
  EXPECT_NE(entry(u"Alexandra Whit", u"+447700900321", 4), 0u) << "another place";
  EXPECT_NE(entry(u"Alexandra W", u"+447700900999", 3), 0u) << "another number";
  EXPECT_NE(entry(u"Alex B", u"+447700900321", 3), 0u) << "not the start of our name";
  EXPECT_NE(entry(u"Alexandra", u"+447700900321", 3, false), 0u) << "the other phone book";
  EXPECT_EQ(AllContacts(*db).size(), 5u);
}

// The contacts at an entry's place are found through an order of their own:
// every one there is looked at, and none elsewhere.
TEST_F(ContactsTest, TheContactWhoseNameWasCutIsFoundAmongOthersAtItsPlace) {
  std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
  struct TStored {
    const char16_t* iName;
    const char16_t* iNumber;
    int iLocation;
    bool iSim;
  };
  for (const TStored& stored : {TStored{u"Bob Brown", u"+441", 2, true}, TStored{u"Carol Jones", u"+442", 3, false},
                                TStored{u"Dan Smith", u"+443", 3, true}, TStored{u"Alexandra Whitmore", u"+444", 3, true},
                                TStored{u"Eve Adams", u"+445", 4, true}, TStored{u"Fay Long", u"+446", -1, false}}) {
    std::unique_ptr<CKveContactsItem> contact(NewContact(*db, stored.iName, stored.iNumber, stored.iLocation));
    if (!stored.iSim) contact->SetInPhoneMemory();
    ASSERT_NE(db->WriteItemL(*contact), 0u);
  }
  auto entry = [&](const std::u16string& aName, const std::u16string& aNumber, int aLocation) {
    std::unique_ptr<CKveContactsItem> item(NewContact(*db, aName, aNumber, aLocation));
    return db->WritePhoneEntryL(*item);
  };
  EXPECT_EQ(entry(u"Alexandra Whit", u"+444", 3), 0u) << "the third contact at its place";
  EXPECT_EQ(entry(u"Eve Ad", u"+445", 4), 0u) << "the last place";
  EXPECT_EQ(entry(u"Bob", u"+441", 2), 0u) << "the first place";
  EXPECT_EQ(CountMessages("CKveContactsDatabase - Making the location order"), 1);
  EXPECT_NE(entry(u"Bob", u"+441", 3), 0u) << "Bob is not at 3";
  EXPECT_NE(entry(u"Carol", u"+442", 3), 0u) << "Carol is in the phone's memory";
  EXPECT_NE(entry(u"Fay", u"+446", 5), 0u) << "nor is Fay, at no place";
  EXPECT_EQ(AllContacts(*db).size(), 9u);

  // Opened again, the order is there: the entry after it is found through it too.
  db.reset(CKveContactsDatabase::NewL(nullptr, 0));
  EXPECT_EQ(entry(u"Alexandra W", u"+444", 3), 0u);
  EXPECT_NE(entry(u"Dan", u"+444", 3), 0u) << "another name";
  EXPECT_EQ(CountMessages("CKveContactsDatabase - Making the location order"), 1);
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

TEST_F(ContactsTest, MarkItemDeletedKeepsTheRecordMarkedAndUnknownPropertiesAreSkipped) {
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

  // A property this version does not know is logged and changes nothing.
  std::unique_ptr<CKveContactsItem> fresh(static_cast<CKveContactsItem*>(db->NewItemL()));
  CEPROPVAL odd = {};
  odd.propid = 0x70013;
  odd.val.ulVal = 5;
  fresh->SetL(odd);
  EXPECT_EQ(CountMessages("CKveContactsItem::SetL - ERROR: unknown field 458771"), 1);
  EXPECT_EQ(fresh->Location(), -1);
  EXPECT_EQ(fresh->Flags(), 0u);
}

TEST_F(ContactsTest, EditsOfContactsOnThePhoneKeepADeletedCopyOfTheOldVersion) {
  std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveContactsItem> original(NewContact(*db, u"Ann", u"+441", 5));
  CEOID oid = db->WriteItemL(*original);

  // First edit of a contact on the phone: edited record plus deleted copy.
  EXPECT_NE(Edit(*db, oid, [](CKveContactsItem& c) { c.SetNameL(TConstPtr16(u"Anne")); }), 0u);
  std::vector<Contact> all = AllContacts(*db);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, u"Ann");
  EXPECT_EQ(all[0].flags, DWORD{EKvContactOnSim | EKvContactDeleted});
  EXPECT_EQ(all[0].location, 5);
  EXPECT_EQ(all[1].name, u"Anne");
  EXPECT_EQ(all[1].flags, DWORD{EKvContactOnSim | EKvContactEdited});
  EXPECT_EQ(all[1].location, 5);

  // A second edit before an upload only replaces the edited record.
  EXPECT_EQ(Edit(*db, oid, [](CKveContactsItem& c) { c.SetNameL(TConstPtr16(u"Annie")); }), oid);
  all = AllContacts(*db);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1].name, u"Annie");
}

TEST_F(ContactsTest, DetailsOnlyEditsAndNeverUploadedContactsAddNoCopy) {
  std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveContactsItem> onPhone(NewContact(*db, u"Ann", u"+441", 2));
  CEOID phoneOid = db->WriteItemL(*onPhone);
  std::unique_ptr<CKveContactsItem> local(NewContact(*db, u"Bob", u"+442"));
  CEOID localOid = db->WriteItemL(*local);

  EXPECT_EQ(Edit(*db, phoneOid, [](CKveContactsItem& c) { c.SetOtherDetailsL(TConstPtr16(u"birthday\n12 May")); }), 0u)
      << "the old copy equals the edited record";
  EXPECT_EQ(Edit(*db, localOid, [](CKveContactsItem& c) { c.SetNumberL(TConstPtr16(u"+443")); }), localOid);

  std::vector<Contact> all = AllContacts(*db);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].details, u"birthday\r\n12 May");
  EXPECT_EQ(all[0].flags, DWORD{EKvContactOnSim | EKvContactEdited});
  EXPECT_EQ(all[1].number, u"+443");
  EXPECT_EQ(all[1].flags, DWORD{EKvContactOnSim}) << "never uploaded: not marked edited";
}

}  // namespace
