// The contacts: the local copy of the phone books in three tabs (every
// contact, those in the phone's memory, those on the SIM), each a sorted
// list box over a tab strip at the bottom of the view. The list boxes keep
// their lines themselves (owner data), so a phone book of thousands opens
// without adding its rows to the system's lists one by one.
#pragma once

#include <commctrl.h>
#include <windbase.h>
#include <windows.h>

#include "app/views/kv_view.h"
#include "kernel/arrays.h"

class CEpocListBox;
class CKveContactsDatabase;
class CKveContactsItem;

class CKvContactsView : public CKvView {
 public:
  // Tabs, left to right.
  enum TTab { ETabAll = 0, ETabPhone = 1, ETabSim = 2 };

  static CKvContactsView* NewL(const TKvViewRow& aRow, MKvViewHost& aHost);
  ~CKvContactsView() override;

  LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  void DoMakeVisible(bool aFlag) override;
  void SizeChangedL() override;
  int CountComponentControls() const override { return iComponents.Count(); }
  CEpocControl* ComponentControl(int aIndex) const override { return iComponents[aIndex]; }

  void DoInitialiseViewL() override;
  bool IsOfType(CEOID aDatabaseId) override;
  void UpdateViewL(const CENOTIFICATION& aNotification) override;
  CEpocListControl* GetCurrentListBox() override;
  int DeleteEntryL(CEOID aIdentifier) override;
  int EditEntryL(CEOID aIdentifier) override;
  int SendEntryL(CEOID aIdentifier) override;
  int NewEntryL() override;
  void UpdateMenuL(HMENU aMenu) override;

  void InsertL(CKveContactsItem& aContact);
  void ReplaceL(CKveContactsItem& aContact);
  void Delete(CEOID aIdentifier);

  // What the contact editor fills in; reused for every new or edited contact.
  CKveContactsItem* EditRecord() const { return iEditRecord; }
  HWND TabControl() const { return iTabControl; }
  CEpocListBox* AllList() const { return iAllList; }
  CEpocListBox* PhoneList() const { return iPhoneList; }
  CEpocListBox* SimList() const { return iSimList; }

 private:
  CKvContactsView(const TKvViewRow& aRow, MKvViewHost& aHost);
  void CreateTabControl();
  CEpocListBox* CreateList();
  // Adds (or replaces) the contact's row in each list it belongs to.
  void ShowRows(CKveContactsItem& aContact, bool aReplace);

  CArrayFixFlat<CEpocControl*> iComponents;  // all, SIM, phone
  HWND iTabControl;                          // goes with the view window
  CEpocListBox* iAllList;
  CEpocListBox* iSimList;
  CEpocListBox* iPhoneList;
  CKveContactsDatabase* iContacts;  // the document's
  CKveContactsItem* iEditRecord;    // owned
  CEOID iDatabaseOid;
};
