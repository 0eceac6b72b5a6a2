// The application UI: the main frame, the views made from the table of views,
// the engine actions each behind a modal progress dialog, listening, and the
// routing of store notices. It is the views', the frame's and the listener's
// host; none of them knows this class.
#pragma once

#include <commctrl.h>
#include <windbase.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

#include "app/framework/epoc_control.h"
#include "app/views/kv_frame.h"
#include "app/views/kv_listener.h"
#include "app/views/kv_view_host.h"

class CKvAppEngine;
class CKvDocument;
class CKvNoticeBubble;
class CKvView;
class CKveMessagesItem;

class CKvAppUi : public CEpocAppUi, public MKvViewHost, private MKvFrameHost, private MKvListenerObserver {
 public:
  static CKvAppUi* NewL(CKvDocument* aDocument);
  ~CKvAppUi() override;

  // Start-up's last step on the window side: frame shown, the Inbox current.
  void ActivateL(int aShowCommand);

  // The view of a TKvViewType; null for one not made.
  CKvView* GetView(int aType) const;
  CKvView* CurrentView() const override { return iCurrentView; }
  void SetCurrentView(CKvView* aView) override { iCurrentView = aView; }
  CKvFrame* Frame() const override { return iFrame; }
  CKvDocument* KvDocument() const override;
  bool ShowViewForCommandL(int aCommand) override;
  CKveMessagesItem* NoticedMessageL(CEOID aIdentifier) override;

  void HandleThreadMessage(const MSG& aMessage);

  int ComposeMessageL(HWND aWindow, CKveMessagesItem* aMessage) override;
  int SendSmsL(HWND aWindow, CKveMessagesItem* aMessage) override;
  int DownloadMessagesL(HWND aWindow) override;
  int DownloadContactsL(HWND aWindow) override;
  int UploadChangesL(HWND aWindow) override;
  int DeleteAllMessagesL(HWND aWindow) override;
  int DeleteAllContactsL(HWND aWindow) override;
  int SendAllMessagesL(HWND aWindow) override;
  int RunSettingsL(HWND aWindow) override;
  int ShowPhoneStatusL(HWND aWindow) override;
  int RunAboutL(HWND aWindow) override;
  int RunUssdL(HWND aWindow) override;

  // Listening for messages. Start-up's step after the engine proxy: on
  // again when the user left it on.
  void StartListeningIfOnL();
  // "Listen for messages": switches it and keeps the choice in the settings.
  void ToggleListeningL() override;
  bool IsListening() const override;
  // The user opened it, or it is gone.
  void MessageReadL(CEOID aIdentifier) override;
  void MessagesMarkedRead(const std::vector<CEOID>& aIdentifiers) override;
  int UnreadCount() const { return static_cast<int>(iUnread.size()); }
  bool IsUnread(CEOID aIdentifier) const override;
  CKvListener* Listener() const { return iListener; }
  CKvNoticeBubble* Notice() const { return iNotice; }

 private:
  explicit CKvAppUi(CKvDocument* aDocument);
  void ConstructL();
  // Runs an action behind its progress dialog when the proxy accepts it;
  // listening steps aside meanwhile, so that the action has the port.
  int RunActionL(HWND aWindow, const std::function<int(CKvAppEngine&)>& aSetter, LPCWSTR aTitle);
  // "Inbox", or "Inbox (n)" with n unread; the lists drawn again, so that
  // bold follows.
  void UnreadChanged();
  // The messages the store keeps as not opened yet, counted from start-up
  // on, so that a restart loses none.
  void LoadUnreadL();
  // A message written or rewritten: counted as the store now marks it.
  void FollowUnreadMarkL(CEOID aIdentifier);
  bool IsMessagesDatabase(CEOID aDatabase);
  void ShowUnopenedStoresL();

  // The frame's host.
  LPCWSTR CurrentTitle() const override;
  HTREEITEM CurrentFolder() const override;
  bool ShowFolderL(HTREEITEM aItem) override;
  void UpdateViewsL(const CENOTIFICATION& aNotification) override;

  // The listener's observer.
  void ListeningChanged() override;
  void ListeningEndedL(LPCWSTR aReason) override;
  // A message stored while listening: a notice (its store notice has
  // counted it unread already).
  void MessageArrivedL(CEOID aIdentifier) override;
  void MarkUnread(CEOID aIdentifier);
  // No longer counted unread here (read, or gone from the store).
  void ForgetUnread(CEOID aIdentifier);

  CKvView* iCurrentView;          // not owned
  std::vector<CKvView*> iViews;   // owned; a row of the table of views each
  CKvFrame* iFrame;
  CKvListener* iListener;
  CKvNoticeBubble* iNotice;
  // The message record the store notice being handled is about, read once
  // for all who ask; dropped at the next notice.
  std::unique_ptr<CKveMessagesItem> iNoticedMessage;
  // Received messages not opened yet, as the store marks them: looked up
  // for every row drawn, and thousands after a download.
  std::unordered_set<CEOID> iUnread;
  CEOID iMessagesOid = 0;  // the messages database, as its notices name it
  WCHAR iInboxTitle[32];
};
