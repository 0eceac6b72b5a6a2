#include "serial/datareader.h"

#include "kernel/errors.h"
#include "kernel/log.h"
#include "serial/log_masking.h"

namespace {
const int KQueueGranularity = 1024;
}

CDataReader* CDataReader::NewL(HANDLE aEvent) {
  CDataReader* self = new CDataReader;
  if (!self) return nullptr;
  if (self->ConstructL(aEvent) != KErrNone) {
    delete self;
    return nullptr;
  }
  return self;
}

int CDataReader::ConstructL(HANDLE aEvent) {
  SetClassName(u"CDataReader");
  iEvent = aEvent;
  iQueue = CBufFlat::NewL(KQueueGranularity);
  iReadersEnded = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  if (!iQueue || !iReadersEnded) return KErrNoMemory;
  InitializeCriticalSection(&iLock);
  iLockReady = 1;
  return KErrNone;
}

CDataReader::~CDataReader() {
  // The reader thread leaves once the port is closed; wait until it has.
  if (iReadersEnded) {
    WaitForSingleObject(iReadersEnded, INFINITE);
    EnterCriticalSection(&iLock);
    LeaveCriticalSection(&iLock);
    CloseHandle(iReadersEnded);
  }
  LogMessage(KLogFilePath, u"CDataReader::~CDataReader");
  if (iPendingStatus) LogMessage(KLogFilePath, u"~CDataReader - Outstanding notification");
  delete iQueue;
  if (iLockReady) DeleteCriticalSection(&iLock);
}

void CDataReader::QueueData(const TDesc8& aData) {
  EnterCriticalSection(&iLock);
  if (BytesCarrySimCode(aData.Ptr(), aData.Length()))
    LogMessage(KLogFilePath, u"CDataReader::QueueData %1!d! bytes (a SIM code, not shown)", aData.Length());
  else
    LogHexDump(KLogFilePath, aData.Ptr(), aData.Length(), u"CDataReader::QueueData %1!d! bytes", aData.Length());
  iQueue->Insert(iQueue->Size(), aData);
  if (iPendingStatus) CompleteRead();
  LeaveCriticalSection(&iLock);
}

void CDataReader::ReadData(TCompletionStatus* aStatus, TModDesc8* aBuffer) {
  EnterCriticalSection(&iLock);
  if (iPendingStatus) {
    LogMessage(KLogFilePath, u"CDataReader::ReadData - Read already active");
  } else {
    iPendingStatus = aStatus;
    iPendingBuffer = aBuffer;
    if (iQueue->Size() > 0)
      CompleteRead();
    else if (iGone == 1)
      CompleteGone();
  }
  LeaveCriticalSection(&iLock);
}

void CDataReader::LineGone() {
  EnterCriticalSection(&iLock);
  LogMessage(KLogFilePath, u"CDataReader::LineGone");
  if (iGone == 0) iGone = 1;
  // What arrived before it went is handed over first.
  if (iPendingStatus && iQueue->Size() == 0 && iGone == 1) CompleteGone();
  LeaveCriticalSection(&iLock);
}

void CDataReader::CompleteGone() {
  iGone = 2;
  iPendingBuffer->SetLength(0);
  *iPendingStatus = KErrDisconnected;
  iPendingStatus = nullptr;
  iPendingBuffer = nullptr;
  EventModify(iEvent, EVENT_SET);
}

void CDataReader::CompleteRead() {
  int n = iPendingBuffer->MaxLength();
  if (iQueue->Size() < n) n = iQueue->Size();
  iQueue->Read(0, iPendingBuffer->Ptr(), n);
  iPendingBuffer->SetLength(n);
  iQueue->Delete(0, n);
  *iPendingStatus = KErrNone;
  iPendingStatus = nullptr;
  iPendingBuffer = nullptr;
  EventModify(iEvent, EVENT_SET);
}

void CDataReader::CancelRead() { LogMessage(KLogFilePath, u"CDataReader::CancelRead"); }

void CDataReader::ReaderThreadStarting() {
  EnterCriticalSection(&iLock);
  if (iReaderThreads++ == 0) ResetEvent(iReadersEnded);
  iGone = 0;  // a new opening
  LeaveCriticalSection(&iLock);
}

void CDataReader::ReaderThreadEnded() {
  EnterCriticalSection(&iLock);
  if (--iReaderThreads == 0) SetEvent(iReadersEnded);
  // Leaving the lock is the thread's last touch: the destructor takes it once
  // more before it deletes it.
  LeaveCriticalSection(&iLock);
}

int CDataReader::QueuedBytes() {
  EnterCriticalSection(&iLock);
  int size = iQueue->Size();
  LeaveCriticalSection(&iLock);
  return size;
}
