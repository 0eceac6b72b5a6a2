// A thread's handle: signalled once the thread has ended.
#pragma once

#include "wait_core.h"

namespace kvplatform {

class ThreadObject : public Waitable {
 public:
  bool IsSignalled() const override { return ended_; }
  void MarkEndedLocked(DWORD exitCode) {
    ended_ = true;
    exitCode_ = exitCode;
    WakeWaiters();
  }
  bool EndedLocked() const { return ended_; }
  DWORD ExitCodeLocked() const { return exitCode_; }
  DWORD threadId = 0;

 private:
  bool ended_ = false;
  DWORD exitCode_ = 0;
};

}  // namespace kvplatform
