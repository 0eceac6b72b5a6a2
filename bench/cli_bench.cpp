// korvanet-cli end to end, process start included, on a store of 100,000
// messages: "messages new" (one message saved in the Outbox) and "messages
// list --json" (every message, written to a pipe that is read and dropped),
// each with the command's peak memory. Figures only; nothing passes or fails.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_fill.h"

extern char** environ;

namespace {

const int KStoredMessages = 100000;

class TFilledRoot {
 public:
  TFilledRoot() : iRoot(MakeFilledBenchRoot(KStoredMessages)) {}
  ~TFilledRoot() {
    if (!iRoot.empty()) std::filesystem::remove_all(iRoot);
  }
  const std::string& Root() const { return iRoot; }
  bool Filled() const { return !iRoot.empty(); }

 private:
  std::string iRoot;
};

TFilledRoot& TheRoot() {
  static TFilledRoot root;
  return root;
}

struct TRun {
  bool iOk = false;
  double iSeconds = 0;
  double iPeakMegabytes = 0;
};

// Runs korvanet-cli on the filled root, its output read and dropped.
TRun RunCli(const std::vector<std::string>& aArguments) {
  std::vector<std::string> environment = {"KORVANET_ROOT=" + TheRoot().Root(), "KORVANET_DISPLAY=headless",
                                          "HOME=" + TheRoot().Root()};
  std::vector<char*> env;
  for (std::string& variable : environment) env.push_back(variable.data());
  env.push_back(nullptr);
  std::vector<std::string> argv = {KV_CLI_PATH};
  argv.insert(argv.end(), aArguments.begin(), aArguments.end());
  std::vector<char*> args;
  for (std::string& argument : argv) args.push_back(argument.data());
  args.push_back(nullptr);

  int out[2];
  if (pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    return {};
  }
  char buffer[65536];
  while (read(out[0], buffer, sizeof buffer) > 0) {
  }
  close(out[0]);
  int status = 0;
  rusage usage = {};
  wait4(pid, &status, 0, &usage);
  TRun run;
  run.iSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.iOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.iPeakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return run;
}

void Report(benchmark::State& aState, const std::vector<std::string>& aArguments) {
  if (!TheRoot().Filled()) aState.SkipWithError("filling the store failed");
  double peak = 0;
  for (auto _ : aState) {
    TRun run = RunCli(aArguments);
    if (!run.iOk) aState.SkipWithError("korvanet-cli failed");
    aState.SetIterationTime(run.iSeconds);
    peak = std::max(peak, run.iPeakMegabytes);
  }
  aState.counters["peak_MB"] = peak;
}

int gNext = 0;

void BM_CliMessagesNew(benchmark::State& aState) {
  if (!TheRoot().Filled()) aState.SkipWithError("filling the store failed");
  double peak = 0;
  for (auto _ : aState) {
    TRun run = RunCli({"messages", "new", "--to", "+447700900999", "--text", "New message " + std::to_string(gNext++)});
    if (!run.iOk) aState.SkipWithError("korvanet-cli failed");
    aState.SetIterationTime(run.iSeconds);
    peak = std::max(peak, run.iPeakMegabytes);
  }
  aState.counters["peak_MB"] = peak;
}
BENCHMARK(BM_CliMessagesNew)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

// The first list on a store that never had one adds the date order to it: a
// run of its own, before the timed ones.
void BM_CliMessagesListJson(benchmark::State& aState) {
  if (TheRoot().Filled()) aState.counters["first_ms"] = RunCli({"--json", "messages", "list"}).iSeconds * 1000;
  Report(aState, {"--json", "messages", "list"});
}
BENCHMARK(BM_CliMessagesListJson)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
