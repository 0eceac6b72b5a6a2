// The engine's notices as calls: the engine thread reports to a window by
// sending it messages whose parameters carry the action block and a record's
// identifier. Every consumer (the progress dialog, the listener, korvanet-cli)
// implements MKvEngineObserver, and its window procedure hands the messages to
// KvDispatchEngineNotice, the one place that reads those parameters.
#pragma once

#include <windbase.h>
#include <windows.h>

struct TEngineAction;

class MKvEngineObserver {
 public:
  // A step of the running action (its text in aAction.iText). The answer
  // goes back to the engine: 0 to go on, or the consumer's cancel code.
  virtual LRESULT ActionInProgressL(const TEngineAction& aAction) = 0;
  // The action ended with aAction.iResult and its completion text.
  virtual void ActionCompleteL(const TEngineAction& aAction) = 0;
  // A received message was stored in record aIdentifier: aWhole once every
  // part of it is in (always for a message in one piece).
  virtual void MessageStoredL(CEOID /*aIdentifier*/, bool /*aWhole*/) {}
  // A delivery report was written into the Sent record aIdentifier.
  virtual void DeliveryReportAppliedL(CEOID /*aIdentifier*/) {}
  // While listening: the phone's status was read again (aAction.iStatus).
  virtual void StatusUpdatedL(const TEngineAction& /*aAction*/) {}
  // The SIM wants its PIN (aAction.iPinAttemptsLeft, iPinRefusedBefore): true
  // with the PIN in aAction.iPin, or false when the user gives none.
  virtual bool SimPinRequestedL(TEngineAction& /*aAction*/) { return false; }
  // The network's reply aAction.iUssdReply is a menu: true with the answer in
  // aAction.iUssdAnswer, or false to end the session.
  virtual bool UssdMenuL(TEngineAction& /*aAction*/) { return false; }
  // A message of the listening engine's send queue was sent (aSent) or
  // refused by the phone.
  virtual void MessageSentL(CEOID /*aIdentifier*/, bool /*aSent*/) {}
  // While listening: the USSD session of the engine's slot ended.
  virtual void UssdAnsweredL() {}

 protected:
  ~MKvEngineObserver() = default;
};

// Calls aObserver for one of the engine's notices and gives its answer in
// aAnswer: true when the message was one; false (aAnswer untouched) for any
// other message, which the caller handles as before.
bool KvDispatchEngineNotice(MKvEngineObserver& aObserver, UINT aMessage, WPARAM aWParam, LPARAM aLParam,
                            LRESULT& aAnswer);
