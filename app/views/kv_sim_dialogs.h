// The dialogs of the SIM's PIN and of USSD: the PIN masked, with the
// attempts left when the phone tells them; a USSD code, the network's reply,
// and the answer to a menu.
#pragma once

#include <windows.h>

#include <string>

#include "app/framework/epoc_dialog.h"

class CKvPinDialog : public CEpocDialog {
 public:
  // aAttemptsLeft < 0: the phone does not tell them.
  static CKvPinDialog* NewL(int aAttemptsLeft, bool aRefusedBefore, std::u16string& aPin);

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  CKvPinDialog(int aAttemptsLeft, bool aRefusedBefore, std::u16string& aPin);
  void ShowPrompt(const std::u16string& aProblem);

  int iAttemptsLeft;
  bool iRefusedBefore;
  std::u16string& iPin;  // the caller's; filled on OK
};

class CKvUssdDialog : public CEpocDialog {
 public:
  // aReply empty: asks for a code; otherwise shows the reply, and asks for
  // an answer when aMenu, else only shows it.
  static CKvUssdDialog* NewL(const std::u16string& aReply, bool aMenu, std::u16string& aAnswer);

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  CKvUssdDialog(const std::u16string& aReply, bool aMenu, std::u16string& aAnswer);

  std::u16string iReply;
  bool iMenu;
  std::u16string& iAnswer;
};

// The text of a PIN dialog's prompt: the attempts left and whether the last
// PIN was refused.
std::u16string KvPinPrompt(int aAttemptsLeft, bool aRefusedBefore);
