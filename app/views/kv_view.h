// A view: one folder of the program with its own top-level window, menu bar
// and entry menu. The shared commands, gestures and window events live
// here; each kind of view supplies its contents.
#pragma once

#include <aygshell.h>
#include <commctrl.h>
#include <windbase.h>
#include <windows.h>

#include "app/framework/epoc_control.h"
#include "app/views/kv_view_host.h"

class CEpocListControl;
class CKvView;

// What the table of views (kv_view_table.h) says of one view.
struct TKvViewRow {
  int iType;       // its TKvViewType
  LPCWSTR iTitle;  // its folder in the tree, and the title button's text
  int iCommand;    // the View menu's command that brings it to the front
  int iMenu;       // its menu and menu bar
  CKvView* (*iNewL)(const TKvViewRow& aRow, MKvViewHost& aHost);
};

class CKvView : public CEpocControl {
 public:
  // The view of a row of the table.
  static CKvView* NewL(const TKvViewRow& aRow, MKvViewHost& aHost);

  LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT Draw(const RECT& aRect) override;

  virtual void DoInitialiseViewL() = 0;
  virtual bool IsOfType(CEOID aDatabaseId) = 0;
  virtual void UpdateViewL(const CENOTIFICATION& aNotification) = 0;
  virtual CEpocListControl* GetCurrentListBox() = 0;
  virtual int DeleteEntryL(CEOID aIdentifier) = 0;
  virtual int EditEntryL(CEOID aIdentifier) = 0;
  virtual int SendEntryL(CEOID aIdentifier) = 0;
  virtual int NewEntryL() = 0;
  virtual void UpdateMenuL(HMENU aMenu) = 0;
  int MenuResourceId() const { return iMenu; }

  void SetAsCurrentViewL();
  int HandlePopUpMenuCommand(int aCommand, int aIndex);
  void LaunchContextMenu(int aX, int aY);

  LPCWSTR Title() const { return iTitle; }
  // The caller keeps the text alive as long as the view.
  void SetTitle(LPCWSTR aTitle) { iTitle = aTitle; }
  int Type() const { return iType; }
  bool IsInitialised() const { return iInitialised; }
  HTREEITEM TreeItem() const { return iTreeItem; }
  void SetTreeItem(HTREEITEM aItem) { iTreeItem = aItem; }

 protected:
  CKvView(const TKvViewRow& aRow, MKvViewHost& aHost);
  void InitialiseViewL();
  void DeleteSelection();
  // The entry menu's items all enabled for one selected row, all but
  // Delete greyed for more.
  void EnableEntryMenu(HMENU aPopUp);
  // "Listen for messages" checked while the phone is listened to.
  void UpdatePhoneMenu(HMENU aPopUp);

  LPCWSTR iTitle;
  int iType;
  int iMenu;
  MKvViewHost& iHost;
  bool iInitialised;
  HTREEITEM iTreeItem;
  SHACTIVATEINFO iActivateInfo;
};
