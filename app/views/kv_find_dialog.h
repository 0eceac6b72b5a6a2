// Entry ▸ Find…: a search box over the messages of every folder, the
// messages found below it as rows (who, the text around the match, the
// date), newest first, searched again as the user types; a double tap opens
// a message in the reader. Any view shows it with KvShowFindDialogL.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <commctrl.h>
#include <windbase.h>
#include <windows.h>

#include "app/framework/epoc_dialog.h"
#include "app/views/kv_find_searcher.h"

class CKveMessagesDatabase;
class MKvViewHost;

class CKvFindDialog : public CEpocDialog {
 public:
  static CKvFindDialog* NewL(MKvViewHost& aHost);
  ~CKvFindDialog() override;

  void InitDialogL() override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleEventDefault(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  explicit CKvFindDialog(MKvViewHost& aHost);
  // What a row shows, read from its message when first painted.
  struct TFoundRow {
    std::u16string iWho;
    std::u16string iText;
    std::u16string iDate;
  };

  void AddColumns();
  // The typed text changed: searched once the typing pauses.
  void QueryChanged();
  // The first rows of the text in the box, in place of those shown.
  void SearchL();
  // The next rows of the same search, below those shown.
  void ReadMoreL();
  // Asks for the page of rows stored before aBefore (0: the first).
  void AskL(CEOID aBefore);
  // A page found: below the rows shown when it is of the query shown.
  void ShowResultL(TKvFindResult& aResult);
  void EndFind(int aResult);
  void ShowStatus();
  const TFoundRow& RowL(int aRow);
  void AnswerRowL(NMLVDISPINFOW& aInfo);
  void OpenRowL(int aRow);
  std::u16string QueryText() const;
  HWND Item(int aId) const { return GetDlgItem(iWindow, aId); }

  MKvViewHost& iHost;
  CKveMessagesDatabase* iMessages;  // the document's
  std::u16string iQuery;            // of the rows shown
  std::u16string iProblem;          // why the typed text is not searched for
  std::vector<CEOID> iFound;        // newest first
  bool iMayHaveMore = false;        // the last page read was full
  bool iMorePosted = false;
  bool iSearchWaiting = false;      // for the typing to pause
  bool iSearching = false;          // a page asked for and not yet found
  int iTicket = 0;                  // of the query shown: a page of an older one is dropped
  std::unique_ptr<CKvFindSearcher> iSearcher;  // null: searched on this thread
  int iError = 0;                   // of the last search; 0 when it worked
  std::unordered_map<CEOID, TFoundRow> iRows;  // the rows painted lately
};

// Runs the Find dialog over aParent; its result.
int KvShowFindDialogL(HWND aParent, MKvViewHost& aHost);
