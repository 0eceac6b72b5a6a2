#include "app/document/app_engine.h"

#include "app/document/app_globals.h"
#include "app/document/kv_document.h"
#include "engine/engine_thread.h"
#include "kernel/errors.h"
#include "kernel/log.h"
#include "kernel/requests.h"

namespace {

struct TActionStart {
  UINT iCommand;
  const TText16* iLogLine;
};

// By state 1 to 9: the command posted and the line ActionStart logs.
const TActionStart KActionStarts[] = {
    {EKvSendNow, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_SendNow"},
    {EKvGetAllSmsFromPhone, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_GetAllSmsFromPhone"},
    {EKvDeleteAllSmsFromPhone, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_DeleteAllSmsFromPhone"},
    {EKvSendAllSmsFromOutbox, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_SendAllSmsFromOutbox"},
    {EKvReadPhoneBook, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_GetAllContactsFromPhone"},
    {EKvUploadAllContactsToPhone, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_UploadAllContactsToPhone"},
    {EKvDeleteAllContactsFromPhone, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_DeleteAllContactsFromPhone"},
    {EKvListen, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_Listen"},
    {EKvReadStatus, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_ReadStatus"},
    {EKvUssd, u"CKvAppEngineImpl::ActionStart - EKvAppEngine_Ussd"},
};

// How long the end of the program waits for engine threads to finish.
const DWORD KEngineEndWaitMs = 2000;

// Blocks still in use by engine threads that outlived their proxy; kept
// reachable for the rest of the process.
std::vector<TEngineAction*>& OrphanedActionBlocks() {
  static auto* blocks = new std::vector<TEngineAction*>;
  return *blocks;
}

}  // namespace

CKvAppEngine* CKvAppEngine::NewL() {
  LogMessage(KLogFilePath, u"CKvAppEngine::NewL");
  CKvAppEngineImpl* self = new CKvAppEngineImpl;
  if (self != nullptr) self->InitialiseEngineThread();
  return self;
}

CKvAppEngineImpl::CKvAppEngineImpl() : iAction(*new TEngineAction) { SetClassName(u"CKvAppEngineImpl"); }

CKvAppEngineImpl::~CKvAppEngineImpl() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::~CKvAppEngineImpl");
  // Fails harmlessly when no engine thread is current.
  PostThreadMessageW(iThreadId, WM_QUIT, 0, 0);
  if (iThread != nullptr) iEndingThreads.push_back(iThread);
  // An idle engine ends at once; one still waiting for a silent phone is
  // given a moment and then left to finish on its own.
  DWORD start = GetTickCount();
  bool allEnded = true;
  for (HANDLE thread : iEndingThreads) {
    DWORD waited = GetTickCount() - start;
    DWORD left = waited < KEngineEndWaitMs ? KEngineEndWaitMs - waited : 0;
    if (WaitForSingleObject(thread, left) != WAIT_OBJECT_0) allEnded = false;
    CloseHandle(thread);
  }
  if (allEnded)
    delete &iAction;
  else
    OrphanedActionBlocks().push_back(&iAction);
}

void CKvAppEngineImpl::ReapEndingThreads() {
  std::erase_if(iEndingThreads, [](HANDLE aThread) {
    if (WaitForSingleObject(aThread, 0) != WAIT_OBJECT_0) return false;
    CloseHandle(aThread);
    return true;
  });
}

bool CKvAppEngineImpl::WaitEnginesEnded(DWORD aTimeoutMs) {
  DWORD start = GetTickCount();
  for (HANDLE thread : iEndingThreads) {
    for (;;) {
      DWORD waited = GetTickCount() - start;
      if (waited >= aTimeoutMs) {
        LogMessage(KLogFilePath, u"CKvAppEngineImpl::WaitEnginesEnded - an engine thread is still running");
        return false;
      }
      // No wake on input: the user's taps and keys wait in the queue, while
      // the notices the ending engine sends to the windows are served.
      if (MsgWaitForMultipleObjectsEx(1, &thread, aTimeoutMs - waited, 0, 0) != WAIT_TIMEOUT) break;
    }
  }
  ReapEndingThreads();
  return true;
}

void CKvAppEngineImpl::InitialiseEngineThread() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::InitialiseEngineThread");
  iThread = CreateEpocThread(KvEngineMain, static_cast<LPVOID>(gKvMainFrameWindow), &iThreadId);
  if (iThread != nullptr)
    LogMessage(KLogFilePath, u"CKvAppEngineImpl::ConstructL Created KvEngine Thread");
  else
    iThreadId = 0;
}

bool CKvAppEngineImpl::CheckEngineReady() {
  if (iState == EKvAppEngine_NoAction) return true;
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::CheckEngineReady - engine busy. State = %1!d!", iState);
  return false;
}

int CKvAppEngineImpl::SetAction(TKvAppEngineAction aAction) {
  if (!CheckEngineReady()) return KErrGeneral;
  iState = aAction;
  iAction.iDeleteAfterStore = false;
  iAction.iWaitForPhone = false;
  return KErrNone;
}

int CKvAppEngineImpl::Listen(bool aDeleteAfterStore, bool aWaitForPhone) {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::Listen");
  int result = SetAction(EKvAppEngine_Listen);
  if (result == KErrNone) {
    iAction.iDeleteAfterStore = aDeleteAfterStore;
    iAction.iWaitForPhone = aWaitForPhone;
  }
  return result;
}

int CKvAppEngineImpl::ReadStatus() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::ReadStatus");
  return SetAction(EKvAppEngine_ReadStatus);
}

int CKvAppEngineImpl::Ussd(const TDesc16& aCode) {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::Ussd");
  int result = SetAction(EKvAppEngine_Ussd);
  // A code too long is not cut into another code: the engine refuses it empty.
  if (result == KErrNone) {
    iAction.iUssdCode.Zero();
    if (aCode.Length() <= iAction.iUssdCode.MaxLength()) iAction.iUssdCode.Copy(aCode);
  }
  return result;
}

int CKvAppEngineImpl::SendNow(CKveMessagesItem* aMessage) {
  if (!CheckEngineReady()) return KErrGeneral;
  iState = EKvAppEngine_SendNow;
  iAction.iMessage = aMessage;
  return KErrNone;
}

int CKvAppEngineImpl::GetAllSmsFromPhone() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::GetAllSmsFromPhone");
  return SetAction(EKvAppEngine_GetAllSmsFromPhone);
}

int CKvAppEngineImpl::DeleteAllSmsFromPhone() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::DeleteAllSmsFromPhone");
  if (iState != EKvAppEngine_NoAction) {
    LogMessage(KLogFilePath, u"CKvAppEngineImpl::DeleteAllSmsFromPhone - engine busy. State = %1!d!", iState);
    return KErrGeneral;
  }
  iState = EKvAppEngine_DeleteAllSmsFromPhone;
  return KErrNone;
}

int CKvAppEngineImpl::SendAllSmsFromOutbox() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::SendAllSmsFromOutbox");
  return SetAction(EKvAppEngine_SendAllSmsFromOutbox);
}

int CKvAppEngineImpl::GetAllContactsFromPhone() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::GetAllContactsFromPhone");
  return SetAction(EKvAppEngine_GetAllContactsFromPhone);
}

int CKvAppEngineImpl::GetUploadAllContactsToPhone() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::GetUploadAllContactsToPhone");
  return SetAction(EKvAppEngine_UploadAllContactsToPhone);
}

int CKvAppEngineImpl::DeleteAllContactsFromPhoneL() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::DeleteAllContactsFromPhoneL");
  return SetAction(EKvAppEngine_DeleteAllContactsFromPhone);
}

void CKvAppEngineImpl::PostToEngine(UINT aCommand) {
  if (!PostThreadMessageW(iThreadId, aCommand, reinterpret_cast<WPARAM>(&iAction), 0))
    LogMessageWithError(KLogFilePath, u"CKvAppEngineImpl::SendNow PostThreadMessage failed state = %1!d!", iState);
}

void CKvAppEngineImpl::CompleteWithError(HWND aWindow, const TText16* aText) {
  TEngineAction failed;
  failed.iWindow = aWindow;
  failed.iResult = KErrGeneral;  // every nonzero result counts as a failure
  failed.iText.Copy(aText);
  SendMessageW(aWindow, EKvActionComplete, reinterpret_cast<WPARAM>(&failed), 0);
}

void CKvAppEngineImpl::ActionStart(HWND aWindow) {
  iAction.iWindow = aWindow;
  iAction.iResult = 0;
  iAction.iSmsc = nullptr;
  iAction.iRequestReports = false;
  iAction.iText.Zero();
  iAction.iReason.Zero();
  iAction.iReadSmsc = gKvDocument != nullptr && gKvDocument->SmscNumber()[0] == 0;
  iAction.iPhoneSmsc.Zero();
  iAction.iStatus = TPhoneStatus();
  iAction.iStatusRead = false;
  if (iThread == nullptr) InitialiseEngineThread();

  if (iState >= EKvAppEngine_SendNow && iState <= EKvAppEngine_Ussd) {
    const TActionStart& start = KActionStarts[iState - 1];
    LogMessage(KLogFilePath, start.iLogLine);
    if (iState == EKvAppEngine_SendNow) {
      iAction.iSmsc = gKvDocument != nullptr ? gKvDocument->SmscNumber() : u"";
      iAction.iRequestReports = gKvDocument != nullptr && gKvDocument->RequestReports();
    }
    if (iState == EKvAppEngine_Listen) {
      iAction.iPartsWaitSeconds = gKvDocument != nullptr ? gKvDocument->PartsWait() : KDefaultPartsWaitSeconds;
      iAction.iPollSeconds = gKvDocument != nullptr ? gKvDocument->PollInterval() : KDefaultPollSeconds;
      iAction.iResetAfterTries = gKvDocument != nullptr ? gKvDocument->ResetAfter() : 0;
      iAction.iSendQueue = iSendQueue;
      iAction.iUssdSlot = iUssdSlot;
      if (iSendQueue != nullptr) iAction.iSmsc = gKvDocument != nullptr ? gKvDocument->SmscNumber() : u"";
    }
    PostToEngine(start.iCommand);
  } else if (iState == EKvAppEngine_NoAction) {
    LogMessage(KLogFilePath, u"CKvAppEngineImpl::ActionStart Error: no action");
    CompleteWithError(aWindow, u"Error: No action has been set");
  } else {
    LogMessage(KLogFilePath, u"CKvAppEngineImpl::ActionStart Error: state = %1!d! HWND = 0x%2!x!", iState, aWindow);
    CompleteWithError(aWindow, u"Engine state error");
  }
}

void CKvAppEngineImpl::WakeToSend() {
  if (iState == EKvAppEngine_Listen && iThreadId != 0) PostToEngine(EKvSendWhileListening);
}

void CKvAppEngineImpl::WakeForUssd() {
  if (iState == EKvAppEngine_Listen && iThreadId != 0) PostToEngine(EKvUssdWhileListening);
}

void CKvAppEngineImpl::ActionInProgress() { LogMessage(KLogFilePath, u"CKvAppEngineImpl::ActionInProgress"); }

void CKvAppEngineImpl::ActionComplete(int aResult) {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::ActionComplete - %1!d!", aResult);
  iState = EKvAppEngine_NoAction;
  if (gKvDocument != nullptr && iAction.iPhoneSmsc.Length() != 0)
    gKvDocument->SetPhoneSmsc(std::u16string(iAction.iPhoneSmsc.Ptr(), iAction.iPhoneSmsc.Length()));
}

int CKvAppEngineImpl::ShutdownEngine() {
  LogMessage(KLogFilePath, u"CKvAppEngineImpl::ShutdownEngine");
  if (iState == EKvAppEngine_NoAction) {
    LogMessage(KLogFilePath, u"CKvAppEngineImpl::AbortTransfer - no transfer in progress.");
    return KErrGeneral;
  }
  PostToEngine(EKvShutdownEngine);
  // Forgotten, but kept until it has ended: the end of the program waits for it.
  ReapEndingThreads();
  if (iThread != nullptr) iEndingThreads.push_back(iThread);
  iThread = nullptr;
  iThreadId = 0;
  return KErrNone;
}
