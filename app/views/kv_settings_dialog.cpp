#include "app/views/kv_settings_dialog.h"

#include <cstdlib>

#include <kvplatform.h>
#include <kvplatform_serial.h>

#include "app/document/app_globals.h"
#include "app/document/kv_document.h"
#include "app/document/kv_status_text.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/log.h"

namespace {

const int KMaxSmscText = 256;
const WCHAR KPhonePort[] = u"COM3:";
// The port survey's thread has ended.
const UINT KSettingsSurveyDone = WM_APP + 1;

// A modem's text for a list row: control characters shown as U+FFFD.
std::u16string RowText(std::u16string aText) {
  for (char16_t& c : aText)
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = u'\uFFFD';
  return aText;
}

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
  StartPortList();
}

// First the port as it is; the devices follow when the survey ends.
void CKvSettingsDialog::StartPortList() {
  HWND list = GetDlgItem(iWindow, KKvIdPortList);
  if (list == nullptr) return;
  std::string current = kvplatform::SerialPortLinkTarget(KPhonePort);
  std::u16string first = current.empty() ? u"(none chosen)" : RowText(kvplatform::FromUtf8(current));
  SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(first.c_str()));
  SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Looking for ports…"));
  SendMessageW(list, CB_SETCURSEL, 0, 0);
  iSurveyor.reset(CKvPortSurveyor::NewL(iWindow, KSettingsSurveyDone));
  // Without a thread of its own the survey is made here, as the dialog opens.
  if (iSurveyor == nullptr) FillPortList(SurveyPorts());
}

// After the port as it is, each serial device: its stable name when it has
// one, its state, and the maker and model of a modem that answers.
void CKvSettingsDialog::FillPortList(const std::vector<TPortReport>& aReports) {
  HWND list = GetDlgItem(iWindow, KKvIdPortList);
  if (list == nullptr) return;
  while (SendMessageW(list, CB_GETCOUNT, 0, 0) > 1) SendMessageW(list, CB_DELETESTRING, 1, 0);
  iPorts.clear();
  for (const TPortReport& report : aReports) {
    std::string name = PreferredPortName(report);
    std::u16string row = RowText(kvplatform::FromUtf8(name)) + u" \u00B7 " + KvPortStateText(report);
    if (report.iAnswer == EPortAnswered)
      row += u" \u00B7 " + RowText(KvText(report.iMaker)) + u" " + RowText(KvText(report.iModel));
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    iPorts.push_back(name);
  }
  SendMessageW(list, CB_SETCURSEL, 0, 0);
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
  LRESULT port = SendDlgItemMessageW(iWindow, KKvIdPortList, CB_GETCURSEL, 0, 0);
  if (port >= 1 && static_cast<size_t>(port) <= iPorts.size()) {
    DWORD error = kvplatform::SetSerialPortLink(KPhonePort, iPorts[static_cast<size_t>(port) - 1]);
    if (error != ERROR_SUCCESS) LogMessage(KLogFilePath, u"CKvSettingsDialog::SaveSettings - port not set %1!d!", error);
  }
}

LRESULT CKvSettingsDialog::HandleEventDefault(HWND, UINT aMessage, WPARAM, LPARAM) {
  if (aMessage == KSettingsSurveyDone) {
    std::vector<TPortReport> reports;
    if (iSurveyor != nullptr && iSurveyor->TakeReports(reports)) {
      iSurveyor.reset();
      FillPortList(reports);
    }
    return 0;
  }
  // A survey still running is stopped, and its thread ended, while the
  // window it posts to is still there.
  if (aMessage == WM_DESTROY) iSurveyor.reset();
  return KEpocNotHandled;
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
