// Waiting in tests: for a condition, never for a fixed time. The one deadline
// only ends a test that has hung, so it is generous: a loaded machine must
// never reach it.
#pragma once

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>

namespace kvtest {

inline constexpr std::chrono::milliseconds kHungTest{60000};

// Polls the condition until it holds (true) or the deadline passes (false).
template <typename Condition>
bool WaitUntil(Condition&& aCondition, std::chrono::milliseconds aDeadline = kHungTest) {
  const auto end = std::chrono::steady_clock::now() + aDeadline;
  while (!aCondition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The kernel's identifier of the calling thread, for ThreadIsBlocked.
inline pid_t KernelThreadId() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// Whether a thread of this process sleeps in the kernel (state S in
// /proc/self/task/TID/stat). A thread that is about to block still runs, and
// one that has ended is not blocked.
inline bool ThreadIsBlocked(pid_t aThread) {
  std::ifstream stat("/proc/self/task/" + std::to_string(aThread) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  // The command name in parentheses may hold spaces; the state follows it.
  auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S';
}

// Waits until every one of the threads is blocked at the same moment.
inline bool WaitUntilBlocked(std::initializer_list<pid_t> aThreads, std::chrono::milliseconds aDeadline = kHungTest) {
  return WaitUntil(
      [&] {
        for (pid_t thread : aThreads)
          if (thread == 0 || !ThreadIsBlocked(thread)) return false;
        return true;
      },
      aDeadline);
}

}  // namespace kvtest
