// Kernel figures: descriptor append and compare, ordered insertion and sort
// of 100,000 array elements, and log lines per second with logging off and on.
#include <benchmark/benchmark.h>

#include <kvplatform.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "kernel/arrays.h"
#include "kernel/descriptors.h"
#include "kernel/log.h"

namespace {

struct TRecord {
  int iKey;
  int iValue;
};

std::vector<int> RandomKeys(int aCount) {
  std::mt19937 random(1234);
  std::vector<int> keys(aCount);
  for (int& key : keys) key = static_cast<int>(random());
  return keys;
}

void BM_DescriptorAppend(benchmark::State& aState) {
  TConstPtr16 word(u"AT+CMGL=4");
  for (auto _ : aState) {
    TModBuf16<256> line;
    while (line.Length() + word.Length() <= line.MaxLength()) line.Append(word);
    benchmark::DoNotOptimize(line.Ptr());
  }
  aState.SetBytesProcessed(aState.iterations() * 252 * 2);
}
BENCHMARK(BM_DescriptorAppend);

void BM_DescriptorCompare(benchmark::State& aState) {
  std::u16string a(160, u'x');
  std::u16string b = a;
  b.back() = u'y';
  TConstPtr16 left(a.c_str());
  TConstPtr16 right(b.c_str());
  for (auto _ : aState) benchmark::DoNotOptimize(left.Compare(right));
}
BENCHMARK(BM_DescriptorCompare);

void BM_ArrayInsertInOrder(benchmark::State& aState) {
  std::vector<int> keys = RandomKeys(100000);
  for (auto _ : aState) {
    CArrayFixFlat<TRecord> array(1024);
    TKeyArrayFix key(0, 0);
    for (int k : keys) {
      TRecord record = {k, 0};
      array.InsertIsqAllowDuplicatesL(&record, key);
    }
    benchmark::DoNotOptimize(array.Count());
  }
  aState.SetItemsProcessed(aState.iterations() * 100000);
}
BENCHMARK(BM_ArrayInsertInOrder)->Unit(benchmark::kMillisecond);

void BM_ArraySort(benchmark::State& aState) {
  std::vector<int> keys = RandomKeys(100000);
  for (auto _ : aState) {
    aState.PauseTiming();
    CArrayFixFlat<TRecord> array(100000);
    for (int k : keys) array.AppendL(TRecord{k, 0});
    aState.ResumeTiming();
    TKeyArrayFix key(0, 0);
    array.Sort(key);
    benchmark::DoNotOptimize(array.Count());
  }
  aState.SetItemsProcessed(aState.iterations() * 100000);
}
BENCHMARK(BM_ArraySort)->Unit(benchmark::kMillisecond);

void BM_LogMessage(benchmark::State& aState) {
  bool on = aState.range(0) != 0;
  char pattern[] = "/tmp/kvbench-XXXXXX";
  std::string root = mkdtemp(pattern);
  kvplatform::SetDeviceRoot(root);
  LogCloseFile();
  SetLogging(on ? 1 : 0);
  int n = 0;
  for (auto _ : aState) LogMessage(KLogFilePath, u"CCommunicator::Send %1!d! bytes to %2!s!", ++n, u"COM3:");
  SetLogging(0);
  LogCloseFile();
  std::filesystem::remove_all(root);
  aState.SetItemsProcessed(aState.iterations());
  aState.SetLabel(on ? "logging on (lines/s)" : "logging off (calls/s)");
}
BENCHMARK(BM_LogMessage)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
