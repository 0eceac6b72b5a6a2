#include "tools/cli/interrupt_watcher.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace kvcli {
namespace {

std::atomic<bool> gActionRunning{false};
std::thread* gWatcher = nullptr;

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);  // a service manager's stop, taken as Ctrl-C
  sigaddset(&set, SIGUSR1);  // Stop's request to the watcher
  return set;
}

[[noreturn]] void LeaveAtOnce() {
  static const char KNewLine[] = "\n";
  ssize_t ignored = write(STDERR_FILENO, KNewLine, 1);
  (void)ignored;
  std::fflush(stdout);
  _exit(KInterruptedExitStatus);
}

void Watch(DWORD aMainThreadId) {
  sigset_t set = WatchedSignals();
  int interrupts = 0;
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    if (signal == SIGUSR1) return;
    ++interrupts;
    if (interrupts > 1 || !gActionRunning.load()) LeaveAtOnce();
    // The main thread may have just finished the action and left its loop;
    // then the post fails or is never read, and a second Ctrl-C still works.
    if (!PostThreadMessageW(aMainThreadId, KCliInterruptMessage, 0, 0)) LeaveAtOnce();
  }
}

}  // namespace

void TInterruptWatcher::Start(DWORD aMainThreadId) {
  sigset_t set = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  gWatcher = new std::thread(Watch, aMainThreadId);
}

void TInterruptWatcher::Stop() {
  if (gWatcher == nullptr) return;
  pthread_kill(gWatcher->native_handle(), SIGUSR1);
  gWatcher->join();
  delete gWatcher;
  gWatcher = nullptr;
}

void TInterruptWatcher::SetActionRunning(bool aRunning) { gActionRunning.store(aRunning); }

}  // namespace kvcli
