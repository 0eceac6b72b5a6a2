// Requests and waiting on the calling thread's own baggage, and the set-up of
// threads and of the process.
#pragma once

#include <windows.h>

#include "kernel/completion.h"
#include "kernel/errors.h"
#include "kernel/eventbank.h"

class CActiveScheduler;
class CHWndMap;

// One per thread that runs active objects, held in the process's TLS slot.
struct TThreadBaggage {
  CActiveScheduler* iScheduler;  // owned; null until installed
  CEventBank* iEventBank;        // owned
  HANDLE iRequestEvent;          // the bank's first event
};

// The calling thread's baggage, or null.
TThreadBaggage* ThreadBaggage();

namespace User {

// Completes a request of an active object of the calling thread: stores the
// reason, clears the caller's status pointer and signals the request event.
void RequestComplete(TCompletionStatus*& aStatus, int aReason);
HANDLE WaitForAnyRequest();
void WaitForRequest(TCompletionStatus& aStatus);
void WaitForRequest(TCompletionStatus& aStatus1, TCompletionStatus& aStatus2);
HANDLE AllocateEvent();
void ReleaseEvent(HANDLE aEvent);
void SetWindowEventHandler(const TWindowEventHandler& aHandler);
// Sleeps for whole milliseconds: below 1000 microseconds is no delay.
void Delay(int aMicroseconds);

}  // namespace User

// The first thing the process does: logging off, the TLS slot, the window
// map and the calling thread's baggage. 0, -2 or -4.
int EpocInitGlobals();
// The last thing the process does.
void EpocReleaseGlobals();
// The process-wide window map (null outside EpocInitGlobals..EpocReleaseGlobals).
CHWndMap* EpocWindowMap();

int CreateThreadBaggage();
void ReleaseThreadBaggage();

// Start a thread running aFunction(aArgument) whose message queue exists
// before the call returns; an Epoc thread also has its baggage before the
// function runs. Null when no thread could be started.
HANDLE CreateEpocThread(LPTHREAD_START_ROUTINE aFunction, LPVOID aArgument, LPDWORD aThreadId);
HANDLE CreateNativeThread(LPTHREAD_START_ROUTINE aFunction, LPVOID aArgument, LPDWORD aThreadId);
