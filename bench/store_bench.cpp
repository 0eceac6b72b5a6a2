// The messages store on a real volume file of 1,000, 10,000 and 100,000
// messages (made once, see CachedMessagesVolume): WriteItemL of a new message (its duplicate search and
// the synced write), WriteItemL of a duplicate (the search alone), a part
// of a long message written (WritePartL), and reading every record; and a
// download of a SIM's phone book into a contacts store of 10,000
// (WritePhoneEntryL). Figures only; nothing passes or fails.
#include <stdlib.h>
#include <unistd.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_fill.h"
#include "store/contacts.h"

namespace {

// A store of the size asked for, on a device root of its own; the last one
// asked for stays open.
class TSizedStore {
 public:
  ~TSizedStore() { Close(); }
  CKveMessagesDatabase* Of(int aCount) {
    if (aCount != iCount) {
      Close();
      iRoot = MakeFilledBenchRoot(aCount);
      if (iRoot.empty()) return nullptr;
      // The copy of the cached volume is written back before the figures
      // start: its write-back is the benchmark's, not the writes' own cost.
      ::sync();
      iDb.reset(CKveMessagesDatabase::NewL(nullptr, 0));
      iCount = aCount;
    }
    return iDb.get();
  }

 private:
  void Close() {
    iDb.reset();
    if (!iRoot.empty()) std::filesystem::remove_all(iRoot);
    iRoot.clear();
    iCount = 0;
  }

  std::string iRoot;
  std::unique_ptr<CKveMessagesDatabase> iDb;
  int iCount = 0;
};

TSizedStore& TheStore() {
  static TSizedStore store;
  return store;
}

double PeakMegabytes() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

int gNextNew = 10000000;

void BM_WriteItemL(benchmark::State& aState) {
  CKveMessagesDatabase* db = TheStore().Of(static_cast<int>(aState.range(0)));
  if (db == nullptr) aState.SkipWithError("filling the store failed");
  for (auto _ : aState) {
    if (db == nullptr) break;
    std::unique_ptr<CKveMessagesItem> item(NewBenchMessage(*db, gNextNew++, "New"));
    if (db->WriteItemL(*item) == 0) aState.SkipWithError("write failed");
  }
  aState.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_WriteItemL)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(50)->Unit(benchmark::kMillisecond);

void BM_WriteItemLDuplicate(benchmark::State& aState) {
  const int size = static_cast<int>(aState.range(0));
  CKveMessagesDatabase* db = TheStore().Of(size);
  if (db == nullptr) aState.SkipWithError("filling the store failed");
  int next = 0;
  for (auto _ : aState) {
    if (db == nullptr) break;
    std::unique_ptr<CKveMessagesItem> item(NewBenchMessage(*db, next++ * 7919 % size));
    if (db->WriteItemL(*item) != 0) aState.SkipWithError("a duplicate was written");
  }
}
BENCHMARK(BM_WriteItemLDuplicate)->Arg(100000)->Iterations(20)->Unit(benchmark::kMillisecond);

// A part of a long message received into the store: every other one starts
// its message's record, the others join the record the part before started.
// The first part written (outside the timing) makes the parts index of a
// volume that has none.
void BM_WritePartL(benchmark::State& aState) {
  CKveMessagesDatabase* db = TheStore().Of(static_cast<int>(aState.range(0)));
  if (db == nullptr) aState.SkipWithError("filling the store failed");
  auto writePart = [db](int aMessage, DWORD aPart) {
    std::unique_ptr<CKveMessagesItem> item(NewBenchMessage(*db, gNextNew + aMessage, "Part"));
    TKvMessagePart part = {static_cast<DWORD>(aMessage % 256), 8, 2, aPart};
    return db->WritePartL(*item, part);
  };
  if (db != nullptr && writePart(-1, 1) == 0) aState.SkipWithError("write failed");
  int written = 0;
  for (auto _ : aState) {
    if (db == nullptr) break;
    if (writePart(written / 2, static_cast<DWORD>(written % 2 + 1)) == 0) aState.SkipWithError("write failed");
    ++written;
  }
  gNextNew += written;
  aState.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_WritePartL)->Arg(100000)->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_IterateMessages(benchmark::State& aState) {
  CKveMessagesDatabase* db = TheStore().Of(static_cast<int>(aState.range(0)));
  if (db == nullptr) aState.SkipWithError("filling the store failed");
  for (auto _ : aState) {
    int count = 0;
    for (CEpocDatabaseItem* item = db ? db->ReadFirstItemL() : nullptr; item != nullptr; item = db->ReadNextItemL()) {
      ++count;
      delete item;
    }
    if (count < aState.range(0)) aState.SkipWithError("records missing");
  }
  aState.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_IterateMessages)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// A contacts store of aCount contacts, half of them on the SIM at locations
// 1 to 250, on a memory-backed device root: what is measured is the search
// for a contact that stands for each entry, not the disk.
class TContactsVolume {
 public:
  explicit TContactsVolume(int aCount) {
    char pattern[] = "/dev/shm/kv-bench-contacts-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    iRoot = pattern;
    kvplatform::SetDeviceRoot(iRoot);
    for (const char16_t* folder : {u"\\Program Files", u"\\Program Files\\Korvanet", u"\\Program Files\\Korvanet\\Data"})
      CreateDirectoryW(folder, nullptr);
    kvplatform::DevicePathToHost(KDatabaseVolume, iVolume);
    std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
    for (int i = 0; i < aCount; ++i) {
      std::unique_ptr<CKveContactsItem> contact(Contact(*db, "Contact " + std::to_string(i), 100000 + i));
      if (i % 2 == 0) {
        contact->SetOnSim();
        contact->SetLocation(i / 2 % 250 + 1);
      }
      if (db->WriteItemL(*contact) == 0) return;
    }
    db.reset();
    std::filesystem::copy_file(iVolume, iVolume + ".filled");
    iFilled = true;
  }
  ~TContactsVolume() {
    if (!iRoot.empty()) std::filesystem::remove_all(iRoot);
  }
  bool Filled() const { return iFilled; }
  // The volume as it was filled, whatever the last download added.
  void Restore() { std::filesystem::copy_file(iVolume + ".filled", iVolume, std::filesystem::copy_options::overwrite_existing); }

  static CKveContactsItem* Contact(CKveContactsDatabase& aDb, const std::string& aName, int aNumber) {
    auto* contact = static_cast<CKveContactsItem*>(aDb.NewItemL());
    const std::u16string name = kvplatform::FromUtf8(aName);
    const std::u16string number = kvplatform::FromUtf8("+4477009" + std::to_string(aNumber));
    contact->SetNameL(TConstPtr16(name.data(), static_cast<int>(name.size())));
    contact->SetNumberL(TConstPtr16(number.data(), static_cast<int>(number.size())));
    return contact;
  }

 private:
  std::string iRoot;
  std::string iVolume;
  bool iFilled = false;
};

// 500 SIM entries none of the store's contacts stands for, each written as a
// phone book download writes it.
void BM_DownloadSimEntries(benchmark::State& aState) {
  static TContactsVolume volume(10000);
  if (!volume.Filled()) aState.SkipWithError("filling the contacts store failed");
  const int entries = static_cast<int>(aState.range(0));
  std::chrono::duration<double, std::milli> writing{0};
  for (auto _ : aState) {
    if (!volume.Filled()) break;
    aState.PauseTiming();
    volume.Restore();
    std::unique_ptr<CKveContactsDatabase> db(CKveContactsDatabase::NewL(nullptr, 0));
    aState.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < entries; ++i) {
      std::unique_ptr<CKveContactsItem> entry(TContactsVolume::Contact(*db, "SIM entry " + std::to_string(i), i));
      entry->SetOnSim();
      entry->SetLocation(i + 1);
      if (db->WritePhoneEntryL(*entry) == 0) aState.SkipWithError("an entry was not stored");
    }
    writing += std::chrono::steady_clock::now() - start;
  }
  aState.counters["per_entry_ms"] = writing.count() / (static_cast<double>(entries) * aState.iterations());
}
BENCHMARK(BM_DownloadSimEntries)->Arg(500)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
