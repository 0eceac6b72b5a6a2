// The modal dialog behind every engine action: it starts the action, shows
// the engine's progress texts, lets the user abort, and closes with the
// action's result when the user presses its button after completion.
#pragma once

#include <windows.h>
#include <windbase.h>

#include "app/document/kv_engine_notices.h"
#include "app/framework/epoc_dialog.h"

class CKvProgressDialog : public CEpocDialog, private MKvEngineObserver {
 public:
  static CKvProgressDialog* NewL(LPCWSTR aTitle);

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  explicit CKvProgressDialog(LPCWSTR aTitle);
  LRESULT ActionInProgressL(const TEngineAction& aAction) override;
  void ActionCompleteL(const TEngineAction& aAction) override;
  // The SIM's PIN and USSD menus, each asked in a dialog of its own over this one.
  bool SimPinRequestedL(TEngineAction& aAction) override;
  bool UssdMenuL(TEngineAction& aAction) override;
  void SetStatusText(LPCWSTR aText);

  bool iAborted;
  bool iComplete;
  int iResult;
  LPCWSTR iTitle;  // not owned
};
