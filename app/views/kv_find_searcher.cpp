#include "app/views/kv_find_searcher.h"

#include <utility>

#include "kernel/log.h"
#include "store/messages.h"

CKvFindSearcher::CKvFindSearcher(CKveMessagesDatabase& aStore, HWND aWindow, UINT aDoneMessage)
    : iStore(aStore), iWindow(aWindow), iDoneMessage(aDoneMessage) {
  InitializeCriticalSection(&iLock);
}

CKvFindSearcher* CKvFindSearcher::NewL(CKveMessagesDatabase& aStore, HWND aWindow, UINT aDoneMessage) {
  CKvFindSearcher* self = new CKvFindSearcher(aStore, aWindow, aDoneMessage);
  if (self != nullptr && !self->ConstructL())
    LogMessageWithError(KLogFilePath, u"CKvFindSearcher::NewL - no search thread");
  return self;
}

bool CKvFindSearcher::ConstructL() {
  iWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (iWake == nullptr) return false;
  iThread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return iThread != nullptr;
}

CKvFindSearcher::~CKvFindSearcher() {
  if (iThread != nullptr) {
    EnterCriticalSection(&iLock);
    iQuit = true;
    LeaveCriticalSection(&iLock);
    SetEvent(iWake);
    WaitForSingleObject(iThread, INFINITE);
    CloseHandle(iThread);
  }
  if (iWake != nullptr) CloseHandle(iWake);
  DeleteCriticalSection(&iLock);
}

void CKvFindSearcher::Search(const std::u16string& aQuery, CEOID aBefore, int aLimit, int aTicket) {
  EnterCriticalSection(&iLock);
  iRequest = TRequest{aQuery, aBefore, aLimit, aTicket};
  iAsked = true;
  LeaveCriticalSection(&iLock);
  SetEvent(iWake);
}

bool CKvFindSearcher::TakeResult(TKvFindResult& aResult) {
  EnterCriticalSection(&iLock);
  bool done = iDone;
  if (done) aResult = std::move(iResult);
  iDone = false;
  LeaveCriticalSection(&iLock);
  return done;
}

DWORD WINAPI CKvFindSearcher::ThreadMain(LPVOID aSearcher) {
  static_cast<CKvFindSearcher*>(aSearcher)->RunL();
  return 0;
}

void CKvFindSearcher::RunL() {
  for (;;) {
    WaitForSingleObject(iWake, INFINITE);
    EnterCriticalSection(&iLock);
    bool quit = iQuit;
    bool asked = iAsked;
    TRequest request = std::move(iRequest);
    iAsked = false;
    LeaveCriticalSection(&iLock);
    if (quit) return;
    if (!asked) continue;
    TKvFindResult result;
    result.iTicket = request.iTicket;
    result.iBefore = request.iBefore;
    if (!iStore.SearchL(request.iQuery, request.iBefore, request.iLimit, result.iFound)) {
      result.iError = GetLastError();
      if (result.iError == 0) result.iError = ERROR_GEN_FAILURE;
    }
    EnterCriticalSection(&iLock);
    iResult = std::move(result);
    iDone = true;
    quit = iQuit;
    LeaveCriticalSection(&iLock);
    // The window goes only after this thread has ended (the destructor waits).
    if (!quit) PostMessageW(iWindow, iDoneMessage, 0, 0);
  }
}
