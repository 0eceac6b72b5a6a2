// ThreadSanitizer starts a thread of its own along with the process's first
// new thread, and keeps it. Tests that count the process's threads before and
// after their work would take it for one left behind; starting (and ending) a
// thread before main makes it part of every count.
#include <thread>

namespace {

const bool KSanitizerThreadStarted = [] {
  std::thread([] {}).join();
  return true;
}();

}  // namespace
