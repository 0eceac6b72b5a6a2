// The modal dialog behind every engine action: it starts the action, shows
// the engine's progress texts, lets the user abort, and closes with the
// action's result when the user presses its button after completion.
#pragma once

#include <windows.h>
#include <windbase.h>

#include <functional>

#include "app/document/kv_engine_notices.h"
#include "app/framework/epoc_dialog.h"

class CKvProgressDialog : public CEpocDialog, private MKvEngineObserver {
 public:
  // Hears of each whole message the action stored that the phone had not shown yet.
  using TOnStored = std::function<void(CEOID)>;
  static CKvProgressDialog* NewL(LPCWSTR aTitle, TOnStored aOnStored = nullptr);

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  CKvProgressDialog(LPCWSTR aTitle, TOnStored aOnStored);
  LRESULT ActionInProgressL(const TEngineAction& aAction) override;
  void ActionCompleteL(const TEngineAction& aAction) override;
  void MessageStoredL(CEOID aIdentifier, bool aWhole) override;
  // The SIM's PIN and USSD menus, each asked in a dialog of its own over this one.
  bool SimPinRequestedL(TEngineAction& aAction) override;
  bool UssdMenuL(TEngineAction& aAction) override;
  void SetStatusText(LPCWSTR aText);

  bool iAborted;
  bool iComplete;
  int iResult;
  LPCWSTR iTitle;  // not owned
  TOnStored iOnStored;
};
