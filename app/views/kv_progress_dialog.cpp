#include "app/views/kv_progress_dialog.h"

#include <commctrl.h>

#include <string>

#include "app/document/app_engine.h"
#include "app/document/app_globals.h"
#include "app/views/kv_sim_dialogs.h"
#include "app/views/resources/resource_ids.h"
#include "engine/engine_action.h"
#include "kernel/errors.h"
#include "kernel/log.h"

namespace {

// The longest progress text the status line shows.
const int KMaxProgressText = 63;

}  // namespace

CKvProgressDialog::CKvProgressDialog(LPCWSTR aTitle) : iTitle(aTitle) {
  SetClassName(u"CKvProgressDialog");
}

CKvProgressDialog* CKvProgressDialog::NewL(LPCWSTR aTitle) {
  LogMessage(KLogFilePath, u"CKvProgressDialog::NewL");
  return new CKvProgressDialog(aTitle);
}

bool CKvProgressDialog::SimPinRequestedL(TEngineAction& aAction) {
  if (iAborted || iComplete) return false;
  std::u16string pin;
  CKvPinDialog* dialog = CKvPinDialog::NewL(aAction.iPinAttemptsLeft, aAction.iPinRefusedBefore, pin);
  if (dialog == nullptr || dialog->ExecuteLD(gKvInstance, KKvDlgSimPin, iWindow) != KKvCmdOk) return false;
  aAction.iPin.Copy(pin.data(), static_cast<int>(pin.size()));
  for (char16_t& c : pin) c = 0;
  return true;
}

bool CKvProgressDialog::UssdMenuL(TEngineAction& aAction) {
  if (iAborted || iComplete) return false;
  std::u16string answer;
  std::u16string menu(aAction.iUssdReply.Ptr(), aAction.iUssdReply.Length());
  CKvUssdDialog* dialog = CKvUssdDialog::NewL(menu, true, answer);
  if (dialog == nullptr || dialog->ExecuteLD(gKvInstance, KKvDlgUssd, iWindow) != KKvCmdOk) return false;
  aAction.iUssdAnswer.Copy(answer.data(), static_cast<int>(answer.size()));
  return true;
}

void CKvProgressDialog::SetStatusText(LPCWSTR aText) { SetDlgItemTextW(iWindow, KKvIdStatusText, aText); }

void CKvProgressDialog::InitDialogL() {
  SetWindowTextW(iWindow, iTitle);
  SendDlgItemMessageW(iWindow, KKvIdProgressBar, PBM_STEPIT, 0, 0);
  SetStatusText(u"Connecting to phone ...");
  gKvAppEngine->ActionStart(iWindow);
  iAborted = false;
}

LRESULT CKvProgressDialog::HandleCommand(HWND, UINT, WPARAM aWParam, LPARAM) {
  if (LOWORD(aWParam) != KKvCmdCancel) return KEpocNotHandled;
  if (!iAborted && !iComplete) {
    // Handled as if the engine had completed with it.
    TEngineAction aborted;
    aborted.iResult = KErrCancel;
    aborted.iText.Copy(TConstPtr16(u"Transfer aborted"));
    ActionCompleteL(aborted);
    iAborted = true;
  } else if (iComplete) {
    gKvAppEngine->ActionComplete(iResult);
    EndDialog(iWindow, iResult);
  }
  return 0;
}

LRESULT CKvProgressDialog::ActionInProgressL(const TEngineAction& aAction) {
  LogMessage(KLogFilePath, u"CKvProgressDialog::HandleEventDefault - EKvActionInProgress");
  SendDlgItemMessageW(iWindow, KKvIdProgressBar, PBM_STEPIT, 0, 0);
  if (aAction.iText.Length() != 0) {
    int length = aAction.iText.Length() < KMaxProgressText ? aAction.iText.Length() : KMaxProgressText;
    std::u16string text(aAction.iText.Ptr(), length);
    LogMessage(KLogFilePath, u"Return message = %1!s!", text.c_str());
    SetStatusText(text.c_str());
  }
  gKvAppEngine->ActionInProgress();
  return iAborted ? KErrCancel : 0;
}

void CKvProgressDialog::ActionCompleteL(const TEngineAction& aAction) {
  LogMessage(KLogFilePath, u"CKvProgressDialog::HandleEventDefault - EKvActionComplete");
  gKvAppEngine->ShutdownEngine();
  iComplete = true;
  // A bar filled to the end would read as success.
  if (aAction.iResult == KErrNone) SendDlgItemMessageW(iWindow, KKvIdProgressBar, PBM_SETPOS, 100, 0);
  std::u16string text(aAction.iText.Ptr(), aAction.iText.Length());
  if (aAction.iReason.Length() != 0) {
    // The cause on a line of its own, begun as a sentence.
    std::u16string reason(aAction.iReason.Ptr(), aAction.iReason.Length());
    if (reason[0] >= u'a' && reason[0] <= u'z') reason[0] = static_cast<char16_t>(reason[0] - u'a' + u'A');
    text += u"\r\n" + reason;
  }
  // What the user was told, for the log's reader.
  LogMessage(KLogFilePath, u"CKvProgressDialog::ActionCompleteL - %1!s!", text.c_str());
  SetStatusText(text.c_str());
  SetDlgItemTextW(iWindow, KKvCmdCancel, u"OK");
  iResult = aAction.iResult;
}

LRESULT CKvProgressDialog::HandleEventDefault(HWND, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  LRESULT answer = 0;
  if (KvDispatchEngineNotice(*this, aMessage, aWParam, aLParam, answer)) {
    // A dialog's answer to its sender travels in DWL_MSGRESULT; the PIN and
    // the menu's answer are read from it.
    if (aMessage == EKvPinRequired || aMessage == EKvUssdMenu) {
      SetWindowLongPtrW(iWindow, DWL_MSGRESULT, answer);
      return TRUE;
    }
    return answer;
  }
  switch (aMessage) {
    case WM_ERASEBKGND:
    case WM_CTLCOLORBTN:
      return 0;
    default:
      LogMessage(KLogFilePath, u"CKvProgressDialog::HandleEventDefault - message = %1!d!", aMessage);
      return KEpocNotHandled;
  }
}
