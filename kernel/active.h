// Active objects and the per-thread scheduler that runs them.
#pragma once

#include <wintypes.h>

#include "kernel/completion.h"
#include "kernel/epocbase.h"
#include "kernel/priorityqueue.h"

// An object with one outstanding request at a time. A derived class starts a
// request by setting iStatus to KCompletionPending, handing the status (and
// an event) to whoever completes it, and calling SetActive; the scheduler
// then calls RunL once the status holds the result.
class CActive : public CEpocBase {
 public:
  ~CActive() override;

  void SetActive();
  // Cancels an outstanding request: DoCancel, then waits for its completion.
  void Cancel();
  // Cancels and removes the object from its scheduler.
  void Deque();
  bool IsActive() const { return iActive != 0; }
  bool IsAdded() const { return iLink.iNext != nullptr; }
  int Priority() const { return iLink.iPriority; }

  TCompletionStatus iStatus;

 protected:
  explicit CActive(int aPriority);

  virtual void DoCancel() = 0;
  virtual void RunL() = 0;

 private:
  static int LinkOffset();

  int iActive;
  TPriQueLink iLink;

  friend class CActiveScheduler;
};

class CActiveScheduler : public CEpocBase {
 public:
  CActiveScheduler();
  ~CActiveScheduler() override;

  // Makes the scheduler the calling thread's current one (no checks).
  static void Install(CActiveScheduler* aScheduler);
  static CActiveScheduler* Current();
  static void Add(CActive* aActive);
  // Runs one RunL per wake-up until a matching Stop; calls nest.
  static void Start();
  static void Stop();

  virtual HANDLE WaitForAnyRequest();

  int NestingLevel() const { return iNestingLevel; }

 private:
  int iNestingLevel;
  TPriorityQueue<CActive> iQueue;
};
