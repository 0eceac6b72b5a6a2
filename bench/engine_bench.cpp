// The engine end to end against phonesim on a pseudo-terminal: downloading
// 200 messages (unpaced, and paced at 9600 baud, reported as the share of the
// time the line itself needs), downloading 1,000 new messages into a store
// already holding 50,000, and uploading 100 new contacts, each from the
// command to the completion notice. Figures only; nothing passes or fails.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <kvplatform.h>
#include <nlohmann/json.hpp>
#include <windows.h>

#include "bench/bench_fill.h"
#include "engine/engine_action.h"
#include "engine/engine_thread.h"
#include "kernel/log.h"
#include "kernel/requests.h"
#include "store/contacts.h"

namespace {

using Clock = std::chrono::steady_clock;

int gCompletions = 0;

LRESULT BenchWindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  if (aMessage == EKvActionComplete) {
    ++gCompletions;
    return 0;
  }
  if (aMessage == EKvActionInProgress) return 0;
  return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}

std::string PhonesimPath() {
  if (const char* path = getenv("PHONESIM")) return path;
  return (std::filesystem::canonical("/proc/self/exe").parent_path() / "../tools/phonesim/phonesim").string();
}

std::string ReadText(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// One run: a fresh device root, phonesim on COM3 and an engine thread.
class TBenchRun {
 public:
  // aVolume: a volume file to start the store from (before the engine opens it).
  explicit TBenchRun(const nlohmann::json& aProfile, const std::string& aVolume = std::string()) {
    static bool once = [] {
      EpocInitGlobals();
      WNDCLASSW windowClass = {};
      windowClass.lpszClassName = u"KvEngineBench";
      windowClass.lpfnWndProc = BenchWindowProc;
      RegisterClassW(&windowClass);
      return true;
    }();
    (void)once;
    char pattern[] = "/tmp/kv-bench-XXXXXX";
    iRoot = mkdtemp(pattern);
    kvplatform::SetDeviceRoot(iRoot);
    std::filesystem::create_directories(iRoot + "/dev");
    std::filesystem::create_directories(iRoot + "/Program Files/Korvanet/Data");
    if (!aVolume.empty()) std::filesystem::copy_file(aVolume, iRoot + "/Program Files/Korvanet/Data/Database");
    std::ofstream(iRoot + "/profile.json") << aProfile.dump();
    std::string binary = PhonesimPath();
    std::string profile = iRoot + "/profile.json";
    std::string link = iRoot + "/dev/COM3";
    std::string transcript = iRoot + "/transcript.jsonl";
    std::string out = iRoot + "/phonesim.out";
    iPid = fork();
    if (iPid == 0) {
      int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fd, 1);
      execl(binary.c_str(), binary.c_str(), "--profile", profile.c_str(), "--link", link.c_str(), "--transcript",
            transcript.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 1000 && ReadText(out).find("ready\n") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    iWindow = CreateWindowExW(0, u"KvEngineBench", u"bench", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    iAction.iWindow = iWindow;
    iThread = CreateEpocThread(KvEngineMain, static_cast<LPVOID>(iWindow), &iThreadId);
  }

  ~TBenchRun() {
    PostThreadMessageW(iThreadId, WM_QUIT, 0, 0);
    while (MsgWaitForMultipleObjectsEx(1, &iThread, 50, QS_ALLINPUT, 0) != WAIT_OBJECT_0) Pump();
    CloseHandle(iThread);
    DestroyWindow(iWindow);
    kill(iPid, SIGTERM);
    waitpid(iPid, nullptr, 0);
    LogCloseFile();
    kvplatform::SetDeviceRoot("");
    std::filesystem::remove_all(iRoot);
  }

  void AddNewContacts(int aCount) {
    std::unique_ptr<CKveContactsDatabase> store(CKveContactsDatabase::NewL(nullptr, 0));
    for (int i = 0; i < aCount; ++i) {
      std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(store->NewItemL()));
      std::u16string name = kvplatform::FromUtf8("Contact " + std::to_string(1000 + i));
      std::u16string number = kvplatform::FromUtf8("0771" + std::to_string(100000 + i));
      TConstPtr16 nameText(name.c_str()), numberText(number.c_str());
      contact->SetDetailsL(&nameText, &numberText, nullptr);
      contact->SetLocation(-1);
      contact->SetOnSim();
      store->WriteItemL(*contact);
    }
  }

  // Seconds from posting the command to its completion notice.
  double Time(UINT aCommand) {
    int before = gCompletions;
    Clock::time_point start = Clock::now();
    PostThreadMessageW(iThreadId, aCommand, reinterpret_cast<WPARAM>(&iAction), 0);
    while (gCompletions == before) {
      MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, 0);
      Pump();
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  // Phone book writes the phone received so far.
  double PhoneBookWrites() const {
    double writes = 0;
    std::istringstream lines(ReadText(iRoot + "/transcript.jsonl"));
    for (std::string line; std::getline(lines, line);) {
      if (line.find("\"dir\":\"in\"") == std::string::npos) continue;
      for (size_t at = 0; (at = line.find("AT+CPBW=", at)) != std::string::npos; ++at) ++writes;
    }
    return writes;
  }

  // Bytes the phone wrote to the line so far.
  double BytesFromPhone() const {
    double bytes = 0;
    std::istringstream lines(ReadText(iRoot + "/transcript.jsonl"));
    for (std::string line; std::getline(lines, line);) {
      nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
      if (record.is_object() && record.value("dir", record.value("direction", "")) == "out")
        bytes += static_cast<double>(record.value("data", record.value("bytes", std::string())).size());
    }
    return bytes;
  }

 private:
  static void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }

  std::string iRoot;
  pid_t iPid = -1;
  HWND iWindow = nullptr;
  HANDLE iThread = nullptr;
  DWORD iThreadId = 0;
  TEngineAction iAction;
};

// A phone holding aMessages received messages: up to 500 in phone memory,
// the rest on the SIM (a store holds at most 999).
nlohmann::json Profile(int aMessages, int aBaud) {
  nlohmann::json messages = nlohmann::json::array();
  nlohmann::json simMessages = nlohmann::json::array();
  for (int i = 1; i <= aMessages; ++i) {
    nlohmann::json& store = i <= 500 ? messages : simMessages;
    store.push_back({{"index", i <= 500 ? i : i - 500},
                     {"status", 1},
                     {"from", "+4477009" + std::to_string(10000 + i)},
                     {"text", "Message number " + std::to_string(i) + " of the benchmark, about sixty chars."},
                     {"time", "2003-01-05T10:00:00+00:00"}});
  }
  const int simCapacity = std::max(10, static_cast<int>(simMessages.size()));
  return {{"phonebooks",
           {{"SM", {{"first", 1}, {"last", 250}, {"number_length", 20}, {"name_length", 18},
                    {"entries", nlohmann::json::array()}}},
            {"ME", {{"first", 1}, {"last", 10}, {"number_length", 20}, {"name_length", 18},
                    {"entries", nlohmann::json::array()}}}}},
          {"sms", {{"smsc", "+447785016005"},
                   {"stores", {{"ME", {{"capacity", 500}, {"messages", messages}}},
                               {"SM", {{"capacity", simCapacity}, {"messages", simMessages}}}}}}},
          {"quirks", {{"echo", true}, {"baud", aBaud}}}};
}

void BM_Download200Messages(benchmark::State& aState) {
  const int baud = static_cast<int>(aState.range(0));
  double lineShare = 0;
  for (auto _ : aState) {
    TBenchRun run(Profile(200, baud));
    double seconds = run.Time(EKvGetAllSmsFromPhone);
    aState.SetIterationTime(seconds);
    if (baud > 0) lineShare = run.BytesFromPhone() / (baud / 10.0) / seconds;
  }
  if (baud > 0) aState.counters["line_share"] = lineShare;
}
BENCHMARK(BM_Download200Messages)->Arg(0)->Arg(9600)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Download1000Into50000(benchmark::State& aState) {
  const std::string stored = CachedMessagesVolume(50000);  // before the run takes the device root
  for (auto _ : aState) {
    if (stored.empty()) aState.SkipWithError("no store of 50,000");
    TBenchRun run(Profile(1000, 0), stored);
    double seconds = run.Time(EKvGetAllSmsFromPhone);
    aState.SetIterationTime(seconds);
    aState.counters["msg_per_s"] = 1000 / seconds;
    std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
    int count = 0;
    for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL(), ++count)
      delete item;
    aState.counters["stored"] = count;
  }
}
BENCHMARK(BM_Download1000Into50000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Upload100NewContacts(benchmark::State& aState) {
  for (auto _ : aState) {
    TBenchRun run(Profile(0, 0));
    run.AddNewContacts(100);
    aState.SetIterationTime(run.Time(EKvUploadAllContactsToPhone));
    aState.counters["writes"] = run.PhoneBookWrites();
  }
}
BENCHMARK(BM_Upload100NewContacts)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
