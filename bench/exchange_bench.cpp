// The contacts readers on inputs made to be slow, at growing sizes: a vCard
// line folded into many short pieces, and a CSV header of many number
// columns over as many short rows. Time per byte should stay flat as the
// size grows. Figures only; nothing passes or fails.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "exchange/contacts_csv.h"
#include "exchange/vcard_reader.h"

namespace {

std::string FoldedCard(int aPieces) {
  std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Folded\r\nTEL:+447700900001\r\nNOTE;X-A=";
  for (int i = 0; i < aPieces; ++i) card += "\r\n a";
  return card + ":done\r\nEND:VCARD\r\n";
}

std::string WideCsv(int aColumns) {
  std::string csv = "Name";
  for (int i = 1; i <= aColumns; ++i) csv += ",Phone " + std::to_string(i) + " - Value";
  csv += "\r\nFirst,+447700900003\r\n";
  for (int i = 0; i < aColumns; ++i) csv += "x\r\n";
  return csv;
}

void BM_FoldedVCard(benchmark::State& aState) {
  std::string card = FoldedCard(static_cast<int>(aState.range(0)));
  for (auto _ : aState) {
    std::vector<kvexchange::TContactRecord> cards;
    std::string error;
    benchmark::DoNotOptimize(kvexchange::ReadVCards(card, cards, error));
  }
  aState.SetBytesProcessed(static_cast<int64_t>(aState.iterations()) * static_cast<int64_t>(card.size()));
}
BENCHMARK(BM_FoldedVCard)->RangeMultiplier(4)->Range(1 << 12, 1 << 20)->Unit(benchmark::kMillisecond);

void BM_WideCsv(benchmark::State& aState) {
  std::string csv = WideCsv(static_cast<int>(aState.range(0)));
  for (auto _ : aState) {
    std::vector<kvexchange::TContactRecord> contacts;
    std::string error;
    benchmark::DoNotOptimize(kvexchange::ReadContactsCsv(csv, contacts, error));
  }
  aState.SetBytesProcessed(static_cast<int64_t>(aState.iterations()) * static_cast<int64_t>(csv.size()));
}
BENCHMARK(BM_WideCsv)->RangeMultiplier(4)->Range(1 << 8, 1 << 16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
