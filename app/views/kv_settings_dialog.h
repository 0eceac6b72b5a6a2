// The settings dialog: the SMS service centre number, the switches, and the
// port: the serial devices with what answers on them, to choose from. The
// devices are looked for after the dialog is up, so it never waits for them.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/framework/epoc_dialog.h"
#include "app/views/kv_port_surveyor.h"

class CKvSettingsDialog : public CEpocDialog {
 public:
  static CKvSettingsDialog* NewL();

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  void SaveSettings();

 private:
  CKvSettingsDialog() { SetClassName(u"CKvSettingsDialog"); }
  // The port as it is, and a row saying the devices are being looked for.
  void StartPortList();
  // The surveyed devices in place of that row.
  void FillPortList(const std::vector<TPortReport>& aReports);

  // The devices of the port list's rows after the first (which keeps the
  // port as it is); empty until the survey has ended.
  std::vector<std::string> iPorts;
  std::unique_ptr<CKvPortSurveyor> iSurveyor;  // while the survey runs
};

// The About box: the product, its version and where its data lives.
class CKvAboutDialog : public CEpocDialog {
 public:
  static CKvAboutDialog* NewL() { return new CKvAboutDialog; }

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  CKvAboutDialog() { SetClassName(u"CKvAboutDialog"); }
};
