// The Find dialog's searches, on a thread of their own: a query of one or
// two characters looks at every message's text, and typing goes on meanwhile.
// One search runs at a time; a newer one asked for before it starts takes
// the place of the older. The window hears of each search done by a posted
// message and takes its result.
#pragma once

#include <string>
#include <vector>

#include <windbase.h>
#include <windows.h>

class CKveMessagesDatabase;

struct TKvFindResult {
  int iTicket = 0;     // as asked with
  CEOID iBefore = 0;   // as asked with: 0 for the first page
  DWORD iError = 0;    // 0 when the search worked
  std::vector<CEOID> iFound;
};

class CKvFindSearcher {
 public:
  // aStore is only searched (its other state is the window thread's).
  static CKvFindSearcher* NewL(CKveMessagesDatabase& aStore, HWND aWindow, UINT aDoneMessage);
  // Waits for a search under way, then ends the thread.
  ~CKvFindSearcher();
  CKvFindSearcher(const CKvFindSearcher&) = delete;
  CKvFindSearcher& operator=(const CKvFindSearcher&) = delete;

  bool IsRunning() const { return iThread != nullptr; }
  // Asks for up to aLimit messages holding aQuery stored before aBefore.
  void Search(const std::u16string& aQuery, CEOID aBefore, int aLimit, int aTicket);
  // The last search done; false when none is waiting.
  bool TakeResult(TKvFindResult& aResult);

 private:
  CKvFindSearcher(CKveMessagesDatabase& aStore, HWND aWindow, UINT aDoneMessage);
  bool ConstructL();
  static DWORD WINAPI ThreadMain(LPVOID aSearcher);
  void RunL();

  struct TRequest {
    std::u16string iQuery;
    CEOID iBefore = 0;
    int iLimit = 0;
    int iTicket = 0;
  };

  CKveMessagesDatabase& iStore;
  HWND iWindow;
  UINT iDoneMessage;
  HANDLE iThread = nullptr;
  HANDLE iWake = nullptr;  // auto-reset: a request, or the end
  CRITICAL_SECTION iLock;
  // Under iLock:
  bool iQuit = false;
  bool iAsked = false;
  TRequest iRequest;
  bool iDone = false;
  TKvFindResult iResult;
};
