// The CLI's stand-in for the progress dialog: a plain window (no screen)
// owned by the main thread. It receives the engine's notices, answers each
// progress notice (the user's cancel travels back in the answer), ends the
// engine on completion, and aborts as the dialog's Cancel button does.
#pragma once

#include <functional>
#include <string>

#include <windbase.h>
#include <windows.h>

#include "app/document/app_engine.h"
#include "app/document/kv_engine_notices.h"
#include "tools/cli/progress_printer.h"

namespace kvcli {

class TProgressWindow : private MKvEngineObserver {
 public:
  TProgressWindow(CKvAppEngine& aEngine, TProgressPrinter& aPrinter);
  ~TProgressWindow();  // wipes the PIN
  TProgressWindow(const TProgressWindow&) = delete;
  TProgressWindow& operator=(const TProgressWindow&) = delete;

  HWND Handle() const { return iWindow; }
  // Called with the record of each message a listening engine stored.
  void SetStoredHandler(std::function<void(CEOID)> aHandler) { iOnStored = std::move(aHandler); }
  // The SIM's PIN, given once when the SIM asks; empty: none, and the user
  // is told how to give one. A PIN the SIM refused is not given again.
  void SetPin(const std::string& aPin) { iPin = aPin; }
  // Answers a USSD menu (its text as the terminal may show it): true with
  // the answer, false to end the session.
  using TMenuHandler = std::function<bool(const std::string& aMenu, std::string& aAnswer)>;
  void SetUssdMenuHandler(TMenuHandler aHandler) { iOnMenu = std::move(aHandler); }
  // Called for each message of the listening engine's send queue, and for
  // each delivery report applied.
  void SetSentHandler(std::function<void(CEOID, bool)> aHandler) { iOnSent = std::move(aHandler); }
  void SetReportHandler(std::function<void(CEOID)> aHandler) { iOnReport = std::move(aHandler); }
  // Called when a listening engine ended the USSD session of its slot.
  void SetUssdAnsweredHandler(std::function<void()> aHandler) { iOnUssdAnswered = std::move(aHandler); }
  // Called each time a listening engine read the phone's status again.
  void SetStatusHandler(std::function<void(const TPhoneStatus&)> aHandler) { iOnStatus = std::move(aHandler); }
  // The Cancel button before completion: completes the action locally with
  // "Transfer aborted" (which also tells the engine to stop).
  void Abort();

  bool Complete() const { return iComplete; }
  bool Aborted() const { return iAborted; }
  int Result() const { return iResult; }
  const std::string& Text() const { return iText; }
  // The last USSD reply of the action, UTF-8 and not yet made printable.
  const std::string& UssdReply() const { return iUssdReply; }

 private:
  static LRESULT CALLBACK WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
  LRESULT ActionInProgressL(const TEngineAction& aAction) override;
  void ActionCompleteL(const TEngineAction& aAction) override;
  void MessageStoredL(CEOID aIdentifier, bool aWhole) override;
  bool SimPinRequestedL(TEngineAction& aAction) override;
  bool UssdMenuL(TEngineAction& aAction) override;
  void MessageSentL(CEOID aIdentifier, bool aSent) override;
  void DeliveryReportAppliedL(CEOID aIdentifier) override;
  void StatusUpdatedL(const TEngineAction& aAction) override;
  void UssdAnsweredL() override;

  CKvAppEngine& iEngine;
  TProgressPrinter& iPrinter;
  HWND iWindow = nullptr;
  bool iComplete = false;
  bool iAborted = false;
  int iResult = 0;
  std::string iText;
  std::string iUssdReply;
  std::function<void(CEOID)> iOnStored;
  std::string iPin;
  TMenuHandler iOnMenu;
  std::function<void(CEOID, bool)> iOnSent;
  std::function<void(CEOID)> iOnReport;
  std::function<void(const TPhoneStatus&)> iOnStatus;
  std::function<void()> iOnUssdAnswered;
};

}  // namespace kvcli
