// The modal dialog behind every engine action: it starts the action, shows
// the engine's progress texts, lets the user abort, and closes with the
// action's result when the user presses its button after completion.
#pragma once

#include <windows.h>

#include "app/epoc_dialog.h"

struct TEngineAction;

class CKvProgressDialog : public CEpocDialog {
 public:
  static CKvProgressDialog* NewL(LPCWSTR aTitle);

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  explicit CKvProgressDialog(LPCWSTR aTitle);
  LRESULT ActionInProgress(const TEngineAction& aAction);
  LRESULT ActionComplete(const TEngineAction& aAction);
  void SetStatusText(LPCWSTR aText);

  bool iAborted;
  bool iComplete;
  int iResult;
  LPCWSTR iTitle;  // not owned
};
