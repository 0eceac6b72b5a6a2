// The full-screen compose dialog: writes a new SMS, edits an Outbox or Sent
// message or reads an Inbox one; done saves it in the Outbox, Send also
// sends it and, when that succeeds, moves it to Sent.
#pragma once

#include <windbase.h>
#include <windows.h>

#include "app/document/kv_message_limits.h"
#include "app/framework/epoc_dialog.h"
#include "kernel/arrays.h"

#include <string>

class CKveContactsDatabase;
class MKvViewHost;
class CKveMessagesDatabase;
class CKveMessagesItem;

class CKvCreateNewMessage : public CEpocDialog {
 public:
  // aSlot holds the message being edited (null for a new one); a message
  // made here is put in it and belongs to the caller. Send goes through
  // aHost, behind its progress dialog.
  static CKvCreateNewMessage* NewL(CKveMessagesItem** aSlot, MKvViewHost& aHost);
  ~CKvCreateNewMessage() override;

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT Draw(const RECT& aRect) override;

 private:
  CKvCreateNewMessage(CKveMessagesItem** aSlot, MKvViewHost& aHost);
  void LoadContactsL();
  void LayOutText();
  void UpdateScrollBar();
  void UpdateCount();
  // A received or sent message as it was shown: its text, its recipient.
  bool IsTextUnchanged() const;
  bool IsRecipientUnchanged() const;
  // False when there is nothing to save.
  bool GetDialogResults();
  // False, with the reason shown, when the text needs more parts than a long
  // message can have: it is then neither saved nor sent.
  bool TextFitsOneLongMessage();
  void SaveItemInDatabase();
  void SendSmsMessage();
  HWND Item(int aId) const { return GetDlgItem(iWindow, aId); }

  CArrayFixFlat<CEOID>* iContactIds;  // owned
  CKveContactsDatabase* iContacts;
  CKveMessagesDatabase* iMessages;
  CKveMessagesItem** iSlot;
  MKvViewHost& iHost;
  bool iKept = false;      // opened on an Inbox or Sent message
  bool iReceived = false;  // opened on an Inbox message
  std::u16string iShownText;  // as the boxes first showed them
  std::u16string iShownRecipient;
};
