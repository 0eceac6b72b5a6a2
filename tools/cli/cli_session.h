// One run of the CLI on the program's own objects: the device root and port,
// the process globals, the application and its document (settings and the
// user interface's stores), and, when an action is asked for, the engine
// proxy driven the way the progress dialog drives it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/document/app_engine.h"
#include "app/document/kv_document.h"
#include "store/contacts.h"
#include "store/messages.h"
#include "tools/cli/progress_window.h"

namespace kvcli {

struct TGlobalOptions {
  std::optional<std::string> iRoot;
  std::optional<std::string> iPort;
  std::optional<std::string> iPinFile;
  bool iJson = false;
};

struct TActionOutcome {
  int iResult = 0;
  std::string iText;
  bool iInterrupted = false;
  std::string iReplyText;  // a USSD action's last reply, as received
};

// What a long-running action's caller hears besides progress.
struct TActionHooks {
  std::function<void(CEOID)> iOnStored;
  std::function<void(CEOID, bool)> iOnSent;
  std::function<void(CEOID)> iOnReport;
  // A listening engine read the phone's status again.
  std::function<void(const TPhoneStatus&)> iOnStatus;
  // A listening engine ended the USSD session of its slot.
  std::function<void()> iOnUssdAnswered;
  // A message posted to this thread (not the interrupt's); true when taken.
  std::function<bool(const MSG&)> iOnThreadMessage;
  // A USSD menu to answer.
  TProgressWindow::TMenuHandler iOnMenu;
};

class TCliSession {
 public:
  explicit TCliSession(const TGlobalOptions& aOptions);
  ~TCliSession();
  TCliSession(const TCliSession&) = delete;
  TCliSession& operator=(const TCliSession&) = delete;

  bool Json() const { return iJson; }
  CKvDocument& Document() { return *iDocument; }
  CKveContactsDatabase& Contacts();
  CKveMessagesDatabase& Messages();

  // Runs one engine action: aSetter records it on the proxy (SendNow, ...),
  // then the action starts against a window of this thread, which pumps
  // messages until the completion. Progress and the completion text go to
  // standard error. Ctrl-C aborts it ("Transfer aborted").
  // aOnStored, when given, gets each message a listening engine stored.
  // The SIM's PIN comes from the PIN file when one is set (read, and
  // refused when others can read it, before the action starts).
  // aOnMenu, when given, answers each USSD menu.
  TActionOutcome RunAction(const std::string& aTitle, const std::function<int(CKvAppEngine&)>& aSetter,
                           const std::function<void(CEOID)>& aOnStored = nullptr,
                           const TProgressWindow::TMenuHandler& aOnMenu = nullptr);
  TActionOutcome RunAction(const std::string& aTitle, const std::function<int(CKvAppEngine&)>& aSetter,
                           const TActionHooks& aHooks);
  // Ends the running action as Ctrl-C does (from a hook).
  void AbortAction();

  // True when an engine thread did not end after its action; the process
  // must then leave without running its exit handlers.
  bool EngineLeftRunning() const { return iEngineLeftRunning; }
  // The block of the last action run, as the engine left it; null before any.
  const TEngineAction* ActionBlock();

 private:
  CKvAppEngine& Engine();
  // Handles messages until the engine thread has gone (its queue refuses
  // posts) or the time is up.
  bool WaitEngineEnded(DWORD aThreadId, int aTimeoutMs);

  bool iJson;
  std::optional<std::string> iPinFile;
  CKvAppEngine* iEngine = nullptr;     // owned, made on the first action
  CEpocApplication* iApplication = nullptr;  // owned; owns the document
  CKvDocument* iDocument = nullptr;
  bool iEngineLeftRunning = false;
  bool iAbortWanted = false;
};

}  // namespace kvcli
