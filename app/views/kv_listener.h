// Listening for messages in the windowed program. The engine's listening
// action reports to a hidden window of its own instead of a progress dialog,
// and steps aside whenever one of the user's actions needs the port.
#pragma once

#include <windbase.h>
#include <windows.h>

#include "app/document/kv_engine_notices.h"
#include "app/framework/epoc_control.h"

// What the listener tells the program.
class MKvListenerObserver {
 public:
  // Listening started, stopped or stepped aside: the menu bar shows it.
  virtual void ListeningChanged() = 0;
  // The engine ended listening by itself (no phone), for aReason.
  virtual void ListeningEndedL(LPCWSTR aReason) = 0;
  // A message stored while listening is whole.
  virtual void MessageArrivedL(CEOID aIdentifier) = 0;

 protected:
  ~MKvListenerObserver() = default;
};

class CKvListener : public CEpocControl, private MKvEngineObserver {
 public:
  static CKvListener* NewL(MKvListenerObserver* aObserver);
  // Ends a running listening action; the setting stays as the user left it.
  ~CKvListener() override;

  // Starts the engine's listening action; nothing when it runs already or
  // the engine is busy (logged). aWaitForPhone: a phone not there at the
  // start is waited for instead of ending listening.
  void StartL(bool aWaitForPhone = false);
  // Ends it and waits until the engine has let go of the port.
  void Stop();
  // Around a user's action: stops listening, and starts it again afterwards
  // when it was running.
  void PauseL();
  void ResumeL();

  // The engine's listening action is ours, or stopped for the user's action.
  bool IsOn() const { return iRunning || iPaused; }

  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  explicit CKvListener(MKvListenerObserver* aObserver);
  void ConstructL();
  void EndListening();
  LRESULT ActionInProgressL(const TEngineAction& aAction) override;
  void ActionCompleteL(const TEngineAction& aAction) override;
  void MessageStoredL(CEOID aIdentifier, bool aWhole) override;

  MKvListenerObserver* iObserver;
  bool iRunning;
  bool iPaused;
};
