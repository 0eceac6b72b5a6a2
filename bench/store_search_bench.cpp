// Conversations and search on a store of 100,000 messages and 10,000
// contacts (made once per run, in a temporary root): searches of three
// characters or more and of one or two, the conversations list and a
// conversation of 5,000 messages to what their first screen shows, a write
// with the indexes, keying again for another home country, and the first
// open of the same store as the earlier version left it. Figures only; nothing passes or fails.
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <kvplatform_db.h>

#include "bench/bench_fill.h"
#include "store/contacts.h"
#include "store/conversation_key.h"

extern char** environ;

namespace {

const int KMessages = 100000;
const int KContacts = 10000;
const int KLongConversation = 5000;
// Rows a 240 x 320 list shows at once.
const int KRowsOnScreen = 14;

// Words the texts are made of, and the ones searched for, each in one
// message in a hundred at its own offset.
const char* const KFiller[] = {"see", "you", "later", "at", "home", "dinner", "tomorrow", "ok", "thanks", "call",
                               "me", "when", "free", "bus", "late", "love", "meeting", "moved", "to", "friday"};
struct TSought {
  const char* iQuery;
  const char* iWritten;
  int iOffset;
};
const TSought KSought[] = {{"встречаемся", "Встречаемся", 11},
                           {"cafe", "café", 23},
                           {"北京", "北京烤鸭", 37},
                           {"station", "Station", 59}};

std::u16string U16(const std::string& aText) { return kvplatform::FromUtf8(aText); }

std::string ContactNumber(int aContact) { return "+4477009" + std::to_string(10000 + aContact); }
// National and international forms of the same numbers, as phones write them.
std::string WrittenNumber(int aContact, int aMessage) {
  std::string digits = std::to_string(10000 + aContact);
  return aMessage % 3 == 0 ? "077009 " + digits : aMessage % 3 == 1 ? "+4477009" + digits : "004477009" + digits;
}

std::string TextOf(int aMessage) {
  std::string text;
  for (int word = 0; word < 8; ++word) text += std::string(word ? " " : "") + KFiller[(aMessage * 7 + word * 3) % 20];
  text += " #" + std::to_string(aMessage);
  for (const TSought& sought : KSought)
    if (aMessage % 100 == sought.iOffset) text += std::string(" ") + sought.iWritten;
  return text;
}

class TSearchStore {
 public:
  TSearchStore() {
    SetHomeCountry("GB");
    iRoot = MakeBenchRoot();
    iMade = Fill();
  }
  ~TSearchStore() {
    iDb.reset();
    std::filesystem::remove_all(iRoot);
  }
  bool Made() const { return iMade; }
  void Close() {
    iDb.reset();
    iContacts.reset();
  }
  void Open() {
    iContacts.reset(CKveContactsDatabase::NewL(nullptr, 0));
    iDb.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  }
  CKveMessagesDatabase& Db() { return *iDb; }
  CKveContactsDatabase& Contacts() { return *iContacts; }
  const std::string& Root() const { return iRoot; }
  int Expected(const char* aQuery) const { return iExpected.at(aQuery); }

 private:
  bool Fill() {
    iContacts.reset(CKveContactsDatabase::NewL(nullptr, 0));
    iDb.reset(CKveMessagesDatabase::NewL(nullptr, 0));
    CEGUID volume;
    if (!CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return false;
    kvplatform::BeginVolumeTransaction(volume);
    for (int i = 0; i < KContacts; ++i) {
      std::unique_ptr<CKveContactsItem> contact(CKveContactsItem::NewL());
      contact->ConstructL();
      std::u16string name = U16("Contact " + std::to_string(i)), number = U16(ContactNumber(i));
      TConstPtr16 nameText(name.data(), static_cast<int>(name.size()));
      TConstPtr16 numberText(number.data(), static_cast<int>(number.size()));
      contact->SetDetailsL(&nameText, &numberText, nullptr);
      if (iContacts->WriteItemL(*contact) == 0) return false;
    }
    for (const TSought& sought : KSought) iExpected[sought.iQuery] = 0;
    for (int i = 0; i < KMessages; ++i) {
      // One party has 5,000 messages; the rest spread over 3,000 others.
      const int contact = i < KLongConversation ? 0 : 1 + i % 3000;
      std::u16string number = U16(WrittenNumber(contact, i)), text = U16(TextOf(i));
      std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(iDb->NewItemL()));
      TConstPtr16 numberText(number.data(), static_cast<int>(number.size()));
      TConstPtr16 bodyText(text.data(), static_cast<int>(text.size()));
      message->SetDetailsL(nullptr, &bodyText, &numberText, i % 4 == 0 ? EKvFolderSent : EKvFolderInbox);
      if (iDb->WriteOwnItemL(*message) == 0) return false;
      for (const TSought& sought : KSought)
        if (i % 100 == sought.iOffset) ++iExpected[sought.iQuery];
      if (i % 10000 == 9999) {
        kvplatform::EndVolumeTransaction(volume, TRUE);
        kvplatform::BeginVolumeTransaction(volume);
      }
    }
    bool done = kvplatform::EndVolumeTransaction(volume, TRUE);
    CeUnmountDBVol(&volume);
    return done;
  }

  std::string iRoot;
  bool iMade = false;
  std::unique_ptr<CKveContactsDatabase> iContacts;
  std::unique_ptr<CKveMessagesDatabase> iDb;
  std::map<std::string, int> iExpected;
};

TSearchStore& TheSearchStore() {
  static TSearchStore store;
  return store;
}

void Search(benchmark::State& aState, const char* aQuery) {
  TSearchStore& store = TheSearchStore();
  if (!store.Made()) {
    aState.SkipWithError("filling the store failed");
    return;
  }
  std::vector<CEOID> found;
  for (auto _ : aState) {
    found.clear();
    store.Db().SearchL(U16(aQuery), 0, 50, found);
    benchmark::DoNotOptimize(found.data());
  }
  // Every match, not only the first 50: what the search finds is exactly
  // what the store holds.
  std::vector<CEOID> all;
  store.Db().SearchL(U16(aQuery), 0, KMessages, all);
  aState.counters["shown"] = static_cast<double>(found.size());
  aState.counters["found"] = static_cast<double>(all.size());
  aState.counters["expected"] = store.Expected(aQuery);
}

void BM_SearchCyrillicWord(benchmark::State& aState) { Search(aState, "встречаемся"); }
void BM_SearchWithoutAccents(benchmark::State& aState) { Search(aState, "cafe"); }
void BM_SearchLatinWord(benchmark::State& aState) { Search(aState, "station"); }
void BM_SearchTwoChineseCharacters(benchmark::State& aState) { Search(aState, "北京"); }
BENCHMARK(BM_SearchCyrillicWord)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchWithoutAccents)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchLatinWord)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchTwoChineseCharacters)->Iterations(20)->Unit(benchmark::kMillisecond);

// Of one character, found in few messages: the scan reads every text.
void BM_SearchOneRareCharacter(benchmark::State& aState) {
  TSearchStore& store = TheSearchStore();
  std::vector<CEOID> found;
  for (auto _ : aState) {
    found.clear();
    store.Db().SearchL(u"京", 0, 50, found);
  }
  aState.counters["shown"] = static_cast<double>(found.size());
}
BENCHMARK(BM_SearchOneRareCharacter)->Iterations(20)->Unit(benchmark::kMillisecond);

// What the list's first screen needs: every conversation in order, and the
// rows shown with their last message and their contact's name (one lookup
// in the contacts' index of conversation keys each).
void BM_ConversationsListFirstPaint(benchmark::State& aState) {
  TSearchStore& store = TheSearchStore();
  size_t conversations = 0, named = 0;
  for (auto _ : aState) {
    std::vector<TKvConversation> list;
    store.Db().ReadConversationsL(list);
    named = 0;
    for (size_t row = 0; row < list.size() && row < KRowsOnScreen; ++row) {
      std::unique_ptr<CEpocDatabaseItem> newest(store.Db().ReadItemL(list[row].iNewest));
      named += !store.Contacts().NameOfConversationL(list[row].iKey).empty();
    }
    conversations = list.size();
  }
  aState.counters["conversations"] = static_cast<double>(conversations);
  aState.counters["named"] = static_cast<double>(named);
}
BENCHMARK(BM_ConversationsListFirstPaint)->Iterations(10)->Unit(benchmark::kMillisecond);

// A conversation opens at its newest messages, at the bottom.
void BM_ConversationOf5000FirstPaint(benchmark::State& aState) {
  TSearchStore& store = TheSearchStore();
  const std::u16string key = U16(ContactNumber(0));
  size_t messages = 0;
  for (auto _ : aState) {
    std::vector<CEOID> oids;
    store.Db().ConversationMessagesL(key, oids);
    for (size_t i = oids.size() > KRowsOnScreen ? oids.size() - KRowsOnScreen : 0; i < oids.size(); ++i) {
      std::unique_ptr<CEpocDatabaseItem> message(store.Db().ReadItemL(oids[i]));
      benchmark::DoNotOptimize(message.get());
    }
    messages = oids.size();
  }
  aState.counters["messages"] = static_cast<double>(messages);
}
BENCHMARK(BM_ConversationOf5000FirstPaint)->Iterations(20)->Unit(benchmark::kMillisecond);

int gNextMessage = 20000000;

void BM_WriteItemLWithIndexes(benchmark::State& aState) {
  TSearchStore& store = TheSearchStore();
  for (auto _ : aState) {
    std::unique_ptr<CKveMessagesItem> item(NewBenchMessage(store.Db(), gNextMessage++, "Новое café"));
    if (store.Db().WriteItemL(*item) == 0) aState.SkipWithError("write failed");
  }
}
BENCHMARK(BM_WriteItemLWithIndexes)->Iterations(50)->Unit(benchmark::kMillisecond);

#ifdef KV_CLI_PATH
// `korvanet-cli --json conversations list` on the same store, process start
// included: every conversation titled, its output read and dropped.
double CliConversationsListSeconds(const std::string& aRoot, bool& aOk) {
  std::vector<std::string> argv = {KV_CLI_PATH, "--root", aRoot, "--json", "conversations", "list"};
  std::vector<char*> args;
  for (std::string& argument : argv) args.push_back(argument.data());
  args.push_back(nullptr);
  int out[2];
  aOk = false;
  if (pipe(out) != 0) return 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    return 0;
  }
  char buffer[65536];
  while (read(out[0], buffer, sizeof buffer) > 0) {
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  aOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CliConversationsList(benchmark::State& aState) {
  TSearchStore& store = TheSearchStore();
  store.Close();
  for (auto _ : aState) {
    bool ok = false;
    aState.SetIterationTime(CliConversationsListSeconds(store.Root(), ok));
    if (!ok) aState.SkipWithError("korvanet-cli failed");
  }
  store.Open();
}
BENCHMARK(BM_CliConversationsList)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

// The home country changes: every message and contact of a national number
// (a third of the store's messages) is keyed again, in one transaction,
// back and forth between two countries.
void BM_KeyAgainForAnotherCountry(benchmark::State& aState) {
  TSearchStore& store = TheSearchStore();
  int round = 0;
  for (auto _ : aState) {
    SetHomeCountry(round++ % 2 == 0 ? "FR" : "GB");
    if (!store.Db().FollowHomeCountryL() || !store.Contacts().FollowHomeCountryL())
      aState.SkipWithError("keying again failed");
  }
  std::vector<TKvConversation> conversations;
  store.Db().ReadConversationsL(conversations);
  aState.counters["conversations"] = static_cast<double>(conversations.size());
  aState.counters["messages"] = KMessages;
  SetHomeCountry("GB");
  store.Db().FollowHomeCountryL();
  store.Contacts().FollowHomeCountryL();
}
BENCHMARK(BM_KeyAgainForAnotherCountry)->Iterations(4)->Unit(benchmark::kMillisecond);

// What the country costs an opening when it did not change: one value read.
void BM_FollowTheSameCountry(benchmark::State& aState) {
  TSearchStore& store = TheSearchStore();
  for (auto _ : aState)
    if (!store.Db().FollowHomeCountryL() || !store.Contacts().FollowHomeCountryL())
      aState.SkipWithError("reading the country failed");
}
BENCHMARK(BM_FollowTheSameCountry)->Iterations(1000)->Unit(benchmark::kMicrosecond);

// The same store as the earlier version left it: no conversation keys, no
// index tables, the volume of the first format. Then the store opened.
bool MakeEarlierVolume() {
  std::string path;
  kvplatform::DevicePathToHost(KDatabaseVolume, path);
  sqlite3* db = nullptr;
  // Indexes no longer asked for, so that taking the keys out changes nothing else.
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, "DELETE FROM valueindexes; DELETE FROM textindexes;", nullptr, nullptr, nullptr) != SQLITE_OK)
    return false;
  sqlite3_close(db);
  CEGUID volume;
  if (!CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return false;
  CEOID database = 0;
  HANDLE named = CeOpenDatabaseEx(&volume, &database, const_cast<LPWSTR>(u"KvMessages"), KMessageNameProp, 0, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  CloseHandle(named);
  HANDLE handle = kvplatform::OpenDatabaseInStoredOrder(volume, database);
  std::vector<CEOID> oids;
  LPBYTE buffer = nullptr;
  DWORD size = 0;
  WORD count = 0;
  CeSeekDatabase(handle, CEDB_SEEK_BEGINNING, 0, nullptr);
  for (CEOID oid; (oid = CeReadRecordProps(handle, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size)) != 0;)
    oids.push_back(oid);
  LocalFree(buffer);
  kvplatform::BeginVolumeTransaction(volume);
  for (CEOID oid : oids) {
    CEPROPVAL drop[2] = {};
    drop[0].propid = KMessageConversationProp;
    drop[1].propid = KMessageUnreadProp;
    drop[0].wFlags = drop[1].wFlags = CEDB_PROPDELETE;
    CeWriteRecordProps(handle, oid, 2, drop);
  }
  kvplatform::EndVolumeTransaction(volume, TRUE);
  CloseHandle(handle);
  CeUnmountDBVol(&volume);
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  bool made = sqlite3_exec(db,
                           "DROP TABLE fulltext; DROP TABLE textindexes; DROP TABLE indexedvalues;"
                           "DROP TABLE valueindexes; PRAGMA user_version=1; VACUUM;",
                           nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return made;
}

void BM_FirstOpenOfAnEarlierVolume(benchmark::State& aState) {
  TSearchStore& store = TheSearchStore();
  store.Close();
  if (!store.Made() || !MakeEarlierVolume()) {
    aState.SkipWithError("making the earlier volume failed");
    return;
  }
  for (auto _ : aState) store.Open();
  std::vector<TKvConversation> conversations;
  store.Db().ReadConversationsL(conversations);
  std::vector<CEOID> found;
  store.Db().SearchL(u"station", 0, KMessages, found);
  aState.counters["conversations"] = static_cast<double>(conversations.size());
  aState.counters["found"] = static_cast<double>(found.size());
  aState.counters["expected"] = store.Expected("station");
}
BENCHMARK(BM_FirstOpenOfAnEarlierVolume)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
