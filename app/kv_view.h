// A view: one folder of the program with its own top-level window, menu bar
// and entry menu. The shared commands, gestures and window events live
// here; each kind of view supplies its contents.
#pragma once

#include <aygshell.h>
#include <commctrl.h>
#include <windbase.h>
#include <windows.h>

#include "app/epoc_control.h"

class CKvAppUi;
class CEpocListControl;

enum TKvViewType {
  EKvViewInbox = 0,
  EKvViewOutbox = 1,
  EKvViewSent = 2,
  EKvViewContacts = 3,
};

class CKvView : public CEpocControl {
 public:
  // The view of the type (null for an unknown type or one not built).
  static CKvView* NewL(int aType, CKvAppUi* aAppUi);

  LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT Draw(const RECT& aRect) override;

  virtual void DoInitialiseViewL() = 0;
  virtual bool IsOfType(CEOID aDatabaseId) = 0;
  virtual void UpdateViewL(const CENOTIFICATION& aNotification) = 0;
  virtual int MenuResourceId() const = 0;
  virtual CEpocListControl* GetCurrentListBox() = 0;
  virtual int DeleteEntryL(CEOID aIdentifier) = 0;
  virtual int EditEntryL(CEOID aIdentifier) = 0;
  virtual int SendEntryL(CEOID aIdentifier) = 0;
  virtual int NewEntryL() = 0;
  virtual void UpdateMenuL(HMENU aMenu) = 0;
  virtual CKvAppUi* AppUi() const { return iAppUi; }

  void SetAsCurrentViewL();
  int HandlePopUpMenuCommand(int aCommand, int aIndex);
  void LaunchContextMenu(int aX, int aY);

  LPCWSTR Title() const { return iTitle; }
  // The caller keeps the text alive as long as the view.
  void SetTitle(LPCWSTR aTitle) { iTitle = aTitle; }
  int Type() const { return iType; }
  bool IsInitialised() const { return iInitialised; }
  HTREEITEM TreeItem() const { return iTreeItem; }

 protected:
  CKvView(LPCWSTR aTitle, int aType, CKvAppUi* aAppUi);
  void InitialiseViewL();
  void DeleteSelection();
  // The entry menu's items all enabled for one selected row, all but
  // Delete greyed for more.
  void EnableEntryMenu(HMENU aPopUp);
  // "Listen for messages" checked while the phone is listened to.
  void UpdatePhoneMenu(HMENU aPopUp);

  LPCWSTR iTitle;
  int iType;
  CKvAppUi* iAppUi;
  bool iInitialised;
  HTREEITEM iTreeItem;
  SHACTIVATEINFO iActivateInfo;
};
