// One message folder (Inbox, Outbox or Sent): a sorted list box in list
// mode, or a Name/Date list view over a reader pane in split mode. The list
// view holds no rows of its own: in the Name order its rows are the store's
// folder order, read by index when painted (CKvFolderRows), so a folder of
// 100,000 messages opens at once; the Date order keeps the folder's
// identifiers sorted in memory (CKvMessageRows), read once when first asked
// for. Each list is filled when first shown. The list box keeps its lines
// itself and the system's list only their count and selection, so the rows
// are never added to it one by one.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <commctrl.h>
#include <windbase.h>
#include <windows.h>

#include "app/views/kv_view.h"
#include "kernel/arrays.h"

class CEpocEditBox;
class CEpocListBox;
class CEpocListView;
class CKveMessagesDatabase;
class CKveMessagesItem;
struct TKvMessageLine;
class CKvFolderRows;
class CKvMessageRows;

class CKvMessagesView : public CKvView {
 public:
  // The view of one store folder (TKvFolder).
  static CKvMessagesView* NewL(const TKvViewRow& aRow, MKvViewHost& aHost, DWORD aFolder);
  ~CKvMessagesView() override;

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

  void LoadMessagesL();
  // The reader pane shows the list view's current row, or nothing.
  void UpdateEditBoxText();
  // The list view's sort order: column 0 by name then time, column 1 by
  // time then name; aView is the CKvMessagesView.
  static int CALLBACK CompareFunc(LPARAM aItem1, LPARAM aItem2, LPARAM aView);

  bool SplitMode() const { return iSplitMode; }
  CEpocListBox* ListBox() const { return iListBox; }
  CEpocListView* ListView() const { return iListView; }
  CEpocEditBox* Reader() const { return iReader; }
  CKvFolderRows* FolderRows() const { return iFolderRows; }

 private:
  CKvMessagesView(const TKvViewRow& aRow, MKvViewHost& aHost, DWORD aFolder);
  // Whether a record of the folder shows in this view.
  bool ShowsFolder(DWORD aFolder) const;
  // What a list view row shows, read from its record when painted.
  struct TShownRow {
    std::u16string iName;
    std::u16string iDate;
  };

  // The message in the reader pane; 0 clears it.
  void ShowInReaderL(CEOID aIdentifier);
  void AddRows(CKveMessagesItem& aMessage, bool aReplace);
  void AddListBoxRow(const TKvMessageLine& aLine, bool aReplace);
  void DeleteRows(CEOID aIdentifier);
  CKveMessagesItem* ReadMessageL(CEOID aIdentifier);
  void FillListBoxL();
  void LoadListViewL();
  // Rows of equal lines, given in the order stored, put in the store's order.
  void PutInStoreOrderL(std::vector<LPARAM>& aRows);
  const TShownRow& ShownRowL(CEOID aIdentifier);
  void AnswerRowL(NMLVDISPINFOW& aInfo);
  void CacheRowsL(int aFirst, int aLast);
  // An unread message's row in bold, in either list.
  LRESULT CustomDrawRow(const NMCUSTOMDRAW& aDraw);
  void SortRowsL(int aColumn);
  // The rows, from whichever of the two holds them.
  int RowCount();
  CEOID OidOfRow(int aRow);
  // Every row of the folder in memory, in the order shown, for the Date order.
  void LoadAllRowsL();
  // The list's count made the folder's again, once the view shows.
  void ResyncRowsL();

  CArrayFixFlat<CEpocControl*> iComponents;  // the list box only
  CKveMessagesDatabase* iMessages;          // the document's
  CEpocEditBox* iReader;
  CEpocListBox* iListBox;
  CEpocListView* iListView;  // owner data: rows from iFolderRows, or iRows once sorted by date
  CKvFolderRows* iFolderRows;
  CKvMessageRows* iRows;  // null until the Date order is asked for
  bool iRowsStale;        // changed while hidden: resynchronised when shown
  bool iListBoxFilled;
  bool iListViewLoaded;
  std::unordered_map<CEOID, TShownRow> iShown;  // the rows painted lately
  std::u16string iLineText;                     // the list box line being added, its memory kept
  bool iSplitMode;
  CEOID iDatabaseOid;
  DWORD iFolder;
  HFONT iBoldFont = nullptr;  // the lists' font in bold, made when first needed
  CEOID iReaderOid = 0;       // the message the reader pane shows
};
