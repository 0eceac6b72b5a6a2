#include "tools/cli/cli_session.h"

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>

#include <kvplatform.h>

#include "app/document/app_globals.h"
#include "app/document/kv_application.h"
#include "kernel/errors.h"
#include "kernel/requests.h"
#include "tools/cli/command_line.h"
#include "tools/cli/commands.h"
#include "tools/cli/interrupt_watcher.h"
#include "tools/cli/progress_printer.h"
#include "tools/cli/pin_file.h"
#include "tools/cli/progress_window.h"
#include "tools/cli/store_upgrade_printer.h"

namespace kvcli {

TCliSession::TCliSession(const TGlobalOptions& aOptions) : iJson(aOptions.iJson), iPinFile(PinFilePath(aOptions.iPinFile)) {
  if (aOptions.iRoot) kvplatform::SetDeviceRoot(*aOptions.iRoot);
  if (std::string problem = kvplatform::DeviceRootProblem(); !problem.empty()) throw TCommandError(problem);
  if (aOptions.iPort) {
    const std::string imeiPrefix = "imei:";
    std::string port = aOptions.iPort->rfind(imeiPrefix, 0) == 0 ? PortWithImei(aOptions.iPort->substr(imeiPrefix.size()))
                                                                   : *aOptions.iPort;
    setenv("KORVANET_COM3", port.c_str(), 1);
  }
  if (EpocInitGlobals() != KErrNone) throw TCommandError("cannot initialise the program's globals");
  // The thread's queue exists before the interrupt watcher may post to it.
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);

  // The stores open with the document; one an earlier version left is made
  // ready then, which can take seconds.
  ShowStoreUpgradesOnTerminal();
  CKvApplication* application = CKvApplication::NewL();
  iApplication = application;
  gKvApplication = application;
  iDocument = static_cast<CKvDocument*>(application != nullptr ? application->CreateDocumentL() : nullptr);
  gKvDocument = iDocument;
  if (iDocument == nullptr) throw TCommandError("cannot open the program's document");
}

TCliSession::~TCliSession() {
  // The order of the program's shut-down: application (document, stores),
  // then the proxy, then the globals.
  delete iApplication;
  gKvApplication = nullptr;
  StopShowingStoreUpgrades();
  gKvDocument = nullptr;
  delete iEngine;
  gKvAppEngine = nullptr;
  if (!iEngineLeftRunning) EpocReleaseGlobals();
}

CKveContactsDatabase& TCliSession::Contacts() {
  CKveContactsDatabase* store = iDocument->ContactsDatabase();
  if (store == nullptr || !store->IsOpen())
    throw TCommandError("cannot open the contacts store (its file is unreadable or damaged; 'restore' puts back a backup)");
  return *store;
}

CKveMessagesDatabase& TCliSession::Messages() {
  CKveMessagesDatabase* store = iDocument->MessagesDatabase();
  if (store == nullptr || !store->IsOpen())
    throw TCommandError("cannot open the messages store (its file is unreadable or damaged; 'restore' puts back a backup)");
  return *store;
}

const TEngineAction* TCliSession::ActionBlock() {
  auto* impl = dynamic_cast<CKvAppEngineImpl*>(iEngine);
  return impl != nullptr ? &impl->Action() : nullptr;
}

CKvAppEngine& TCliSession::Engine() {
  if (iEngine == nullptr) {
    iEngine = CKvAppEngine::NewL();
    gKvAppEngine = iEngine;
    if (iEngine == nullptr) throw TCommandError("cannot start the engine");
  }
  return *iEngine;
}

TActionOutcome TCliSession::RunAction(const std::string& aTitle, const std::function<int(CKvAppEngine&)>& aSetter,
                                      const std::function<void(CEOID)>& aOnStored,
                                      const TProgressWindow::TMenuHandler& aOnMenu) {
  TActionHooks hooks;
  hooks.iOnStored = aOnStored;
  hooks.iOnMenu = aOnMenu;
  return RunAction(aTitle, aSetter, hooks);
}

TActionOutcome TCliSession::RunAction(const std::string& aTitle, const std::function<int(CKvAppEngine&)>& aSetter,
                                      const TActionHooks& aHooks) {
  std::string pin = iPinFile ? ReadPinFile(*iPinFile) : std::string();
  CKvAppEngine& engine = Engine();
  if (aSetter(engine) != KErrNone) throw TCommandError("the engine is busy with another action");

  TProgressPrinter printer(isatty(STDERR_FILENO) != 0);
  TProgressWindow window(engine, printer);
  if (window.Handle() == nullptr) throw TCommandError("cannot create the progress window");
  if (aHooks.iOnStored) window.SetStoredHandler(aHooks.iOnStored);
  if (aHooks.iOnSent) window.SetSentHandler(aHooks.iOnSent);
  if (aHooks.iOnReport) window.SetReportHandler(aHooks.iOnReport);
  if (aHooks.iOnStatus) window.SetStatusHandler(aHooks.iOnStatus);
  if (aHooks.iOnUssdAnswered) window.SetUssdAnsweredHandler(aHooks.iOnUssdAnswered);
  if (aHooks.iOnMenu) window.SetUssdMenuHandler(aHooks.iOnMenu);
  window.SetPin(pin);
  explicit_bzero(pin.data(), pin.size());
  iAbortWanted = false;
  printer.Begin(aTitle);
  TInterruptWatcher::SetActionRunning(true);
  engine.ActionStart(window.Handle());
  auto* impl = dynamic_cast<CKvAppEngineImpl*>(&engine);
  // Read before the completion, which makes the proxy forget the thread.
  DWORD engineThread = impl != nullptr ? impl->EngineThreadId() : 0;

  while (!window.Complete()) {
    // Sleeps until a message is posted: the interrupt, a hook's wake-up, or
    // the window's own word that the action ended (the engine's notices are
    // sent, and run inside the wait, which would otherwise go on sleeping).
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.hwnd == nullptr && message.message == KCliInterruptMessage)
        window.Abort();
      else if (!(message.hwnd == nullptr && aHooks.iOnThreadMessage && aHooks.iOnThreadMessage(message)))
        DispatchMessageW(&message);
    }
    if (iAbortWanted && !window.Complete()) window.Abort();
  }
  TActionOutcome outcome{window.Result(), window.Text(), window.Aborted(), window.UssdReply()};
  printer.Finish(outcome.iText);
  // The dialog's button after completion: the proxy returns to idle.
  engine.ActionComplete(outcome.iResult);
  // Notices still arriving are answered (with the cancel after an abort)
  // while the engine thread ends, so it never waits on a window nobody serves.
  if (engineThread != 0 && !WaitEngineEnded(engineThread, 10000)) iEngineLeftRunning = true;
  TInterruptWatcher::SetActionRunning(false);
  return outcome;
}

void TCliSession::AbortAction() {
  iAbortWanted = true;
  // A hook may run inside the action loop's wait: the loop must look again.
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

bool TCliSession::WaitEngineEnded(DWORD aThreadId, int aTimeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      if (!(message.hwnd == nullptr && message.message == KCliInterruptMessage)) DispatchMessageW(&message);
    // An ended thread's queue is gone and refuses posts; a live engine takes
    // WM_NULL as an unexpected message and ignores it.
    if (!PostThreadMessageW(aThreadId, WM_NULL, 0, 0)) return true;
  }
  return false;
}

}  // namespace kvcli
