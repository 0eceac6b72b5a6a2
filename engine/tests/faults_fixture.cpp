#include "engine/tests/faults_fixture.h"

#include <memory>

#include "kernel/log.h"
#include "store/contacts.h"
#include "store/messages.h"

FaultTest::TResources FaultTest::Resources() {
  LogMessage(KLogFilePath, u"FaultTest - counting threads and descriptors");  // the log file is open from here on
  return {CountThreads(), CountDescriptors()};
}

void FaultTest::ExpectEngineGone(const TResources& aBefore) {
  ASSERT_TRUE(WaitEngineEnded()) << "the engine thread did not end";
  CloseHandle(iEngineThread);
  iEngineThread = nullptr;
  PumpUntil([&] { return CountThreads() == aBefore.iThreads && CountDescriptors() == aBefore.iDescriptors; });
  EXPECT_EQ(CountThreads(), aBefore.iThreads) << "a thread was left behind";
  EXPECT_EQ(CountDescriptors(), aBefore.iDescriptors) << "a descriptor was left open";
}

void FaultTest::ResetAction() {
  iNotices.clear();
  iAction.iText.Zero();
  iAction.iResult = 0;
}

void FaultTest::RunAction(UINT aCommand) {
  ResetAction();
  StartEngineWithReplyTimeout(KShortReply);
  ASSERT_TRUE(Run(aCommand, 60000)) << "no completion for " << aCommand;
}

nlohmann::json FaultTest::RestartPhone() {
  nlohmann::json state = StopPhone();
  EXPECT_TRUE(state.is_object()) << "phonesim wrote no state";
  if (state.is_object()) StartPhone(state);
  return state;
}

std::multiset<std::string> FaultTest::MessageTexts() const {
  std::multiset<std::string> texts;
  for (const TMessageRow& row : Messages()) texts.insert(row.iText);
  return texts;
}

std::multiset<std::string> FaultTest::ContactNames() const {
  std::multiset<std::string> names;
  for (const TContactRow& row : Contacts()) names.insert(row.iName);
  return names;
}

std::multiset<std::string> FaultTest::PhoneNames(const nlohmann::json& aState, const std::string& aBook) {
  std::multiset<std::string> names;
  for (const nlohmann::json& entry : aState["phonebooks"][aBook]["entries"])
    names.insert(entry["name"].get<std::string>());
  return names;
}

namespace {

// Deleted after the walk, so that the read position is not disturbed.
template <typename TStore>
void ClearStore() {
  std::unique_ptr<TStore> store(TStore::NewL(nullptr, 0));
  std::vector<CEOID> oids;
  for (CEpocDatabaseItem* record = store->ReadFirstItemL(); record != nullptr; record = store->ReadNextItemL()) {
    oids.push_back(record->Oid());
    delete record;
  }
  for (CEOID oid : oids) store->DeleteItem(oid);
}

}  // namespace

void FaultTest::ClearMessages() { ClearStore<CKveMessagesDatabase>(); }

void FaultTest::ClearContacts() { ClearStore<CKveContactsDatabase>(); }

std::vector<std::string> FaultTest::Texts() const {
  std::vector<std::string> texts;
  for (const std::string& text : Progress())
    if (!text.empty()) texts.push_back(text);
  return texts;
}

nlohmann::json ProfileWithFault(const nlohmann::json& aFault) {
  nlohmann::json profile = SmallProfile();
  profile["quirks"]["faults"] = nlohmann::json::array({aFault});
  return profile;
}
