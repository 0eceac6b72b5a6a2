#include "phone/silence_timer.h"

#include "kernel/log.h"
#include "kernel/requests.h"

CSilenceTimer::CSilenceTimer() : CActive(-1) {  // after received data when both are ready
  SetClassName(u"CSilenceTimer");
}

CSilenceTimer* CSilenceTimer::NewL(const TCommCallBack& aCallBack) {
  CSilenceTimer* self = new CSilenceTimer;
  if (!self) return nullptr;
  if (self->ConstructL(aCallBack) != KErrNone) {
    delete self;
    return nullptr;
  }
  return self;
}

int CSilenceTimer::ConstructL(const TCommCallBack& aCallBack) {
  iCallBack = aCallBack;
  TThreadBaggage* baggage = ThreadBaggage();
  if (!baggage) return KErrGeneral;
  iRequestEvent = baggage->iRequestEvent;
  InitializeCriticalSection(&iLock);
  iLockReady = 1;
  iEvent = User::AllocateEvent();
  iWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  iThreadEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!iEvent || !iWake || !iThreadEnded) return KErrNoMemory;
  HANDLE thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  if (!thread) {
    SetEvent(iThreadEnded);
    return KErrGeneral;
  }
  CloseHandle(thread);
  CActiveScheduler::Add(this);
  return KErrNone;
}

CSilenceTimer::~CSilenceTimer() {
  if (IsActive()) Cancel();
  if (iThreadEnded) {
    if (iLockReady) {
      EnterCriticalSection(&iLock);
      iQuit = 1;
      LeaveCriticalSection(&iLock);
    }
    if (iWake) SetEvent(iWake);
    WaitForSingleObject(iThreadEnded, INFINITE);
    CloseHandle(iThreadEnded);
  }
  if (iWake) CloseHandle(iWake);
  if (iEvent) User::ReleaseEvent(iEvent);
  if (iLockReady) DeleteCriticalSection(&iLock);
}

void CSilenceTimer::Start(int aMilliseconds) {
  if (!IsActive()) {
    iStatus = KCompletionPending;
    SetActive();
  }
  EnterCriticalSection(&iLock);
  iPeriod = aMilliseconds;
  iDeadline = GetTickCount() + static_cast<DWORD>(aMilliseconds);
  iArmed = 1;
  iHeld = 0;
  LeaveCriticalSection(&iLock);
  SetEvent(iWake);
}

void CSilenceTimer::Touch() {
  EnterCriticalSection(&iLock);
  bool armed = iArmed;
  if (armed) {
    iDeadline = GetTickCount() + static_cast<DWORD>(iPeriod);
    iHeld = 0;
  }
  LeaveCriticalSection(&iLock);
  if (armed) SetEvent(iWake);
}

void CSilenceTimer::Hold() {
  EnterCriticalSection(&iLock);
  iHeld = 1;
  LeaveCriticalSection(&iLock);
}

void CSilenceTimer::Stop() {
  if (IsActive()) Cancel();
}

void CSilenceTimer::DoCancel() {
  EnterCriticalSection(&iLock);
  iArmed = 0;
  if (iStatus.Int() == KCompletionPending) iStatus = KErrCancel;
  LeaveCriticalSection(&iLock);
  // A time-out that fired but will not run must not wake the scheduler later.
  ResetEvent(iEvent);
  // Cancel waits on the request event for the status it now sees completed.
  EventModify(iRequestEvent, EVENT_SET);
}

void CSilenceTimer::RunL() {
  if (iStatus.Int() != KErrNone) return;
  LogMessage(KLogFilePath, u"CSilenceTimer::RunL - no reply for %1!d! ms", iPeriod);
  iCallBack.CallBack();
}

DWORD CSilenceTimer::ThreadMain(LPVOID aThis) {
  CSilenceTimer* self = static_cast<CSilenceTimer*>(aThis);
  self->KeepTime();
  SetEvent(self->iThreadEnded);
  return 0;
}

void CSilenceTimer::KeepTime() {
  for (;;) {
    DWORD wait = INFINITE;
    EnterCriticalSection(&iLock);
    if (iQuit) {
      LeaveCriticalSection(&iLock);
      return;
    }
    if (iArmed && !iHeld) {
      int left = static_cast<int>(iDeadline - GetTickCount());
      if (left <= 0) {
        iArmed = 0;
        iStatus = KErrNone;
        EventModify(iEvent, EVENT_SET);
      } else {
        wait = static_cast<DWORD>(left);
      }
    }
    LeaveCriticalSection(&iLock);
    WaitForSingleObject(iWake, wait);
  }
}
