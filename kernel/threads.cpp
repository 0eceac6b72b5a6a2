#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#include "kernel/active.h"
#include "kernel/hwndmap.h"
#include "kernel/log.h"
#include "kernel/requests.h"

namespace {

DWORD gTlsIndex = TLS_OUT_OF_INDEXES;
CHWndMap* gWindowMap = nullptr;

// Baggage of threads started by CreateEpocThread is never released: such a
// thread ends from deep inside its waits. It stays listed here, so it is
// kept rather than lost.
std::mutex gKeptBaggageLock;
std::vector<TThreadBaggage*>* gKeptBaggage = nullptr;

void KeepBaggage(TThreadBaggage* aBaggage) {
  std::lock_guard<std::mutex> lock(gKeptBaggageLock);
  if (!gKeptBaggage) gKeptBaggage = new (std::nothrow) std::vector<TThreadBaggage*>;
  if (gKeptBaggage) gKeptBaggage->push_back(aBaggage);
}

CEventBank* Bank() {
  TThreadBaggage* baggage = ThreadBaggage();
  return baggage ? baggage->iEventBank : nullptr;
}

// Lives on the creator's stack until the new thread has read it.
struct TThreadStart {
  LPVOID iArgument;
  HANDLE iStartEvent;
  LPTHREAD_START_ROUTINE iFunction;
  bool iEpocThread;
};

DWORD ThreadTrampoline(LPVOID aStart) {
  const TThreadStart* start = static_cast<const TThreadStart*>(aStart);
  LPTHREAD_START_ROUTINE function = start->iFunction;
  LPVOID argument = start->iArgument;
  bool epocThread = start->iEpocThread;
  MSG message;
  PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
  SetEvent(start->iStartEvent);  // the block is gone after this
  if (epocThread) {
    int result = CreateThreadBaggage();
    if (result != 0) return static_cast<DWORD>(result);
    KeepBaggage(ThreadBaggage());
  }
  return function(argument);
}

HANDLE StartThread(LPTHREAD_START_ROUTINE aFunction, LPVOID aArgument, LPDWORD aThreadId, bool aEpocThread) {
  HANDLE started = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!started) return nullptr;
  TThreadStart start = {aArgument, started, aFunction, aEpocThread};
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, ThreadTrampoline, &start, 0, aThreadId ? aThreadId : &threadId);
  if (thread) WaitForSingleObject(started, INFINITE);
  CloseHandle(started);
  return thread;
}

}  // namespace

TThreadBaggage* ThreadBaggage() {
  if (gTlsIndex == TLS_OUT_OF_INDEXES) return nullptr;
  return static_cast<TThreadBaggage*>(TlsGetValue(gTlsIndex));
}

// ---- requests --------------------------------------------------------------------

namespace User {

void RequestComplete(TCompletionStatus*& aStatus, int aReason) {
  TThreadBaggage* baggage = ThreadBaggage();
  HANDLE event = baggage ? baggage->iRequestEvent : nullptr;
  LogMessage(KLogFilePath, u"User::RequestComplete Setting event 0x%1!x!, status = 0x%2!x!, reason = %3!d!", event,
             aStatus, aReason);
  if (aStatus) *aStatus = aReason;
  aStatus = nullptr;
  if (!EventModify(event, EVENT_SET)) {
    LogMessage(KLogFilePath, u"User::RequestComplete SetEvent failed %1!d!", GetLastError());
    ErrorBox(u"User::RequestComplete", u"Failed to set event %d", GetLastError());
  }
}

HANDLE WaitForAnyRequest() {
  CEventBank* bank = Bank();
  return bank ? bank->WaitForAnyRequest() : nullptr;
}

void WaitForRequest(TCompletionStatus& aStatus) {
  TCompletionStatus pending(KCompletionPending);
  WaitForRequest(aStatus, pending);
}

void WaitForRequest(TCompletionStatus& aStatus1, TCompletionStatus& aStatus2) {
  if (CEventBank* bank = Bank()) bank->WaitForRequest(aStatus1, aStatus2);
}

HANDLE AllocateEvent() {
  CEventBank* bank = Bank();
  return bank ? bank->AllocateEvent() : nullptr;
}

void ReleaseEvent(HANDLE aEvent) {
  if (CEventBank* bank = Bank()) bank->ReleaseEvent(aEvent);
}

void SetWindowEventHandler(const TWindowEventHandler& aHandler) {
  if (CEventBank* bank = Bank()) bank->SetWindowEventHandler(aHandler);
}

void Delay(int aMicroseconds) { Sleep(aMicroseconds > 0 ? static_cast<DWORD>(aMicroseconds / 1000) : 0); }

}  // namespace User

// ---- threads and the process ----------------------------------------------------------

int CreateThreadBaggage() {
  if (ThreadBaggage()) return 0;  // already made for this thread
  TThreadBaggage* baggage = static_cast<TThreadBaggage*>(std::calloc(1, sizeof(TThreadBaggage)));
  if (!baggage) {
    ErrorBox(u"CreateThreadBaggage", u"No memory");
    return KErrNoMemory;
  }
  if (gTlsIndex == TLS_OUT_OF_INDEXES || !TlsSetValue(gTlsIndex, baggage)) {
    ErrorBox(u"CreateThreadBaggage", u"Failed to set tls %d", GetLastError());
    std::free(baggage);
    return KErrGeneral;
  }
  baggage->iEventBank = new CEventBank;
  if (!baggage->iEventBank) {
    ErrorBox(u"CreateThreadBaggage", u"Failed to create the eventbank %d", GetLastError());
    return KErrGeneral;
  }
  baggage->iRequestEvent = baggage->iEventBank->AllocateEvent();
  return 0;
}

void ReleaseThreadBaggage() {
  TThreadBaggage* baggage = ThreadBaggage();
  if (!baggage) return;
  delete baggage->iScheduler;  // clears its own entry in the baggage
  baggage->iScheduler = nullptr;
  if (baggage->iEventBank) {
    baggage->iEventBank->ReleaseEvent(baggage->iRequestEvent);
    delete baggage->iEventBank;
  }
  if (!TlsSetValue(gTlsIndex, nullptr)) ErrorBox(u"ReleaseThreadBaggage", u"Failed to NULL tls");
  std::free(baggage);
}

int EpocInitGlobals() {
  SetLogging(0);
  gTlsIndex = TlsCall(TLS_FUNCALLOC, 0);
  if (gTlsIndex == TLS_OUT_OF_INDEXES) {
    ErrorBox(u"EpocInitGlobals", u"Failed to allocation Tls");
    return KErrGeneral;
  }
  gWindowMap = CHWndMap::NewL();
  if (!gWindowMap) {
    ErrorBox(u"EpocInitGlobals", u"No memory");
    return KErrNoMemory;
  }
  return CreateThreadBaggage();
}

void EpocReleaseGlobals() {
  ReleaseThreadBaggage();
  delete gWindowMap;
  gWindowMap = nullptr;
  if (gTlsIndex != TLS_OUT_OF_INDEXES) {
    if (!TlsCall(TLS_FUNCFREE, gTlsIndex)) ErrorBox(u"EpocReleaseGlobals", u"Failed to free tls");
    gTlsIndex = TLS_OUT_OF_INDEXES;
  }
}

CHWndMap* EpocWindowMap() { return gWindowMap; }

HANDLE CreateEpocThread(LPTHREAD_START_ROUTINE aFunction, LPVOID aArgument, LPDWORD aThreadId) {
  return StartThread(aFunction, aArgument, aThreadId, true);
}

HANDLE CreateNativeThread(LPTHREAD_START_ROUTINE aFunction, LPVOID aArgument, LPDWORD aThreadId) {
  return StartThread(aFunction, aArgument, aThreadId, false);
}
