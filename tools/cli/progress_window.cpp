#include "tools/cli/progress_window.h"

#include <string.h>

#include <cstdio>

#include "kernel/errors.h"
#include "tools/cli/pin_file.h"
#include "tools/cli/cli_text.h"

namespace kvcli {
namespace {

const WCHAR KWindowClass[] = u"KorvanetCliProgress";
// The longest status text the dialog shows.
const int KStatusTextLength = 63;

// The one window of this class alive at a time (one action at a time).
TProgressWindow* gCurrent = nullptr;

void RegisterOnce(WNDPROC aProc) {
  static bool registered = [aProc] {
    WNDCLASSW windowClass = {};
    windowClass.lpszClassName = KWindowClass;
    windowClass.lpfnWndProc = aProc;
    return RegisterClassW(&windowClass) != 0;
  }();
  (void)registered;
}

}  // namespace

TProgressWindow::TProgressWindow(CKvAppEngine& aEngine, TProgressPrinter& aPrinter)
    : iEngine(aEngine), iPrinter(aPrinter) {
  RegisterOnce(&TProgressWindow::WindowProc);
  gCurrent = this;
  iWindow = CreateWindowExW(0, KWindowClass, u"Processing ...", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

TProgressWindow::~TProgressWindow() {
  explicit_bzero(iPin.data(), iPin.size());
  if (iWindow != nullptr) DestroyWindow(iWindow);
  if (gCurrent == this) gCurrent = nullptr;
}

LRESULT CALLBACK TProgressWindow::WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  TProgressWindow* self = gCurrent;
  LRESULT answer = 0;
  if (self != nullptr && self->iWindow == aWindow && aWParam != 0 &&
      KvDispatchEngineNotice(*self, aMessage, aWParam, aLParam, answer))
    return answer;
  return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}

void TProgressWindow::MessageStoredL(CEOID aIdentifier, bool aWhole) {
  if (aWhole && iOnStored && !iComplete) iOnStored(aIdentifier);
}

void TProgressWindow::MessageSentL(CEOID aIdentifier, bool aSent) {
  if (iOnSent && !iComplete) iOnSent(aIdentifier, aSent);
}

void TProgressWindow::DeliveryReportAppliedL(CEOID aIdentifier) {
  if (iOnReport && !iComplete) iOnReport(aIdentifier);
}

void TProgressWindow::StatusUpdatedL(const TEngineAction& aAction) {
  if (iOnStatus && !iComplete) iOnStatus(aAction.iStatus);
}

void TProgressWindow::UssdAnsweredL() {
  if (iOnUssdAnswered && !iComplete) iOnUssdAnswered();
}

LRESULT TProgressWindow::ActionInProgressL(const TEngineAction& aAction) {
  std::string text = Printable(Utf8(aAction.iText.Left(KStatusTextLength)));
  if (!iComplete) iPrinter.Progress(text);
  iEngine.ActionInProgress();
  return iAborted ? KErrCancel : KErrNone;
}

void TProgressWindow::ActionCompleteL(const TEngineAction& aAction) {
  iEngine.ShutdownEngine();
  iComplete = true;
  // The action loop sleeps until a message is posted; this one wakes it to
  // see the completion, which arrived as a sent notice inside its wait.
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
  iText = Printable(Utf8(aAction.iText), true);
  iResult = aAction.iResult;
  iUssdReply = Utf8(aAction.iUssdReply);
}

bool TProgressWindow::SimPinRequestedL(TEngineAction& aAction) {
  if (iComplete || iAborted || aAction.iPinRefusedBefore) return false;
  if (iPin.empty()) {
    std::fprintf(stderr, "korvanet-cli: the SIM asks for its PIN: give it in a private file with --pin-file FILE or %s\n",
                 KPinFileVariable);
    return false;
  }
  aAction.iPin.Zero();
  for (char c : iPin) aAction.iPin.Append(static_cast<TText16>(c));
  // Given once: the same PIN is never offered again in this run.
  explicit_bzero(iPin.data(), iPin.size());
  iPin.clear();
  return true;
}

bool TProgressWindow::UssdMenuL(TEngineAction& aAction) {
  if (iComplete || iAborted || !iOnMenu) return false;
  std::string answer;
  if (!iOnMenu(Utf8(aAction.iUssdReply), answer)) return false;
  std::u16string wide = Utf16(answer);
  if (wide.size() > static_cast<size_t>(aAction.iUssdAnswer.MaxLength())) return false;
  aAction.iUssdAnswer.Copy(wide.data(), static_cast<int>(wide.size()));
  return true;
}

void TProgressWindow::Abort() {
  if (iAborted || iComplete) return;
  TEngineAction aborted;
  aborted.iWindow = iWindow;
  aborted.iResult = KErrCancel;
  aborted.iText.Copy(u"Transfer aborted");
  ActionCompleteL(aborted);
  iAborted = true;
}

}  // namespace kvcli
