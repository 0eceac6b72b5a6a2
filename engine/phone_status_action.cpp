// The phone's status: read once for the user, and kept current while
// listening for those who watch the listener (the gateway).
#include "engine/phone_engine.h"
#include "kernel/log.h"

int CPhoneEng::ProcessReadStatus(const MSG& aMessage) {
  LogMessage(KLogFilePath, u"CPhoneEng::ProcessReadStatus");
  KeepAction(aMessage);
  if (iAction == nullptr) return KErrGeneral;
  int result = InitialiseConnection();
  if (result != KErrNone) return result;
  iAction->iText.Copy(u"Reading the phone's status");
  NotifyProgress();
  result = iPhone->ReadPhoneStatus(iAction->iStatus);
  if (result == 0) {
    iAction->iStatusRead = true;
    iAction->iText.Copy(u"Status read.");
    iAction->iResult = KErrNone;
  } else {
    LogMessage(KLogFilePath, u"CPhoneEng::ProcessReadStatus - failed %1!d!", result);
    iAction->iText.Copy(u"No answer from the phone");
    iAction->iResult = KErrGeneral;
  }
  NotifyComplete();
  ClosePort();
  return result == 0 ? KErrNone : KErrGeneral;
}

bool CPhoneEng::ListenStatusDue() const {
  return iStatusWanted || GetTickCount() - iStatusReadAt >= KListenStatusMs;
}

bool CPhoneEng::RefreshStatusWhileListening() {
  if (iAction == nullptr) return true;
  TPhoneStatus status;
  int result = iPhone->ReadPhoneStatus(status);
  if (result != 0) {
    LogMessage(KLogFilePath, u"CPhoneEng::RefreshStatusWhileListening - failed %1!d!", result);
    return result > 0;
  }
  iAction->iStatus = status;
  iAction->iStatusRead = true;
  iStatusReadAt = GetTickCount();
  iStatusWanted = false;
  LogMessage(KLogFilePath, u"CPhoneEng::RefreshStatusWhileListening - status read");
  SendMessageW(iAction->iWindow, EKvStatusUpdated, reinterpret_cast<WPARAM>(iAction), 0);
  return true;
}
