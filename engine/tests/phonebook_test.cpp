// Reading the phone book into the contacts store, and bringing the phone's
// phone books in line with it (upload) or blanking them.
#include <algorithm>
#include <map>

#include "engine/tests/engine_fixture.h"
#include "store/contacts.h"

namespace {

// Location -> name of a phone book in phonesim's state.
std::map<int, std::string> Entries(const nlohmann::json& aState, const char* aBook) {
  std::map<int, std::string> entries;
  for (const auto& entry : aState["phonebooks"][aBook]["entries"]) entries[entry["location"]] = entry["name"];
  return entries;
}

std::vector<std::string> WithPrefix(const std::vector<std::string>& aTexts, const std::string& aPrefix) {
  std::vector<std::string> found;
  for (const std::string& text : aTexts)
    if (text.rfind(aPrefix, 0) == 0) found.push_back(text);
  return found;
}

const TContactRow* Find(const std::vector<TContactRow>& aRows, const std::string& aName) {
  for (const TContactRow& row : aRows)
    if (row.iName == aName) return &row;
  return nullptr;
}

}  // namespace

TEST_F(EngineTest, ReadPhoneBookClearsLocalMarksThenStoresSimAndPhoneMemoryOnce) {
  AddContact("Gone", "111", 7, EKvContactOnSim | EKvContactDeleted);
  AddContact("Changed", "222", 8, EKvContactOnSim | EKvContactEdited);
  AddContact("Local only", "333", -1, EKvContactInPhoneMemory);
  StartPhone(SmallProfile());
  StartEngine();
  iShutdownOnComplete = false;
  ASSERT_TRUE(Run(EKvReadPhoneBook));
  EXPECT_EQ(WithPrefix(Progress(), "Found Contact"),
            (std::vector<std::string>{"Found Contact 1", "Found Contact 2", "Found Contact 3", "Found Contact 4"}));
  EXPECT_EQ(Completion()->iText, "Read all contacts.");
  EXPECT_EQ(Completion()->iResult, 0);

  std::vector<TContactRow> contacts = Contacts();
  EXPECT_EQ(Find(contacts, "Gone"), nullptr);
  ASSERT_NE(Find(contacts, "Changed"), nullptr);
  EXPECT_EQ(Find(contacts, "Changed")->iFlags, static_cast<DWORD>(EKvContactOnSim));
  ASSERT_NE(Find(contacts, "Local only"), nullptr);
  ASSERT_NE(Find(contacts, "Carol"), nullptr);
  EXPECT_EQ(Find(contacts, "Carol")->iLocation, 5);
  EXPECT_EQ(Find(contacts, "Carol")->iNumber, "+447700900456");
  EXPECT_EQ(Find(contacts, "Carol")->iFlags, static_cast<DWORD>(EKvContactOnSim));
  ASSERT_NE(Find(contacts, "Eve"), nullptr);
  EXPECT_EQ(Find(contacts, "Eve")->iFlags, static_cast<DWORD>(EKvContactInPhoneMemory));
  EXPECT_EQ(Find(contacts, "Eve")->iLocation, 3);
  ASSERT_EQ(contacts.size(), 6u);

  // The SIM came first: its three entries precede the phone memory's one.
  int sim = FindLog("LogPhoneEntry: Name = Carol");
  int memory = FindLog("LogPhoneEntry: Name = Eve");
  ASSERT_GE(sim, 0);
  EXPECT_GT(memory, sim);

  ASSERT_TRUE(Run(EKvReadPhoneBook));
  EXPECT_EQ(Contacts().size(), 6u);
}

TEST_F(EngineTest, ReadPhoneBookSimOnlyAndPhoneMemoryOnly) {
  StartPhone(SmallProfile());
  StartEngine();
  iShutdownOnComplete = false;
  ASSERT_TRUE(Run(EKvReadPhoneBookSim));
  std::vector<TContactRow> contacts = Contacts();
  ASSERT_EQ(contacts.size(), 3u);
  for (const TContactRow& row : contacts) EXPECT_EQ(row.iFlags, static_cast<DWORD>(EKvContactOnSim));

  iNotices.clear();
  ASSERT_TRUE(Run(EKvReadPhoneBookPhoneMemory));
  EXPECT_EQ(WithPrefix(Progress(), "Found Contact"), (std::vector<std::string>{"Found Contact 1"}));
  contacts = Contacts();
  ASSERT_EQ(contacts.size(), 4u);
  EXPECT_EQ(Find(contacts, "Eve")->iFlags, static_cast<DWORD>(EKvContactInPhoneMemory));
}

TEST_F(EngineTest, UploadWritesNewContactsAtTheFreeLocationsAndRewritesAnEdit) {
  nlohmann::json profile = SmallProfile();
  profile["phonebooks"]["SM"]["entries"].push_back({{"location", 7}, {"number", "5550007"}, {"name", "Dan"}});
  StartPhone(profile);
  // What a read and the user's edits leave in the store.
  AddContact("Alice", "+441234567890", 1, EKvContactOnSim);
  AddContact("Dan", "5550007", 7, EKvContactOnSim | EKvContactDeleted);
  AddContact("Daniel", "5550007", 7, EKvContactOnSim | EKvContactEdited);
  AddContact("Ghost", "5550099", 4, EKvContactOnSim | EKvContactDeleted);  // no longer on the phone
  AddContact("Nia", "5550001", -1, EKvContactOnSim);
  AddContact("Oli", "5550002", -1, EKvContactOnSim);
  AddContact("Pam", "5550003", -1, EKvContactOnSim);
  AddContact("Quin", "5550004", -1, EKvContactInPhoneMemory);
  StartEngine();
  ASSERT_TRUE(Run(EKvUploadAllContactsToPhone));
  EXPECT_EQ(Completion()->iText, "Upload complete.");
  EXPECT_EQ(Completion()->iResult, 0);
  EXPECT_TRUE(WaitEngineEnded());

  nlohmann::json state = StopPhone();
  std::map<int, std::string> sim = Entries(state, "SM");
  EXPECT_EQ(sim, (std::map<int, std::string>{{1, "Alice"}, {2, "Bob"}, {3, "Nia"}, {4, "Oli"}, {5, "Carol"},
                                             {6, "Pam"}, {7, "Daniel"}}));
  EXPECT_EQ(Entries(state, "ME"), (std::map<int, std::string>{{1, "Quin"}, {3, "Eve"}}));
  // Only Dan's location was blanked; Ghost blanked nothing.
  EXPECT_EQ(CountLog("CPhoneEng::UploadBlank"), 1);

  // Numbering: loading across both phone books, then per phone book (phone
  // memory first) its blanks and its writes.
  std::vector<std::string> progress = Progress();
  std::vector<std::string> numbered;
  for (const std::string& text : progress)
    if (!text.empty() && text != "Discovered Phone" && text != "Read phone settings") numbered.push_back(text);
  EXPECT_EQ(numbered, (std::vector<std::string>{"Loading Contact 1", "Loading Contact 2", "Loading Contact 3",
                                                "Loading Contact 4", "Loading Contact 5", "Uploaded contact 1",
                                                "Deleted contact 1", "Uploaded contact 1", "Uploaded contact 2",
                                                "Uploaded contact 3", "Uploaded contact 4"}));

  // The clean-up removed the deleted records and cleared the edit mark.
  std::vector<TContactRow> contacts = Contacts();
  EXPECT_EQ(Find(contacts, "Dan"), nullptr);
  EXPECT_EQ(Find(contacts, "Ghost"), nullptr);
  ASSERT_NE(Find(contacts, "Daniel"), nullptr);
  EXPECT_EQ(Find(contacts, "Daniel")->iFlags, static_cast<DWORD>(EKvContactOnSim));
  EXPECT_EQ(contacts.size(), 6u);
}

TEST_F(EngineTest, UploadToAFullSimLogsAndGoesOn) {
  nlohmann::json profile = SmallProfile();
  profile["phonebooks"]["SM"]["last"] = 3;
  profile["phonebooks"]["SM"]["entries"] = nlohmann::json::parse(R"([
    {"location": 1, "number": "1", "name": "One"}, {"location": 2, "number": "2", "name": "Two"},
    {"location": 3, "number": "3", "name": "Three"}])");
  StartPhone(profile);
  AddContact("Another", "4", -1, EKvContactOnSim);
  AddContact("Yet another", "5", -1, EKvContactOnSim);
  AddContact("Memory", "6", -1, EKvContactInPhoneMemory);
  StartEngine();
  ASSERT_TRUE(Run(EKvUploadAllContactsToPhone));
  EXPECT_EQ(Completion()->iText, "Upload complete.");
  EXPECT_EQ(CountLog("CPhoneEng::FindNextLocation - Sim Full"), 2);
  nlohmann::json state = StopPhone();
  EXPECT_EQ(Entries(state, "SM").size(), 3u);
  EXPECT_EQ(Entries(state, "ME"), (std::map<int, std::string>{{1, "Memory"}, {3, "Eve"}}));
}

TEST_F(EngineTest, DeletePhoneBookBlanksEveryEntryOnceAndKeepsLocalContacts) {
  AddContact("Alice", "+441234567890", 1, EKvContactOnSim);
  StartPhone(SmallProfile());
  StartEngine();
  ASSERT_TRUE(Run(EKvDeleteAllContactsFromPhone));
  EXPECT_EQ(Completion()->iText, "Upload complete.");
  EXPECT_EQ(CountLog("CPhoneEng::UploadBlank"), 4);
  EXPECT_EQ(CountLog("CPhoneEng::DeleteLocationPlaceHolderFromArray - no match"), 0);
  // Phone memory (one entry) first, then the SIM (three), each numbered from 1.
  EXPECT_EQ(WithPrefix(Progress(), "Deleted contact"),
            (std::vector<std::string>{"Deleted contact 1", "Deleted contact 1", "Deleted contact 2",
                                      "Deleted contact 3"}));
  EXPECT_TRUE(WaitEngineEnded());
  nlohmann::json state = StopPhone();
  EXPECT_TRUE(Entries(state, "SM").empty());
  EXPECT_TRUE(Entries(state, "ME").empty());
  EXPECT_EQ(Contacts().size(), 1u);
}
