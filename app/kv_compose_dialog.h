// The full-screen compose dialog: writes a new SMS, edits an Outbox or Sent
// message or reads an Inbox one; done saves it in the Outbox, Send also
// sends it and, when that succeeds, moves it to Sent.
#pragma once

#include <windbase.h>
#include <windows.h>

#include "app/epoc_dialog.h"
#include "kernel/arrays.h"

// The longest message text: whatever is typed still fits the 255 parts a
// long message can have, even in UCS2 (67 code units a part).
inline constexpr int KKvMaxMessageText = 255 * 67;

class CKveContactsDatabase;
class CKveMessagesDatabase;
class CKveMessagesItem;

class CKvCreateNewMessage : public CEpocDialog {
 public:
  // aSlot holds the message being edited (null for a new one); a message
  // made here is put in it and belongs to the caller.
  static CKvCreateNewMessage* NewL(CKveMessagesItem** aSlot);
  ~CKvCreateNewMessage() override;

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT Draw(const RECT& aRect) override;

 private:
  explicit CKvCreateNewMessage(CKveMessagesItem** aSlot);
  void LoadContactsL();
  void LayOutText();
  void UpdateScrollBar();
  void UpdateCount();
  // False when there is nothing to save.
  bool GetDialogResults();
  void SaveItemInDatabase();
  void SendSmsMessage();
  HWND Item(int aId) const { return GetDlgItem(iWindow, aId); }

  CArrayFixFlat<CEOID>* iContactIds;  // owned
  CKveContactsDatabase* iContacts;
  CKveMessagesDatabase* iMessages;
  CKveMessagesItem** iSlot;
};
