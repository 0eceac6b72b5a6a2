// Reading the phone book into the contacts store, and bringing the phone's
// phone books in line with it (upload) or blanking them.
#include <map>
#include <set>
#include <tuple>

#include "engine/tests/engine_fixture.h"
#include "store/contacts.h"

namespace {

// Location -> name of a phone book in phonesim's state.
std::map<int, std::string> Entries(const nlohmann::json& aState, const char* aBook) {
  std::map<int, std::string> entries;
  for (const auto& entry : aState["phonebooks"][aBook]["entries"]) entries[entry["location"]] = entry["name"];
  return entries;
}

using TPlaced = std::tuple<std::string, std::string, int, DWORD>;  // name, number, location, flags

std::multiset<TPlaced> Placed(const std::vector<TContactRow>& aRows) {
  std::multiset<TPlaced> placed;
  for (const TContactRow& row : aRows) placed.insert({row.iName, row.iNumber, row.iLocation, row.iFlags});
  return placed;
}

const DWORD KSim = EKvContactOnSim;
const DWORD KMemory = EKvContactInPhoneMemory;

}  // namespace

TEST_F(EngineTest, ReadPhoneBookClearsLocalMarksThenStoresSimAndPhoneMemoryOnce) {
  AddContact("Gone", "111", 7, EKvContactOnSim | EKvContactDeleted);
  AddContact("Changed", "222", 8, EKvContactOnSim | EKvContactEdited);
  AddContact("Local only", "333", -1, EKvContactInPhoneMemory);
  StartPhone(SmallProfile());
  StartEngine();
  iShutdownOnComplete = false;
  ASSERT_TRUE(Run(EKvReadPhoneBook));
  EXPECT_EQ(Progress("Found Contact"),
            (std::vector<std::string>{"Found Contact 1", "Found Contact 2", "Found Contact 3", "Found Contact 4"}));
  EXPECT_EQ(Completion()->iText, "Read all contacts.");
  EXPECT_EQ(Completion()->iResult, 0);
  const std::multiset<TPlaced> expected = {
      {"Changed", "222", 8, KSim},  {"Local only", "333", -1, KMemory}, {"Alice", "+441234567890", 1, KSim},
      {"Bob", "01632960123", 2, KSim}, {"Carol", "+447700900456", 5, KSim}, {"Eve", "5551234", 3, KMemory}};
  EXPECT_EQ(Placed(Contacts()), expected);
  // The SIM came first: its three entries precede the phone memory's one.
  int sim = FindLog("LogPhoneEntry: Name = Carol");
  ASSERT_GE(sim, 0);
  EXPECT_GT(FindLog("LogPhoneEntry: Name = Eve"), sim);

  ASSERT_TRUE(Run(EKvReadPhoneBook));
  EXPECT_EQ(Placed(Contacts()), expected);
}

TEST_F(EngineTest, ReadPhoneBookSimOnlyAndPhoneMemoryOnly) {
  StartPhone(SmallProfile());
  StartEngine();
  iShutdownOnComplete = false;
  ASSERT_TRUE(Run(EKvReadPhoneBookSim));
  std::multiset<TPlaced> expected = {
      {"Alice", "+441234567890", 1, KSim}, {"Bob", "01632960123", 2, KSim}, {"Carol", "+447700900456", 5, KSim}};
  EXPECT_EQ(Placed(Contacts()), expected);
  ASSERT_TRUE(Run(EKvReadPhoneBookPhoneMemory));
  expected.insert({"Eve", "5551234", 3, KMemory});
  EXPECT_EQ(Placed(Contacts()), expected);
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

  // The clean-up removed the deleted records and cleared the edit mark; the
  // new ones have their places.
  EXPECT_EQ(Placed(Contacts()),
            (std::multiset<TPlaced>{{"Alice", "+441234567890", 1, KSim}, {"Daniel", "5550007", 7, KSim},
                                    {"Nia", "5550001", 3, KSim}, {"Oli", "5550002", 4, KSim},
                                    {"Pam", "5550003", 6, KSim}, {"Quin", "5550004", 1, KMemory}}));
}

TEST_F(EngineTest, UploadToAFullSimLogsGoesOnAndSaysWhatWasNotWritten) {
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
  EXPECT_EQ(Completion()->iText, "Upload incomplete: 2 with no free place.");
  EXPECT_EQ(Completion()->iResult, -2);
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
  EXPECT_EQ(Progress("Deleted contact"),
            (std::vector<std::string>{"Deleted contact 1", "Deleted contact 1", "Deleted contact 2",
                                      "Deleted contact 3"}));
  EXPECT_TRUE(WaitEngineEnded());
  nlohmann::json state = StopPhone();
  EXPECT_TRUE(Entries(state, "SM").empty());
  EXPECT_TRUE(Entries(state, "ME").empty());
  EXPECT_EQ(Contacts().size(), 1u);
}

// Only the entries the phone accepted count as written: an entry answered
// with ERROR is reported, keeps no place, and the replies stay in step for
// the entries after it.
TEST_F(EngineTest, AnEntryThePhoneRefusesIsReportedAndNotPlaced) {
  nlohmann::json profile = SmallProfile();
  profile["quirks"]["refuse"] = {"AT+CPBW=3,\"5550001\",129,\"Nia\"", "AT+CPBW=4,\"5550001\",129,\"Nia\""};
  StartPhone(profile);
  AddContact("Nia", "5550001", -1, EKvContactOnSim);
  AddContact("Oli", "5550002", -1, EKvContactOnSim);
  StartEngine();
  ASSERT_TRUE(Run(EKvUploadAllContactsToPhone));
  EXPECT_EQ(Completion()->iText, "Upload incomplete: 1 not accepted by the phone.");
  EXPECT_EQ(Completion()->iResult, -2);
  EXPECT_EQ(CountLogPrefix("CPhoneEng::UploadContact - the phone refused the entry"), 1);
  // Beside a name the phone cannot show, each reason is said shorter.
  AddContact("\u0418\u0432\u0430\u043D", "5550003", -1, EKvContactOnSim);
  ASSERT_TRUE(WaitEngineEnded());
  CloseHandle(iEngineThread);
  iNotices.clear();
  StartEngine();
  ASSERT_TRUE(Run(EKvUploadAllContactsToPhone));
  EXPECT_EQ(Completion()->iText, "Upload incomplete: 1 not accepted, 1 name it can't show.");
  EXPECT_EQ(Completion()->iResult, -2);
  EXPECT_EQ(CountLogPrefix("CPhoneEng::UploadContact - the phone refused the entry"), 2);
  nlohmann::json state = StopPhone();
  std::map<int, std::string> sim = Entries(state, "SM");
  // The refused entry left location 3 free: the next contact took it.
  EXPECT_EQ(sim[3], "Oli");
  EXPECT_EQ(sim.count(4), 0u);
  const std::vector<TContactRow> rows = Contacts();
  for (const TContactRow& row : rows) {
    if (row.iName == "Oli") {
      EXPECT_EQ(row.iLocation, 3);
    } else {
      EXPECT_EQ(row.iLocation, -1) << row.iName;
    }
  }
}

// A phone without UCS2 cannot show a Cyrillic or Chinese name: no byte may
// stand in for it. Such a contact is not written, the log and the summary
// say why, and the others go as usual, a quote and (in GSM, code 0) an at
// sign escaped inside the name.
class NamesWithoutUcs2Test : public EngineTest {
 protected:
  void Upload(const std::string& aCharset, const std::string& aExpectedWrite);
};

void NamesWithoutUcs2Test::Upload(const std::string& aCharset, const std::string& aExpectedWrite) {
  nlohmann::json profile = SmallProfile();
  profile["charsets"] = {aCharset};
  iPhone.EnableTranscript();
  StartPhone(profile);
  AddContact("\u0418\u0432\u0430\u043D", "5550001", -1, EKvContactOnSim);
  AddContact("\u738B\u5C0F\u660E", "5550002", -1, EKvContactOnSim);
  AddContact("J\u00F6rg \"Jo\" @home", "5550003", -1, EKvContactOnSim);
  StartEngine();
  ASSERT_TRUE(Run(EKvUploadAllContactsToPhone));
  EXPECT_EQ(Completion()->iText, "Upload incomplete: 2 names the phone cannot show.");
  EXPECT_EQ(Completion()->iResult, -2);
  EXPECT_EQ(CountLogPrefix("CPhoneEng::UploadContact - not written: the phone cannot show the name"), 2);
  nlohmann::json state = StopPhone();
  std::vector<std::string> writes;
  for (const std::string& command : iPhone.ReceivedCommands())
    if (command.rfind("AT+CPBW=", 0) == 0) writes.push_back(command);
  EXPECT_EQ(writes, std::vector<std::string>{aExpectedWrite});
  std::map<int, std::string> sim = Entries(state, "SM");
  EXPECT_EQ(sim[3], "J\u00F6rg \"Jo\" @hom");  // the phone keeps 14 characters
  EXPECT_EQ(sim.size(), 4u);
}

TEST_F(NamesWithoutUcs2Test, Latin1) {
  Upload("8859-1", "AT+CPBW=3,\"5550003\",129,\"J\xF6rg \\22Jo\\22 @home\"");
}

TEST_F(NamesWithoutUcs2Test, GsmAlphabet) {
  Upload("GSM", "AT+CPBW=3,\"5550003\",129,\"J|rg \\22Jo\\22 \\00home\"");
}

// A name the SIM cuts on upload: the next read finds the contact at its
// place under the short name, and keeps ours instead of adding another.
TEST_F(EngineTest, ANameTheSimCutOnUploadIsTheSameContactWhenReadBack) {
  nlohmann::json profile = SmallProfile();
  profile["phonebooks"]["SM"]["name_length"] = 10;
  StartPhone(profile);
  AddContact("Alexandra Whitmore", "+447700900321", -1, EKvContactOnSim);
  StartEngine();
  iShutdownOnComplete = false;
  ASSERT_TRUE(Run(EKvUploadAllContactsToPhone));
  ASSERT_EQ(Completion()->iText, "Upload complete.");
  int place = -1;
  for (const TContactRow& row : Contacts())
    if (row.iName == "Alexandra Whitmore") place = row.iLocation;
  ASSERT_GT(place, 0) << "the upload gave our contact its place";

  iNotices.clear();
  iShutdownOnComplete = true;
  ASSERT_TRUE(Run(EKvReadPhoneBook));
  EXPECT_EQ(Completion()->iText, "Read all contacts.");
  int ours = 0;
  for (const TContactRow& row : Contacts()) {
    EXPECT_NE(row.iName, "Alexandra ") << "no second contact under the cut name";
    if (row.iNumber == "+447700900321") ++ours;
  }
  EXPECT_EQ(ours, 1);
  EXPECT_EQ(Placed(Contacts()).count({"Alexandra Whitmore", "+447700900321", place, KSim}), 1u);
}
