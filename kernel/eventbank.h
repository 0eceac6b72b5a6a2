// The per-thread table of events that requests are completed through.
#pragma once

#include <wintypes.h>

#include "kernel/completion.h"
#include "kernel/epocbase.h"

// Called with its argument when window input arrives while the thread waits.
typedef int (*TWindowEventFunction)(void* aArgument);

struct TWindowEventHandler {
  TWindowEventFunction iFunction;  // null: no handler installed
  void* iArgument;
};

// Up to 63 auto-reset events, created on demand and reused after release.
// The first is the thread's request event. Touched by its own thread only;
// other threads only set its events.
class CEventBank : public CEpocBase {
 public:
  static const int KTableSize = 64;
  static const int KMaxEvents = KTableSize - 1;  // the last entry is never used

  CEventBank();
  ~CEventBank() override;

  HANDLE AllocateEvent();
  void ReleaseEvent(HANDLE aEvent);
  // Waits for any event of the bank, running the window event handler when
  // window input arrives. Null after a failure.
  HANDLE WaitForAnyRequest();
  // Waits on the request event until one of the two requests has completed.
  void WaitForRequest(TCompletionStatus& aStatus1, TCompletionStatus& aStatus2);
  void SetWindowEventHandler(const TWindowEventHandler& aHandler) { iWindowEventHandler = aHandler; }

  HANDLE RequestEvent() const { return iEvents[0]; }
  int CreatedCount() const { return iCreatedCount; }
  int InUseCount() const { return iInUseCount; }
  unsigned OwedSignals() const { return iOwedSignals; }

 private:
  HANDLE iEvents[KTableSize];
  int iInUse[KTableSize];
  int iCreatedCount;
  int iInUseCount;
  unsigned iOwedSignals;
  TWindowEventHandler iWindowEventHandler;
};

// Window input reached a wait that has no handler: report it, then dispatch
// every waiting message.
void HandleWindowEvents();
