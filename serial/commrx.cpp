#include "serial/commrx.h"

#include "kernel/log.h"
#include "kernel/requests.h"

CCommRx::CCommRx(int aPriority) : CActive(aPriority) { SetClassName(u"CCommRx"); }

CCommRx* CCommRx::NewL(int aPriority, TPortHandle* aPort) {
  CCommRx* self = new CCommRx(aPriority);
  if (!self) return nullptr;
  self->iEvent = User::AllocateEvent();
  self->iReader = self->iEvent ? CDataReader::NewL(self->iEvent) : nullptr;
  if (!self->iReader) {
    delete self;
    return nullptr;
  }
  self->iReader->SetPortHandleField(aPort);
  LogMessage(KLogFilePath, u"Created CommReader 0x%1!x!", self);
  return self;
}

CCommRx::~CCommRx() {
  LogMessage(KLogFilePath, u"CCommRx::~CCommRx");
  // The reader first: it waits for the reader thread, which may still set
  // the event.
  delete iReader;
  User::ReleaseEvent(iEvent);
}

void CCommRx::StartReadThread() {
  LogMessage(KLogFilePath, u"CCommRx::StartReadThread");
  CreateReadThread(iReader);
}

void CCommRx::Receive(const TCommCallBack& aCallBack, TModDesc8& aBuffer) {
  if (IsActive()) {
    LogMessage(KLogFilePath, u"CCommRx::Receive - IsActive");
    return;
  }
  iCallBack = aCallBack;
  aBuffer.SetLength(0);
  iStatus = KCompletionPending;
  SetActive();
  iReader->ReadData(&iStatus, &aBuffer);
}

void CCommRx::DoCancel() { iReader->CancelRead(); }

void CCommRx::RunL() {
  LogMessage(KLogFilePath, u"CCommRx::RunL");
  if (iCallBack.iFunction) iCallBack.CallBack();
}
