// The settings dialog: the SMS service centre number and the log switch.
#pragma once

#include <windows.h>

#include "app/framework/epoc_dialog.h"

class CKvSettingsDialog : public CEpocDialog {
 public:
  static CKvSettingsDialog* NewL();

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  void SaveSettings();

 private:
  CKvSettingsDialog() { SetClassName(u"CKvSettingsDialog"); }
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
