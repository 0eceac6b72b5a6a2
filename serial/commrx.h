// The communicator's receive request, completed by the CDataReader.
#pragma once

#include "kernel/active.h"
#include "kernel/descriptors.h"
#include "serial/commcallback.h"
#include "serial/datareader.h"
#include "serial/port.h"

// Completes when received bytes have been copied into the buffer.
class CCommRx : public CActive {
 public:
  static CCommRx* NewL(int aPriority, TPortHandle* aPort);
  ~CCommRx() override;

  void StartReadThread();
  void Receive(const TCommCallBack& aCallBack, TModDesc8& aBuffer);
  CDataReader* Reader() const { return iReader; }

 protected:
  void DoCancel() override;
  void RunL() override;

 private:
  explicit CCommRx(int aPriority);

  TCommCallBack iCallBack;
  CDataReader* iReader;
  HANDLE iEvent;
};
