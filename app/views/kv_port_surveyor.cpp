#include "app/views/kv_port_surveyor.h"

#include <utility>

#include "kernel/log.h"

CKvPortSurveyor::CKvPortSurveyor(HWND aWindow, UINT aDoneMessage) : iWindow(aWindow), iDoneMessage(aDoneMessage) {
  InitializeCriticalSection(&iLock);
}

CKvPortSurveyor* CKvPortSurveyor::NewL(HWND aWindow, UINT aDoneMessage) {
  CKvPortSurveyor* self = new CKvPortSurveyor(aWindow, aDoneMessage);
  if (self != nullptr && !self->ConstructL()) {
    LogMessageWithError(KLogFilePath, u"CKvPortSurveyor::NewL - no survey thread");
    delete self;
    return nullptr;
  }
  return self;
}

bool CKvPortSurveyor::ConstructL() {
  iThread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return iThread != nullptr;
}

CKvPortSurveyor::~CKvPortSurveyor() {
  if (iThread != nullptr) {
    // The probes look at the flag between reads, so the wait is short.
    iStop = true;
    WaitForSingleObject(iThread, INFINITE);
    CloseHandle(iThread);
  }
  DeleteCriticalSection(&iLock);
}

bool CKvPortSurveyor::TakeReports(std::vector<TPortReport>& aReports) {
  EnterCriticalSection(&iLock);
  bool done = iDone;
  if (done) aReports = std::move(iReports);
  iDone = false;
  LeaveCriticalSection(&iLock);
  return done;
}

DWORD WINAPI CKvPortSurveyor::ThreadMain(LPVOID aSurveyor) {
  static_cast<CKvPortSurveyor*>(aSurveyor)->RunL();
  return 0;
}

void CKvPortSurveyor::RunL() {
  std::vector<TPortReport> reports = SurveyPorts(KProbeAnswerMs, &iStop);
  // A stopped survey is incomplete, and its window is going.
  if (iStop) return;
  EnterCriticalSection(&iLock);
  iReports = std::move(reports);
  iDone = true;
  LeaveCriticalSection(&iLock);
  // The window goes only after this thread has ended (the destructor waits).
  PostMessageW(iWindow, iDoneMessage, 0, 0);
}
