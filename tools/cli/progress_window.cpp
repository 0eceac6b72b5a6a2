#include "tools/cli/progress_window.h"

#include "kernel/errors.h"
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

LRESULT TProgressWindow::ActionInProgressL(const TEngineAction& aAction) {
  std::string text = Printable(Utf8(aAction.iText.Left(KStatusTextLength)));
  if (!iComplete) iPrinter.Progress(text);
  iEngine.ActionInProgress();
  return iAborted ? KErrCancel : KErrNone;
}

void TProgressWindow::ActionCompleteL(const TEngineAction& aAction) {
  iEngine.ShutdownEngine();
  iComplete = true;
  iText = Printable(Utf8(aAction.iText), true);
  iResult = aAction.iResult;
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
