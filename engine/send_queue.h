// Messages handed to a listening engine to send: the user interface thread
// pushes Outbox records, the engine thread takes them at its next turn. The
// one object both threads touch, so it guards itself.
#pragma once

#include <windbase.h>

#include <deque>
#include <mutex>

struct TKvQueuedSend {
  CEOID iOid = 0;
  bool iReport = false;  // each part asks for a status report
};

class TKvSendQueue {
 public:
  void Push(const TKvQueuedSend& aSend) {
    std::lock_guard<std::mutex> hold(iLock);
    iQueue.push_back(aSend);
  }
  // Put back first, when the phone went away in the middle of it.
  void PushFront(const TKvQueuedSend& aSend) {
    std::lock_guard<std::mutex> hold(iLock);
    iQueue.push_front(aSend);
  }
  bool Pop(TKvQueuedSend& aSend) {
    std::lock_guard<std::mutex> hold(iLock);
    if (iQueue.empty()) return false;
    aSend = iQueue.front();
    iQueue.pop_front();
    return true;
  }
  bool Empty() const {
    std::lock_guard<std::mutex> hold(iLock);
    return iQueue.empty();
  }

 private:
  mutable std::mutex iLock;
  std::deque<TKvQueuedSend> iQueue;
};
