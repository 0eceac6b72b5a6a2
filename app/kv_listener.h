// Listening for messages in the windowed program. The engine's listening
// action reports to a hidden window of its own instead of a progress dialog,
// and steps aside whenever one of the user's actions needs the port.
#pragma once

#include <windows.h>

#include "app/epoc_control.h"

class CKvAppUi;
struct TEngineAction;

class CKvListener : public CEpocControl {
 public:
  static CKvListener* NewL(CKvAppUi* aAppUi);
  // Ends a running listening action; the setting stays as the user left it.
  ~CKvListener() override;

  // Starts the engine's listening action; nothing when it runs already or
  // the engine is busy (logged).
  void StartL();
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
  explicit CKvListener(CKvAppUi* aAppUi);
  void ConstructL();
  void EndListening();
  LRESULT ActionInProgress(const TEngineAction& aAction);
  void ActionComplete(const TEngineAction& aAction);

  CKvAppUi* iAppUi;
  bool iRunning;
  bool iPaused;
};
