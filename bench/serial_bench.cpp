// Bytes per second through the communicator over a pseudo-terminal, both
// directions, and the time from a byte reaching the far end of the line to
// ProcessReceivedData.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include <kvplatform.h>
#include <windows.h>

#include "kernel/active.h"
#include "kernel/log.h"
#include "kernel/requests.h"
#include "serial/communicator.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TBenchObserver : MCommunicatorObserver {
  int ProcessReceivedData(const TDesc8& aData, int) override {
    if (iFirstArrival == Clock::time_point{} && aData.Length() > 0) iFirstArrival = Clock::now();
    iReceived += aData.Length();
    return iReceived >= iWanted ? 1 : 0;
  }
  void TransmitComplete(const TDesc8&, int aResult) override {
    if (aResult != 0 || ++iSent == iToSend) iComm->Stop(aResult != 0 ? aResult : 2);
  }
  void TransmitStarted(const TDesc8&) override {}
  int HasCapability8000() override { return 0; }
  CCommunicator* iComm = nullptr;
  long iReceived = 0, iWanted = 0;
  int iSent = 0, iToSend = 0;
  Clock::time_point iFirstArrival{};
};

struct TLine {
  int iMaster;
  CCommunicator* iComm;
  TBenchObserver iObserver;
  TLine() {
    static bool ready = [] {
      char pattern[] = "/tmp/kv-serial-bench-XXXXXX";
      kvplatform::SetDeviceRoot(mkdtemp(pattern));
      EpocInitGlobals();
      CActiveScheduler::Install(new CActiveScheduler);
      return true;
    }();
    (void)ready;
    iMaster = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(iMaster);
    unlockpt(iMaster);
    setenv("KORVANET_COM3", ptsname(iMaster), 1);
    iComm = CCommunicator::NewL(&iObserver);
    iObserver.iComm = iComm;
    iComm->OpenPort();
    iComm->EstablishConnectionL();
    char greeting[4];
    [[maybe_unused]] ssize_t n = read(iMaster, greeting, 4);
  }
  ~TLine() {
    delete iComm;
    close(iMaster);
  }
};

void BM_ReceiveThroughput(benchmark::State& state) {
  TLine line;
  std::string chunk(4096, 'r');
  long total = 0;
  for (auto _ : state) {
    line.iObserver.iReceived = 0;
    line.iObserver.iWanted = 64 * 1024;
    std::thread phone([&] {
      for (long sent = 0; sent < line.iObserver.iWanted; sent += static_cast<long>(chunk.size())) {
        pollfd p{line.iMaster, POLLOUT, 0};
        poll(&p, 1, 1000);
        [[maybe_unused]] ssize_t n = write(line.iMaster, chunk.data(), chunk.size());
      }
    });
    line.iComm->Wait();
    phone.join();
    total += line.iObserver.iReceived;
  }
  state.SetBytesProcessed(total);
}
BENCHMARK(BM_ReceiveThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TransmitThroughput(benchmark::State& state) {
  TLine line;
  std::atomic<bool> stop{false};
  std::thread phone([&] {
    char sink[8192];
    while (!stop) {
      pollfd p{line.iMaster, POLLIN, 0};
      if (poll(&p, 1, 20) > 0 && read(line.iMaster, sink, sizeof sink) <= 0) break;
    }
  });
  std::u16string text(511, u'A');
  long total = 0;
  for (auto _ : state) {
    // A full queue of fifteen 512-byte texts, sent one after the other.
    line.iObserver.iSent = 0;
    line.iObserver.iToSend = 15;
    for (int i = 0; i < 15; ++i) line.iComm->Send(TConstPtr16(text.c_str()), true);
    line.iComm->Wait();
    total += static_cast<long>(line.iObserver.iSent) * 512;
  }
  stop = true;
  phone.join();
  state.SetBytesProcessed(total);
}
BENCHMARK(BM_TransmitThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ArrivalToProcessReceivedData(benchmark::State& state) {
  TLine line;
  double totalUs = 0;
  for (auto _ : state) {
    line.iObserver.iReceived = 0;
    line.iObserver.iWanted = 1;
    line.iObserver.iFirstArrival = {};
    auto sent = Clock::now();
    [[maybe_unused]] ssize_t n = write(line.iMaster, "K", 1);
    line.iComm->Wait();
    totalUs += std::chrono::duration<double, std::micro>(line.iObserver.iFirstArrival - sent).count();
  }
  state.counters["latency_us"] = benchmark::Counter(totalUs / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ArrivalToProcessReceivedData)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
