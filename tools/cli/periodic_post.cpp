#include "tools/cli/periodic_post.h"

namespace kvcli {

TPeriodicPost::TPeriodicPost(DWORD aThreadId, UINT aMessage, std::chrono::milliseconds aInterval)
    : iThread([this, aThreadId, aMessage, aInterval] { Run(aThreadId, aMessage, aInterval); }) {}

TPeriodicPost::~TPeriodicPost() {
  {
    std::lock_guard<std::mutex> hold(iLock);
    iStop = true;
  }
  iWake.notify_all();
  iThread.join();
}

void TPeriodicPost::Run(DWORD aThreadId, UINT aMessage, std::chrono::milliseconds aInterval) {
  auto due = std::chrono::steady_clock::now() + aInterval;
  std::unique_lock<std::mutex> hold(iLock);
  for (;;) {
    if (iWake.wait_until(hold, due, [this] { return iStop; })) return;
    // Due times follow each other, so that a slow turn does not shift the rest.
    due += aInterval;
    PostThreadMessageW(aThreadId, aMessage, 0, 0);
  }
}

}  // namespace kvcli
