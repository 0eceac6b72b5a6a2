// The application UI: the main frame, the folder views, the engine actions
// each behind a modal progress dialog, and the routing of store notices.
#pragma once

#include <commctrl.h>
#include <windbase.h>
#include <windows.h>

#include <functional>
#include <vector>

#include "app/epoc_control.h"

class CKvAppEngine;
class CKvDocument;
class CKvFrame;
class CKvListener;
class CKvNoticeBubble;
class CKvView;
class CKveMessagesItem;

class CKvAppUi : public CEpocAppUi {
 public:
  static CKvAppUi* NewL(CKvDocument* aDocument);
  ~CKvAppUi() override;

  // Start-up's last step on the window side: frame shown, the Inbox current.
  void ActivateL(int aShowCommand);

  CKvView* GetView(int aType) const;
  CKvView* ViewForTreeItem(HTREEITEM aItem) const;
  CKvView* CurrentView() const { return iCurrentView; }
  void SetCurrentView(CKvView* aView) { iCurrentView = aView; }
  CKvFrame* Frame() const { return iFrame; }
  CKvDocument* KvDocument() const;

  void UpdateViewsL(const CENOTIFICATION& aNotification);
  void HandleThreadMessage(const MSG& aMessage);

  int ComposeMessageL(HWND aWindow, CKveMessagesItem* aMessage);
  int SendSmsL(HWND aWindow, CKveMessagesItem* aMessage);
  int DownloadMessagesL(HWND aWindow);
  int DownloadContactsL(HWND aWindow);
  int UploadChangesL(HWND aWindow);
  int DeleteAllMessagesL(HWND aWindow);
  int DeleteAllContactsL(HWND aWindow);
  int SendAllMessagesL(HWND aWindow);

  int RunSettingsL(HWND aWindow);
  int RunAboutL(HWND aWindow);

  // Listening for messages. Start-up's step after the engine proxy: on
  // again when the user left it on.
  void StartListeningIfOnL();
  // "Listen for messages": switches it and keeps the choice in the settings.
  void ToggleListeningL();
  bool IsListening() const;
  // The listener's state changed: the menu bar shows it.
  void ListeningChanged();
  // The engine ended listening by itself (no phone): said on the screen.
  void ListeningEndedL(LPCWSTR aReason);
  // A message stored while listening: unread in the Inbox, and a notice.
  void MessageArrivedL(CEOID aIdentifier);
  // The user opened it, or it is gone.
  void MessageReadL(CEOID aIdentifier);
  int UnreadCount() const { return static_cast<int>(iUnread.size()); }
  CKvListener* Listener() const { return iListener; }
  CKvNoticeBubble* Notice() const { return iNotice; }

 private:
  explicit CKvAppUi(CKvDocument* aDocument);
  void ConstructL();
  // Runs an action behind its progress dialog when the proxy accepts it;
  // listening steps aside meanwhile, so that the action has the port.
  int RunActionL(HWND aWindow, const std::function<int(CKvAppEngine&)>& aSetter, LPCWSTR aTitle);
  // "Inbox", or "Inbox (n)" with n unread.
  void UpdateInboxTitle();

  CKvView* iCurrentView;  // not owned
  CKvView* iInbox;
  CKvView* iOutbox;
  CKvView* iSent;
  CKvView* iContacts;
  CKvFrame* iFrame;
  CKvListener* iListener;
  CKvNoticeBubble* iNotice;
  // Messages that arrived while listening and were not opened yet.
  std::vector<CEOID> iUnread;
  WCHAR iInboxTitle[32];
};
