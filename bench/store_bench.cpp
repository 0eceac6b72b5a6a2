// The messages store on a real volume file, grown to 1,000, 10,000 and
// 100,000 messages: WriteItemL of a new message (its duplicate search and
// the synced write), WriteItemL of a duplicate (the search alone), and
// reading every record. Figures only; nothing passes or fails.
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_fill.h"

namespace {

// One store for the whole run, grown as the sizes ask: each write is synced,
// so filling takes a while and is done once.
class TGrowingStore {
 public:
  TGrowingStore() : iRoot(MakeBenchRoot()) { iDb.reset(CKveMessagesDatabase::NewL(nullptr, 0)); }
  ~TGrowingStore() {
    iDb.reset();
    std::filesystem::remove_all(iRoot);
  }
  CKveMessagesDatabase& GrownTo(int aCount) {
    if (aCount > iCount && FillMessagesStore(iCount, aCount)) iCount = aCount;
    return *iDb;
  }
  int Count() const { return iCount; }

 private:
  std::string iRoot;
  std::unique_ptr<CKveMessagesDatabase> iDb;
  int iCount = 0;
};

TGrowingStore& TheStore() {
  static TGrowingStore store;
  return store;
}

double PeakMegabytes() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

int gNextNew = 10000000;

void BM_WriteItemL(benchmark::State& aState) {
  const int size = static_cast<int>(aState.range(0));
  CKveMessagesDatabase& db = TheStore().GrownTo(size);
  if (TheStore().Count() < size) aState.SkipWithError("filling the store failed");
  for (auto _ : aState) {
    std::unique_ptr<CKveMessagesItem> item(NewBenchMessage(db, gNextNew++, "New"));
    if (db.WriteItemL(*item) == 0) aState.SkipWithError("write failed");
  }
  aState.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_WriteItemL)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(50)->Unit(benchmark::kMillisecond);

void BM_WriteItemLDuplicate(benchmark::State& aState) {
  const int size = static_cast<int>(aState.range(0));
  CKveMessagesDatabase& db = TheStore().GrownTo(size);
  int next = 0;
  for (auto _ : aState) {
    std::unique_ptr<CKveMessagesItem> item(NewBenchMessage(db, next++ % size));
    if (db.WriteItemL(*item) != 0) aState.SkipWithError("a duplicate was written");
  }
}
BENCHMARK(BM_WriteItemLDuplicate)->Arg(100000)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_IterateMessages(benchmark::State& aState) {
  CKveMessagesDatabase& db = TheStore().GrownTo(static_cast<int>(aState.range(0)));
  for (auto _ : aState) {
    int count = 0;
    for (CEpocDatabaseItem* item = db.ReadFirstItemL(); item != nullptr; item = db.ReadNextItemL()) {
      ++count;
      delete item;
    }
    if (count < aState.range(0)) aState.SkipWithError("records missing");
  }
  aState.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_IterateMessages)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
