// The communicator: a queue of texts to send, one at a time, over the port,
// and received bytes handed to the observer, all on the engine thread.
#pragma once

#include "kernel/descriptors.h"
#include "kernel/epocbase.h"
#include "serial/commrx.h"
#include "serial/commtx.h"
#include "serial/port.h"

// Implemented by the phone protocol layer.
class MCommunicatorObserver {
 public:
  // A nonzero result ends the current Wait with that value.
  virtual int ProcessReceivedData(const TDesc8& aData, int aStatus) = 0;
  virtual void TransmitComplete(const TDesc8& aData, int aResult) = 0;
  virtual void TransmitStarted(const TDesc8& aData) = 0;
  // Whether the observer's phone has capability bit 0x8000; the
  // communicator itself never asks.
  virtual int HasCapability8000() = 0;

 protected:
  ~MCommunicatorObserver() = default;
};

class CCommunicator : public CEpocBase {
 public:
  static const int KQueueSlots = 16;
  static const int KTextMax = 512;

  static CCommunicator* NewL(MCommunicatorObserver* aObserver);
  ~CCommunicator() override;

  // aLogFailure false: a failed opening leaves no lines in the log.
  int OpenPort(bool aLogFailure = true);
  void ClosePort();
  bool EstablishConnectionL();
  // Queues a text for sending. 0, or -9 when the queue is full or the text too long.
  int Send(const TDesc16& aText, bool aAppendCr);
  int SendAndWait(const TDesc16& aText);
  // Writes on the calling thread, after whatever the writer thread still
  // holds, for a last word to the phone where no wait can follow. 0, or -2
  // (also when the port is closed).
  int WriteAtOnce(const TDesc8& aBytes);
  // Runs a nested scheduler loop until Stop; returns the stop code.
  int Wait();
  void Stop(int aCode);

  int Ready() const { return iReady; }
  int ConnectionState() const { return iConnectionState; }
  void SetRetryBudget(int aBudget) { iRetryBudget = aBudget; }
  int RetryBudget() const { return iRetryBudget; }
  HANDLE PortHandle() const { return iPortHandle.load(); }
  // Why the last OpenPort failed, in words; null when it opened or the
  // reason is not a usual one.
  LPCWSTR OpenFailureReason() const;
  CDataReader* Reader() const { return iReceiver->Reader(); }

 private:
  CCommunicator();
  int ConstructL(MCommunicatorObserver* aObserver);

  void SendItem();
  void QueueRx();
  static int TransmitCallBack(void* aThis);
  static int ReceiveCallBack(void* aThis);
  void DoTransmitCallBack();
  void DoReceiveCallBack();

  TPortHandle iPortHandle;
  MCommunicatorObserver* iObserver;
  int iReady;
  DWORD iOpenError = 0;
  CCommTx* iTransmitter;
  CCommRx* iReceiver;
  TModBuf16<KTextMax> iTransmitQueue[KQueueSlots];
  TModBuf8<KTextMax> iTransmitBuffer;
  TModBuf8<KTextMax> iReceiveBuffer;
  int iHead;
  int iTail;
  int iConnectionState;
  int iStopCode;
  int iWaitDepth;
  int iRetryBudget;
  // A failed transmission left its text (and any behind it) in the queue.
  int iTransmitFailed;
};
