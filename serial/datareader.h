// The received-data queue between the reader thread, which queues bytes, and
// the engine thread, which asks for them one receive request at a time.
#pragma once

#include <windows.h>

#include "kernel/buffers.h"
#include "kernel/completion.h"
#include "kernel/descriptors.h"
#include "kernel/epocbase.h"
#include "serial/port.h"

class CDataReader : public CEpocBase {
 public:
  static CDataReader* NewL(HANDLE aEvent);
  ~CDataReader() override;

  void SetPortHandleField(TPortHandle* aPort) { iPortHandle = aPort; }
  TPortHandle* PortHandleField() const { return iPortHandle; }

  // Reader thread: appends the bytes and completes a pending request.
  void QueueData(const TDesc8& aData);
  // Engine thread: asks for the next bytes into aBuffer; aStatus becomes 0
  // and the event is set once some are there.
  void ReadData(TCompletionStatus* aStatus, TModDesc8* aBuffer);
  void CancelRead();
  // Reader thread: the line has gone. The pending request (or the next one)
  // completes with KErrDisconnected, once per opening.
  void LineGone();

  // Bracket the life of each reader thread, so that the reader is never
  // destroyed under a thread that still uses it.
  void ReaderThreadStarting();
  void ReaderThreadEnded();
  int QueuedBytes();

 private:
  CDataReader() = default;
  int ConstructL(HANDLE aEvent);
  void CompleteRead();
  void CompleteGone();

  TPortHandle* iPortHandle;
  CBufFlat* iQueue;
  TCompletionStatus* iPendingStatus;
  TModDesc8* iPendingBuffer;
  HANDLE iEvent;
  CRITICAL_SECTION iLock;
  int iLockReady;
  int iReaderThreads;
  // 1: the line is gone and not told yet; 2: told.
  int iGone;
  HANDLE iReadersEnded;  // manual-reset; signalled while no reader thread runs
};
