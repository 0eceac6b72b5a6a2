// The application UI: the main frame, the folder views, the engine actions
// each behind a modal progress dialog, and the routing of store notices.
#pragma once

#include <commctrl.h>
#include <windbase.h>
#include <windows.h>

#include "app/epoc_control.h"

class CKvDocument;
class CKvFrame;
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

 private:
  explicit CKvAppUi(CKvDocument* aDocument);
  void ConstructL();
  // Runs the progress dialog for an action the proxy has accepted.
  int RunProgressL(HWND aWindow, int aSetterResult, LPCWSTR aTitle);

  CKvView* iCurrentView;  // not owned
  CKvView* iInbox;
  CKvView* iOutbox;
  CKvView* iSent;
  CKvView* iContacts;
  CKvFrame* iFrame;
};
