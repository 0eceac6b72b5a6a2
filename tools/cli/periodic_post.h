// A timer for a thread without a screen: posts a message to a thread at a
// fixed interval until it is destroyed. Its own thread sleeps in between.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <windows.h>

namespace kvcli {

class TPeriodicPost {
 public:
  TPeriodicPost(DWORD aThreadId, UINT aMessage, std::chrono::milliseconds aInterval);
  ~TPeriodicPost();
  TPeriodicPost(const TPeriodicPost&) = delete;
  TPeriodicPost& operator=(const TPeriodicPost&) = delete;

 private:
  void Run(DWORD aThreadId, UINT aMessage, std::chrono::milliseconds aInterval);

  std::mutex iLock;
  std::condition_variable iWake;
  bool iStop = false;
  std::thread iThread;
};

}  // namespace kvcli
