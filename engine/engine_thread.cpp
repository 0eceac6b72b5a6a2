#include "engine/engine_thread.h"

#include "engine/engine_action.h"
#include "engine/phone_engine.h"
#include "kernel/active.h"
#include "kernel/log.h"
#include "kernel/requests.h"

namespace {

// Both ending commands come here, also from inside a wait for the phone:
// nothing after this runs on the engine thread.
[[noreturn]] void EndEngineThread(CPhoneEng* aEngine) {
  delete aEngine;  // closes the serial link and frees the protocol layer
  ExitThread(0);
  __builtin_unreachable();
}

// Without an engine an action still has to end, or its progress dialog
// would wait for ever.
void CompleteWithoutEngine(const MSG& aMessage) {
  TEngineAction* action = reinterpret_cast<TEngineAction*>(aMessage.wParam);
  LogMessage(KLogFilePath, u"EngineEventLoop - no engine for message %1!d!", aMessage.message);
  if (action == nullptr) return;
  action->iText.Copy(u"Engine not available");
  action->iResult = KErrGeneral;
  SendMessageW(action->iWindow, EKvActionComplete, reinterpret_cast<WPARAM>(action), 0);
}

bool IsEngineCommand(UINT aNumber) {
  return (aNumber >= EKvSendNow && aNumber <= EKvDeleteAllContactsFromPhone) || aNumber == EKvListen ||
         aNumber == EKvReadStatus || aNumber == EKvUssd;
}

void Dispatch(CPhoneEng* aEngine, const MSG& aMessage) {
  const UINT number = aMessage.message;
  if (aEngine == nullptr && IsEngineCommand(number)) {
    CompleteWithoutEngine(aMessage);
    return;
  }
  if (number > EKvSendAllSmsFromOutbox) {
    switch (number) {
      case EKvReadPhoneBook:
      case EKvReadPhoneBookSim:
      case EKvReadPhoneBookPhoneMemory:
        LogMessage(KLogFilePath, u"EngineEventLoop - received EKvReadPhoneBook msg %1!d!", number);
        aEngine->ProcessReadPhoneBook(aMessage);
        return;
      case EKvUploadAllContactsToPhone:
        LogMessage(KLogFilePath, u"EngineEventLoop - received EKvUploadAllContactsToPhone");
        aEngine->ProcessUploadPhoneBook(aMessage);
        return;
      case EKvDeleteAllContactsFromPhone:
        LogMessage(KLogFilePath, u"EngineEventLoop - received EKvDeleteAllContactsFromPhone");
        aEngine->ProcessDeletePhoneBook(aMessage);
        return;
      case EKvListen:
        LogMessage(KLogFilePath, u"EngineEventLoop - received EKvListen");
        aEngine->ProcessListen(aMessage);
        return;
      case EKvReadStatus:
        LogMessage(KLogFilePath, u"EngineEventLoop - received EKvReadStatus");
        aEngine->ProcessReadStatus(aMessage);
        return;
      case EKvUssd:
        LogMessage(KLogFilePath, u"EngineEventLoop - received EKvUssd");
        aEngine->ProcessUssd(aMessage);
        return;
      case EKvSendWhileListening:
        // Arrives in the middle of listening: only noted, sent at the next turn.
        if (aEngine != nullptr) aEngine->SendWanted();
        return;
      case EKvUssdWhileListening:
        if (aEngine != nullptr) aEngine->UssdWanted();
        return;
      case EKvShutdownEngine:
        EndEngineThread(aEngine);
      default:
        break;
    }
  } else if (number == EKvSendAllSmsFromOutbox) {
    LogMessage(KLogFilePath, u"EngineEventLoop - received EKvSendAllSmsFromOutbox");
    aEngine->ProcessSendAllSmsFromOutbox(aMessage);
    return;
  } else if (number == WM_QUIT) {
    LogMessage(KLogFilePath, u"EngineEventLoop - received WM_QUIT");
    EndEngineThread(aEngine);
  } else if (number == EKvSendNow) {
    LogMessage(KLogFilePath, u"EngineEventLoop - received EKvSendNow");
    aEngine->ProcessSendNow(aMessage);
    return;
  } else if (number == EKvGetAllSmsFromPhone) {
    LogMessage(KLogFilePath, u"EngineEventLoop - received EKvGetAllSmsFromPhone");
    aEngine->ProcessGetAllSmsFromPhone(aMessage);
    return;
  } else if (number == EKvDeleteAllSmsFromPhone) {
    LogMessage(KLogFilePath, u"EngineEventLoop - received EKvDeleteAllSmsFromPhone");
    aEngine->ProcessDeleteAllSmsFromPhone(aMessage);
    return;
  }
  LogMessage(KLogFilePath, u"EngineEventLoop - unexpected message %1!d!", number);
  TranslateMessage(&aMessage);
  DispatchMessageW(&aMessage);
}

}  // namespace

DWORD KvEngineMain(LPVOID aParameter) {
  HWND mainWindow = static_cast<HWND>(aParameter);
  LogMessage(KLogFilePath, u"KvEngineMain: Starting ...");
  CActiveScheduler* scheduler = new CActiveScheduler;
  CActiveScheduler::Install(scheduler);
  CPhoneEng* engine = CPhoneEng::NewL(mainWindow);
  if (engine == nullptr) LogMessage(KLogFilePath, u"KvEngineMain: the engine could not be made");
  User::SetWindowEventHandler(TWindowEventHandler{EngineEventLoop, engine});
  CActiveScheduler::Start();
  LogMessage(KLogFilePath, u"KvEngineMain: Exiting ...");
  return 0;
}

int EngineEventLoop(void* aEngine) {
  CPhoneEng* engine = static_cast<CPhoneEng*>(aEngine);
  LogMessage(KLogFilePath, u"Entered EngineEventLoop");
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) Dispatch(engine, message);
  return 0;
}
