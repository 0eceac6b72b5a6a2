#include "app/views/kv_settings_dialog.h"

#include <cstdlib>

#include <kvplatform.h>

#include "app/document/app_globals.h"
#include "app/document/kv_document.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"

namespace {

const int KMaxSmscText = 256;

}  // namespace

CKvSettingsDialog* CKvSettingsDialog::NewL() {
  LogMessage(KLogFilePath, u"CKvSettingsDialog::NewL");
  return new CKvSettingsDialog;
}

void CKvSettingsDialog::InitDialogL() {
  InitFullScreenDialog();
  LPCWSTR smsc = gKvDocument->SmscNumber();
  if (smsc[0] == 0) smsc = gKvDocument->PhoneSmsc().c_str();
  SetDlgItemTextW(iWindow, KKvIdSmscField, smsc);
  SendDlgItemMessageW(iWindow, KKvIdLogCheckBox, BM_SETCHECK,
                      gKvDocument->DoLogging() != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  SendDlgItemMessageW(iWindow, KKvIdReportsCheckBox, BM_SETCHECK,
                      gKvDocument->RequestReports() ? BST_CHECKED : BST_UNCHECKED, 0);
  SendDlgItemMessageW(iWindow, KKvIdNoticesCheckBox, BM_SETCHECK,
                      gKvDocument->ArrivalNotices() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CKvSettingsDialog::SaveSettings() {
  WCHAR text[KMaxSmscText] = {0};
  int length = static_cast<int>(
      SendDlgItemMessageW(iWindow, KKvIdSmscField, WM_GETTEXT, KMaxSmscText, reinterpret_cast<LPARAM>(text)));
  // An empty field reads as 0 characters; only a missing field is a failure.
  if (length > 0 || GetDlgItem(iWindow, KKvIdSmscField) != nullptr) {
    LPWSTR copy = static_cast<LPWSTR>(std::calloc(length + 1, sizeof(WCHAR)));
    if (copy != nullptr) {
      for (int i = 0; i < length; ++i) copy[i] = text[i];
      gKvDocument->SetSmscNumber(copy);
    }
  } else {
    LogMessageWithError(KLogFilePath, u"CKvSettingsDialog::SaveSettings - failed to get editbox text");
  }
  gKvDocument->SetRequestReports(SendDlgItemMessageW(iWindow, KKvIdReportsCheckBox, BM_GETCHECK, 0, 0) ==
                                 BST_CHECKED);
  gKvDocument->SetArrivalNotices(SendDlgItemMessageW(iWindow, KKvIdNoticesCheckBox, BM_GETCHECK, 0, 0) ==
                                  BST_CHECKED);
  gKvDocument->SetDoLogging(SendDlgItemMessageW(iWindow, KKvIdLogCheckBox, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

LRESULT CKvSettingsDialog::HandleCommand(HWND, UINT, WPARAM aWParam, LPARAM) {
  switch (LOWORD(aWParam)) {
    case KKvCmdOk:
      SaveSettings();
      gKvDocument->CommitSettingsL();
      EndDialog(iWindow, KKvCmdOk);
      return 0;
    case KKvCmdCancel:
      EndDialog(iWindow, KKvCmdCancel);
      return 0;
    default:
      return KEpocNotHandled;
  }
}

void CKvAboutDialog::InitDialogL() {
  InitFullScreenDialog();
  std::u16string root = kvplatform::FromUtf8(kvplatform::DeviceRoot());
  SetDlgItemTextW(iWindow, KKvIdAboutText, root.c_str());
}

LRESULT CKvAboutDialog::HandleCommand(HWND, UINT, WPARAM aWParam, LPARAM) {
  int command = LOWORD(aWParam);
  if (command != KKvCmdOk && command != KKvCmdCancel) return KEpocNotHandled;
  EndDialog(iWindow, command);
  return 0;
}
