// The engine proxy: the user interface thread's one handle on the engine
// thread. It records the one action the user asked for, posts it when the
// progress dialog is ready, and forgets the engine thread after each action.
#pragma once

#include <vector>

#include <windows.h>

#include "engine/engine_action.h"
#include "kernel/epocbase.h"

class CKveMessagesItem;

enum TKvAppEngineAction {
  EKvAppEngine_NoAction = 0,
  EKvAppEngine_SendNow = 1,
  EKvAppEngine_GetAllSmsFromPhone = 2,
  EKvAppEngine_DeleteAllSmsFromPhone = 3,
  EKvAppEngine_SendAllSmsFromOutbox = 4,
  EKvAppEngine_GetAllContactsFromPhone = 5,
  EKvAppEngine_UploadAllContactsToPhone = 6,
  EKvAppEngine_DeleteAllContactsFromPhone = 7,
  EKvAppEngine_Listen = 8,
  EKvAppEngine_ReadStatus = 9,
  EKvAppEngine_Ussd = 10,
};

// The interface; its own operations do nothing.
class CKvAppEngine : public CEpocBase {
 public:
  // Makes the proxy and starts the first engine thread.
  static CKvAppEngine* NewL();
  ~CKvAppEngine() override = default;

  virtual void ActionStart(HWND /*aWindow*/) {}
  virtual void ActionInProgress() {}
  virtual void ActionComplete(int /*aResult*/) {}
  // The setters record an action when the engine is idle: 0, or -2 when busy.
  virtual int SendNow(CKveMessagesItem* /*aMessage*/) { return 0; }
  virtual int GetAllSmsFromPhone() { return 0; }
  virtual int DeleteAllSmsFromPhone() { return 0; }
  virtual int SendAllSmsFromOutbox() { return 0; }
  // Ends the action on the engine side (also an abort): 0, or -2 when idle.
  virtual int ShutdownEngine() { return 0; }
  virtual int GetAllContactsFromPhone() { return 0; }
  virtual int GetUploadAllContactsToPhone() { return 0; }
  virtual int DeleteAllContactsFromPhoneL() { return 0; }
  // Listening until the action is ended; the window also receives
  // EKvMessageStored for each message stored.
  virtual int Listen(bool /*aDeleteAfterStore*/, bool /*aWaitForPhone*/ = false) { return 0; }
  // Reads the phone's status; the completed block's iStatus holds it.
  virtual int ReadStatus() { return 0; }
  // A USSD code; the window receives EKvUssdMenu for each menu.
  virtual int Ussd(const TDesc16& /*aCode*/) { return 0; }
  // Until the engine threads told to end have ended (their port is closed),
  // serving their notices meanwhile: false when the time ran out first.
  virtual bool WaitEnginesEnded(DWORD /*aTimeoutMs*/) { return true; }
  // Listening also sends what aQueue holds (the caller's; set before Listen,
  // kept until listening has ended); WakeToSend tells it the queue grew.
  virtual void SetSendQueue(TKvSendQueue* /*aQueue*/) {}
  virtual void WakeToSend() {}
  // Listening also runs the USSD sessions offered in aSlot (set before
  // Listen); WakeForUssd tells it one waits. EKvUssdAnswered tells the end.
  virtual void SetUssdSlot(TKvUssdSlot* /*aSlot*/) {}
  virtual void WakeForUssd() {}

 protected:
  CKvAppEngine() = default;
};

class CKvAppEngineImpl : public CKvAppEngine {
 public:
  CKvAppEngineImpl();
  ~CKvAppEngineImpl() override;

  void ActionStart(HWND aWindow) override;
  void ActionInProgress() override;
  void ActionComplete(int aResult) override;
  int SendNow(CKveMessagesItem* aMessage) override;
  int GetAllSmsFromPhone() override;
  int DeleteAllSmsFromPhone() override;
  int SendAllSmsFromOutbox() override;
  int ShutdownEngine() override;
  int GetAllContactsFromPhone() override;
  int GetUploadAllContactsToPhone() override;
  int DeleteAllContactsFromPhoneL() override;
  int Listen(bool aDeleteAfterStore, bool aWaitForPhone = false) override;
  int ReadStatus() override;
  int Ussd(const TDesc16& aCode) override;
  bool WaitEnginesEnded(DWORD aTimeoutMs) override;
  void SetSendQueue(TKvSendQueue* aQueue) override { iSendQueue = aQueue; }
  void WakeToSend() override;
  void SetUssdSlot(TKvUssdSlot* aSlot) override { iUssdSlot = aSlot; }
  void WakeForUssd() override;

  void InitialiseEngineThread();
  bool CheckEngineReady();

  int State() const { return iState; }
  DWORD EngineThreadId() const { return iThreadId; }
  const TEngineAction& Action() const { return iAction; }

 private:
  int SetAction(TKvAppEngineAction aAction);
  void PostToEngine(UINT aCommand);
  // Completes at once with a block of its own, when no action can start.
  void CompleteWithError(HWND aWindow, const TText16* aText);

  // Ends the threads told to end that have ended since.
  void ReapEndingThreads();

  // Apart from the proxy: an engine thread told to end may still be in the
  // middle of a phone exchange when the program ends, and writes its last
  // texts into this block.
  TEngineAction& iAction;
  // Engine threads told to end and not yet seen to end.
  std::vector<HANDLE> iEndingThreads;
  HANDLE iThread;
  DWORD iThreadId;
  int iState;
  TKvSendQueue* iSendQueue = nullptr;
  TKvUssdSlot* iUssdSlot = nullptr;
};
