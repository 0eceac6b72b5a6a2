// Reading 200 messages ("AT+CMGL=4") from phonesim: at 9600 baud as the
// share of the time the line is busy, and unpaced as messages per second.
// phonesim is found beside this program's build folder
// (<build>/tools/phonesim/phonesim) or through $PHONESIM.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <kvplatform.h>
#include <windows.h>

#include "kernel/active.h"
#include "kernel/requests.h"
#include "phone/mobile_phone.h"

namespace {

using Clock = std::chrono::steady_clock;
const int KMessages = 200;
const double KLineBytesPerSecond = 960.0;  // 9600 baud, ten bits a byte

std::string PhonesimPath() {
  if (const char* path = getenv("PHONESIM")) return path;
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string self(exe, n > 0 ? static_cast<size_t>(n) : 0);
  return self.substr(0, self.rfind('/')) + "/../tools/phonesim/phonesim";
}

std::string Profile(int aBaud) {
  std::ostringstream json;
  json << "{\"sms\": {\"stores\": {\"SM\": {\"capacity\": 30, \"messages\": []}, \"ME\": {\"capacity\": 250, "
          "\"messages\": [";
  for (int i = 1; i <= KMessages; ++i) {
    json << (i > 1 ? "," : "") << "{\"index\": " << i << ", \"status\": 1, \"from\": \"+4477009" << (10000 + i)
         << "\", \"text\": \"Message number " << i << " of the benchmark, a typical short text\"}";
  }
  json << "]}}}, \"quirks\": {\"baud\": " << aBaud << "}}";
  return json.str();
}

long TranscriptOutBytes(const std::string& aPath) {
  std::ifstream in(aPath);
  long bytes = 0;
  for (std::string line; std::getline(in, line);) {
    nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
    if (!record.is_discarded() && record["dir"] == "out") bytes += static_cast<long>(record["bytes"].get<std::string>().size());
  }
  return bytes;
}

struct TCounter : MMobilePhoneObserver {
  int WiggleCallBack() override { return 1; }
  void CorrectPhoneSettings(const TPhoneSettings&) override {}
  void PhoneDiscovered(const TDesc16&) override {}
  int FoundPhoneEntry(const TPhoneBookEntry&) override { return 0; }
  void OperationStarting() override {}
  void OperationFinished() override {}
  void LineReceived(const TDesc16&, int) override {}
  void DataSending(const TDesc16&) override {}
  void DataSent(const TDesc16&, int) override {}
  void EntrySent() override {}
  void EntryDeleted() override {}
  int SpareQuery1() override { return 0; }
  int SpareQuery2() override { return 0; }
  int SparePassThrough(int aValue) override { return aValue; }
  void SpareNotice1() override {}
  void SmsPartSent() override {}
  void FoundSmsL(CStdSms* aSms, int) override {
    ++iFound;
    delete aSms;
  }
  void SmsDeletedL() override {}
  void SmsSendRetry() override {}
  void SpareNotice2() override {}
  int NextConcatReference() override { return 0; }
  int NewSmsIndication(const TDesc16&) override { return 0; }
  int iFound = 0;
};

struct TRead {
  std::string iTranscript;
  int iResult = 0;
  int iFound = 0;
  long iBytes = 0;
  double iSeconds = 0;
};

DWORD ReadMain(LPVOID aRead) {
  TRead* read = static_cast<TRead*>(aRead);
  CActiveScheduler* scheduler = new CActiveScheduler;
  CActiveScheduler::Install(scheduler);
  TCounter counter;
  CMobilePhoneBase* phone = CMobilePhoneBase::NewL(&counter);
  if (phone && phone->Communicator()->OpenPort() == 0 && phone->EstablishConnection() == 0) {
    long before = TranscriptOutBytes(read->iTranscript);
    Clock::time_point start = Clock::now();
    read->iResult = phone->ReadSms();
    read->iSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    Sleep(100);  // the transcript is written after each piece goes out
    read->iBytes = TranscriptOutBytes(read->iTranscript) - before;
    read->iFound = counter.iFound;
  }
  delete phone;
  delete scheduler;
  return 0;
}

// One read of the 200 messages from a fresh phonesim.
TRead ReadAll(int aBaud) {
  static bool ready = [] {
    char pattern[] = "/tmp/kv-phone-bench-XXXXXX";
    kvplatform::SetDeviceRoot(mkdtemp(pattern));
    return EpocInitGlobals() == 0;
  }();
  TRead read;
  if (!ready) return read;
  char pattern[] = "/tmp/kv-phone-bench-sim-XXXXXX";
  std::string dir = mkdtemp(pattern);
  std::ofstream(dir + "/profile.json") << Profile(aBaud);
  read.iTranscript = dir + "/transcript.jsonl";
  std::string link = dir + "/COM3";
  std::string binary = PhonesimPath();
  pid_t pid = fork();
  if (pid == 0) {
    freopen((dir + "/stdout").c_str(), "w", stdout);
    execl(binary.c_str(), binary.c_str(), "--profile", (dir + "/profile.json").c_str(), "--link", link.c_str(),
          "--transcript", read.iTranscript.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 500 && access(link.c_str(), F_OK) != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  setenv("KORVANET_COM3", link.c_str(), 1);
  HANDLE thread = CreateEpocThread(ReadMain, &read, nullptr);
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  std::system(("rm -rf '" + dir + "'").c_str());
  return read;
}

void Report(benchmark::State& aState, const TRead& aRead, bool aPaced) {
  aState.SetIterationTime(aRead.iSeconds);
  aState.counters["messages"] = aRead.iFound;
  aState.counters["bytes_received"] = static_cast<double>(aRead.iBytes);
  aState.counters["messages_per_second"] = aRead.iSeconds > 0 ? aRead.iFound / aRead.iSeconds : 0;
  if (aPaced) {
    aState.counters["line_busy_share"] = aRead.iSeconds > 0 ? aRead.iBytes / KLineBytesPerSecond / aRead.iSeconds : 0;
  }
  if (aRead.iResult != KReplyOk || aRead.iFound != KMessages) aState.SkipWithError("the read did not complete");
}

void BM_Read200At9600(benchmark::State& aState) {
  for (auto _ : aState) Report(aState, ReadAll(9600), true);
}
BENCHMARK(BM_Read200At9600)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Read200Unpaced(benchmark::State& aState) {
  for (auto _ : aState) Report(aState, ReadAll(0), false);
}
BENCHMARK(BM_Read200Unpaced)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
