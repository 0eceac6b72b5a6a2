// What a view asks of the program around it. The application UI is the one
// host; views know this interface only, so that they and the application UI
// do not include each other.
#pragma once

#include <windbase.h>
#include <windows.h>

#include <vector>

class CKvDocument;
class CKvFrame;
class CKvView;
class CKveMessagesItem;

class MKvViewHost {
 public:
  virtual CKvDocument* KvDocument() const = 0;
  virtual CKvFrame* Frame() const = 0;
  virtual CKvView* CurrentView() const = 0;
  virtual void SetCurrentView(CKvView* aView) = 0;
  // A View menu command: its view comes to the front. False for any other
  // command.
  virtual bool ShowViewForCommandL(int aCommand) = 0;

  // The message record a store notice being handled is about, read once for
  // every view and notice that asks (owned by the host; null when it cannot
  // be read).
  virtual CKveMessagesItem* NoticedMessageL(CEOID aIdentifier) = 0;

  // The user's actions; each runs behind its own dialog.
  virtual int ComposeMessageL(HWND aWindow, CKveMessagesItem* aMessage) = 0;
  virtual int SendSmsL(HWND aWindow, CKveMessagesItem* aMessage) = 0;
  virtual int DownloadMessagesL(HWND aWindow) = 0;
  virtual int DownloadContactsL(HWND aWindow) = 0;
  virtual int UploadChangesL(HWND aWindow) = 0;
  virtual int DeleteAllMessagesL(HWND aWindow) = 0;
  virtual int DeleteAllContactsL(HWND aWindow) = 0;
  virtual int SendAllMessagesL(HWND aWindow) = 0;
  virtual int RunSettingsL(HWND aWindow) = 0;
  virtual int RunAboutL(HWND aWindow) = 0;
  // Reads the phone's status and shows it.
  virtual int ShowPhoneStatusL(HWND aWindow) = 0;
  // Phone ▸ USSD…: asks for a code, sends it, answers menus, shows the reply.
  virtual int RunUssdL(HWND aWindow) = 0;

  virtual void ToggleListeningL() = 0;
  virtual bool IsListening() const = 0;
  // The user opened a message, or it is gone: no longer counted unread.
  virtual void MessageReadL(CEOID aIdentifier) = 0;
  // Messages the caller has just marked read in the store itself: no longer
  // counted unread, every list drawn again once.
  virtual void MessagesMarkedRead(const std::vector<CEOID>& aIdentifiers) = 0;
  // Not opened yet since it came in: shown in bold.
  virtual bool IsUnread(CEOID aIdentifier) const = 0;

 protected:
  ~MKvViewHost() = default;
};
