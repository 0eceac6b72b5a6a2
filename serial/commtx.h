// The communicator's transmit request: one block at a time to the writer thread.
#pragma once

#include "kernel/active.h"
#include "kernel/descriptors.h"
#include "serial/commcallback.h"
#include "serial/port.h"

// Completes when the writer thread has written one block.
class CCommTx : public CActive {
 public:
  static CCommTx* NewL(int aPriority, TPortHandle* aPort);
  ~CCommTx() override;

  void StartWriteThread();
  // Ends the writer thread of the current opening and waits for it.
  void EndWriteThread();
  void Send(const TCommCallBack& aCallBack, const TDesc8& aData);

 protected:
  void DoCancel() override;
  void RunL() override;

 private:
  explicit CCommTx(int aPriority);

  TCommCallBack iCallBack;
  DWORD iThreadId;
  TWriteThreadParams iParams;
};
