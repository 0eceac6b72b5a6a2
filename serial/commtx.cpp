#include "serial/commtx.h"

#include "kernel/log.h"
#include "kernel/requests.h"

namespace {
// How long the transmitter waits for its writer thread to leave: a write in
// progress is aborted by the purge that comes with closing.
const DWORD KWriterEndWaitMs = 10000;
}  // namespace

CCommTx::CCommTx(int aPriority) : CActive(aPriority) { SetClassName(u"CCommTx"); }

CCommTx* CCommTx::NewL(int aPriority, TPortHandle* aPort) {
  CCommTx* self = new CCommTx(aPriority);
  if (!self) return nullptr;
  self->iParams.iStatus = &self->iStatus;
  self->iParams.iEvent = User::AllocateEvent();
  self->iParams.iPort = aPort;
  self->iParams.iThreadEnded = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  if (!self->iParams.iEvent || !self->iParams.iThreadEnded) {
    delete self;
    return nullptr;
  }
  LogMessage(KLogFilePath, u"Created CommWriter 0x%1!x!", self);
  return self;
}

CCommTx::~CCommTx() {
  LogMessage(KLogFilePath, u"CommTx::~CommTx");
  if (iThreadId) PostThreadMessageW(iThreadId, WM_QUIT, 0, 0);
  // The writer thread uses this object's status, event and parameters until
  // it has left.
  if (iParams.iThreadEnded) {
    WaitForSingleObject(iParams.iThreadEnded, KWriterEndWaitMs);
    CloseHandle(iParams.iThreadEnded);
  }
  User::ReleaseEvent(iParams.iEvent);
}

void CCommTx::StartWriteThread() {
  LogMessage(KLogFilePath, u"CCommTx::StartWriteThread");
  iThreadId = CreateWriteThread(&iParams);
}

void CCommTx::EndWriteThread() {
  if (!iThreadId) return;
  PostThreadMessageW(iThreadId, WM_QUIT, 0, 0);
  iThreadId = 0;
  WaitForSingleObject(iParams.iThreadEnded, KWriterEndWaitMs);
}

void CCommTx::Send(const TCommCallBack& aCallBack, const TDesc8& aData) {
  LogMessage(KLogFilePath, u"CCommTx::Send with callback");
  iCallBack = aCallBack;
  iStatus = KCompletionPending;
  SetActive();
  if (!iThreadId || !PostThreadMessageW(iThreadId, EKvCommWrite, reinterpret_cast<WPARAM>(aData.Ptr()),
                                        static_cast<LPARAM>(aData.Length()))) {
    // No writer thread (the port is closed): the write fails at once rather
    // than leaving a wait with nothing to end it.
    iStatus = KErrGeneral;
    EventModify(iParams.iEvent, EVENT_SET);
  }
}

void CCommTx::DoCancel() {
  LogMessage(KLogFilePath, u"CommTx::DoCancel");
  PurgeComm(iParams.iPort->load(), PURGE_TXABORT | PURGE_TXCLEAR);
  WaitForSingleObject(iParams.iEvent, INFINITE);
  LogMessage(KLogFilePath, u"CommTx::DoCancel - complete");
}

void CCommTx::RunL() {
  if (iCallBack.iFunction)
    iCallBack.CallBack();
  else
    LogMessage(KLogFilePath, u"CCommTx::RunL Unexpected event");
}
