// The settings dialog: the SMS service centre number, the switches, and the
// port: the serial devices with what answers on them, to choose from.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/framework/epoc_dialog.h"

class CKvSettingsDialog : public CEpocDialog {
 public:
  static CKvSettingsDialog* NewL();

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  void SaveSettings();

 private:
  CKvSettingsDialog() { SetClassName(u"CKvSettingsDialog"); }
  void FillPortList();

  // The devices of the port list's rows after the first (which keeps the port as it is).
  std::vector<std::string> iPorts;
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
