#include "app/views/kv_listener.h"

#include <string>

#include "app/document/app_engine.h"
#include "app/document/app_globals.h"
#include "app/views/resources/resource_ids.h"
#include "engine/engine_action.h"
#include "kernel/errors.h"
#include "kernel/hwndmap.h"
#include "kernel/log.h"
#include "kernel/requests.h"

namespace {

// An engine told to end leaves its wait for the phone at once; this only
// bounds a thread stuck in a system call.
const DWORD KEngineEndWaitMs = 10000;

}  // namespace

CKvListener::CKvListener(MKvListenerObserver* aObserver) : iObserver(aObserver) { SetClassName(u"CKvListener"); }

CKvListener* CKvListener::NewL(MKvListenerObserver* aObserver) {
  LogMessage(KLogFilePath, u"CKvListener::NewL");
  CKvListener* self = new CKvListener(aObserver);
  if (self != nullptr) self->ConstructL();
  return self;
}

// A hidden child of the main frame: never drawn, it only receives the
// engine's notices.
void CKvListener::ConstructL() {
  WCHAR className[128] = {0};
  LoadStringW(gKvInstance, KKvStrWindowClass, className, 128);
  CHWndMap* map = EpocWindowMap();
  if (map != nullptr) map->SetPendingControl(this);
  HWND window = CreateWindowExW(0, className, u"", WS_CHILD, 0, 0, 0, 0, gKvMainFrameWindow, nullptr, gKvInstance,
                                nullptr);
  if (window != nullptr)
    SetWindowL(window);
  else
    LogMessageWithError(KLogFilePath, u"CKvListener::ConstructL - no window");
  if (map != nullptr) map->SetPendingControl(nullptr);
}

CKvListener::~CKvListener() {
  Stop();
  if (iWindow != nullptr) DestroyWindow(iWindow);
}

void CKvListener::StartL(bool aWaitForPhone) {
  if (iRunning || iWindow == nullptr || gKvAppEngine == nullptr) return;
  iPaused = false;
  // The engine of the action just ended may still hold the port a moment.
  if (!gKvAppEngine->WaitEnginesEnded(KEngineEndWaitMs))
    LogMessage(KLogFilePath, u"CKvListener::StartL - an earlier engine still holds the port");
  if (gKvAppEngine->Listen(false, aWaitForPhone) != KErrNone) {
    LogMessage(KLogFilePath, u"CKvListener::StartL - the engine is busy, not listening");
    iObserver->ListeningChanged();
    return;
  }
  LogMessage(KLogFilePath, u"CKvListener::StartL - listening for messages");
  iRunning = true;
  gKvAppEngine->ActionStart(iWindow);
  iObserver->ListeningChanged();
}

void CKvListener::Stop() {
  bool wasOn = IsOn();
  if (iRunning) LogMessage(KLogFilePath, u"CKvListener::Stop - listening ends");
  iPaused = false;
  EndListening();
  if (wasOn && iObserver != nullptr) iObserver->ListeningChanged();
}

void CKvListener::EndListening() {
  if (!iRunning) return;
  iRunning = false;
  LogMessage(KLogFilePath, u"CKvListener::EndListening - the engine lets go of the port");
  // The engine ends from inside its wait for the phone and closes the port;
  // the proxy is idle at once for the next action.
  gKvAppEngine->ShutdownEngine();
  gKvAppEngine->ActionComplete(KErrNone);
  if (!gKvAppEngine->WaitEnginesEnded(KEngineEndWaitMs))
    LogMessage(KLogFilePath, u"CKvListener::EndListening - the engine has not let go of the port yet");
  if (iObserver != nullptr) iObserver->ListeningChanged();
}

void CKvListener::PauseL() {
  if (!iRunning) return;
  LogMessage(KLogFilePath, u"CKvListener::PauseL - the port goes to the user's action");
  iPaused = true;
  EndListening();
}

void CKvListener::ResumeL() {
  if (!iPaused) return;
  LogMessage(KLogFilePath, u"CKvListener::ResumeL - listening again");
  // The phone was there before the action; if the action lost it (a pulled
  // cable), listening waits for it to come back.
  StartL(true);
}

LRESULT CKvListener::ActionInProgressL(const TEngineAction& aAction) {
  if (aAction.iText.Length() != 0) {
    std::u16string text(aAction.iText.Ptr(), aAction.iText.Length());
    LogMessage(KLogFilePath, u"CKvListener::ActionInProgress - %1!s!", text.c_str());
  }
  // The answer ends an engine that is still listening after Stop.
  return iRunning ? 0 : KActionCancelled;
}

// Listening ended on the engine's side: the phone never answered or the port
// would not open. The setting stays, so the next start tries again.
void CKvListener::ActionCompleteL(const TEngineAction& aAction) {
  if (!iRunning) return;
  std::u16string text(aAction.iText.Ptr(), aAction.iText.Length());
  LogMessage(KLogFilePath, u"CKvListener::ActionComplete - listening ended: %1!s!", text.c_str());
  iRunning = false;
  gKvAppEngine->ShutdownEngine();
  gKvAppEngine->ActionComplete(aAction.iResult);
  iObserver->ListeningChanged();
  iObserver->ListeningEndedL(text.c_str());
}

// Also after Stop: the message is in the store either way.
void CKvListener::MessageStoredL(CEOID aIdentifier, bool aWhole) {
  if (aWhole) iObserver->MessageArrivedL(aIdentifier);
}

LRESULT CKvListener::HandleEventDefault(HWND, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  LRESULT answer = 0;
  return KvDispatchEngineNotice(*this, aMessage, aWParam, aLParam, answer) ? answer : KEpocNotHandled;
}
