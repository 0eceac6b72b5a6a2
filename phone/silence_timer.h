// A time-out for a phone that falls silent: an active object on the calling
// thread's scheduler whose request completes once no Touch has come for the
// armed period. A small helper thread keeps the time, since the scheduler
// itself waits without a limit.
#pragma once

#include <windows.h>

#include "kernel/active.h"
#include "serial/commcallback.h"

class CSilenceTimer : public CActive {
 public:
  // Null without memory or when the helper thread cannot start.
  static CSilenceTimer* NewL(const TCommCallBack& aCallBack);
  ~CSilenceTimer() override;

  // Starts counting aMilliseconds; the call-back runs when they pass
  // without a Touch.
  void Start(int aMilliseconds);
  // Something arrived: the count starts again.
  void Touch();
  // Stops counting while the program itself is busy; Touch resumes.
  void Hold();
  // Disarms; a time-out that has not run yet is dropped.
  void Stop();

 protected:
  void DoCancel() override;
  void RunL() override;

 private:
  CSilenceTimer();
  int ConstructL(const TCommCallBack& aCallBack);
  static DWORD ThreadMain(LPVOID aThis);
  void KeepTime();

  TCommCallBack iCallBack;
  CRITICAL_SECTION iLock;
  int iLockReady;
  HANDLE iEvent;          // from the event bank: completes the request
  HANDLE iRequestEvent;   // the thread's request event, for Cancel's wait
  HANDLE iWake;           // auto-reset: the deadline or the quit flag changed
  HANDLE iThreadEnded;    // manual-reset: set by the helper as its last act
  DWORD iDeadline;        // tick count
  int iPeriod;
  int iArmed;
  int iHeld;
  int iQuit;
};
