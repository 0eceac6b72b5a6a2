#include "kernel/eventbank.h"

#include "kernel/log.h"

CEventBank::CEventBank() : iEvents(), iInUse(), iCreatedCount(0), iInUseCount(0), iOwedSignals(0), iWindowEventHandler() {
  SetClassName(u"CEventBank");
}

CEventBank::~CEventBank() {
  for (int i = 0; i < iCreatedCount; ++i) CloseHandle(iEvents[i]);
}

HANDLE CEventBank::AllocateEvent() {
  if (iCreatedCount >= KMaxEvents) {
    ErrorBox(u"CEventBank", u"Max number of events exceeded");
    return nullptr;
  }
  if (iCreatedCount < iInUseCount) {
    ErrorBox(u"CEventBank", u"More elements in use than have been created");
    return nullptr;
  }
  if (iCreatedCount == iInUseCount) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event) {
      ErrorBox(u"CEventBank", u"Failed to create event");
      return nullptr;
    }
    iEvents[iCreatedCount] = event;
    iInUse[iCreatedCount] = 1;
    ++iCreatedCount;
    ++iInUseCount;
    return event;
  }
  for (int i = 0; i < iCreatedCount; ++i) {
    if (!iInUse[i]) {
      iInUse[i] = 1;
      ++iInUseCount;
      return iEvents[i];
    }
  }
  ErrorBox(u"CEventBank", u"All events in use");
  return nullptr;
}

void CEventBank::ReleaseEvent(HANDLE aEvent) {
  if (!aEvent) return;
  int index = 0;
  while (index < iCreatedCount && iEvents[index] != aEvent) ++index;
  if (index == iCreatedCount) {
    ErrorBox(u"CEventBank", u"Event not found");
    return;
  }
  if (!iInUse[index]) ErrorBox(u"CEventBank", u"Releasing a free event");
  if (iInUseCount <= 0) ErrorBox(u"CEventBank", u"NumEventsInUse negative");
  iInUse[index] = 0;
  --iInUseCount;
}

HANDLE CEventBank::WaitForAnyRequest() {
  if (iOwedSignals > 0) {
    --iOwedSignals;
    return iEvents[0];
  }
  const DWORD count = static_cast<DWORD>(iCreatedCount);
  for (;;) {
    DWORD result = MsgWaitForMultipleObjectsEx(count, iEvents, INFINITE,
                                               QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER |
                                                   QS_PAINT,
                                               0);
    if (result < WAIT_OBJECT_0 + count) return iEvents[result - WAIT_OBJECT_0];
    if (result == WAIT_OBJECT_0 + count) {
      if (iWindowEventHandler.iFunction)
        iWindowEventHandler.iFunction(iWindowEventHandler.iArgument);
      else
        HandleWindowEvents();
      continue;
    }
    if (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count) {
      ErrorBox(u"CEventBank::WaitForAnyRequest", u"Wait Abandoned");
      return nullptr;
    }
    if (result == WAIT_TIMEOUT) {
      ErrorBox(u"CEventBank::WaitForAnyRequest", u"WaitTimeOut");
      return nullptr;
    }
    if (result == WAIT_FAILED) {
      LogMessage(KLogFilePath, u"CEventBank::WaitForAnyRequest ErrorCode return value %1!d!", GetLastError());
      return nullptr;
    }
    LogMessage(KLogFilePath, u"CEventBank::WaitForAnyRequest Unexpected return value %1!d!", result);
    return nullptr;
  }
}

void CEventBank::WaitForRequest(TCompletionStatus& aStatus1, TCompletionStatus& aStatus2) {
  auto completed = [&] { return aStatus1.Int() != KCompletionPending || aStatus2.Int() != KCompletionPending; };
  if (completed() && iOwedSignals > 0) {
    --iOwedSignals;
    return;
  }
  for (;;) {
    DWORD result = WaitForSingleObject(iEvents[0], INFINITE);
    if (result == WAIT_OBJECT_0) {
      if (completed()) return;
      ++iOwedSignals;  // the signal belonged to another request
      continue;
    }
    if (result == WAIT_ABANDONED) {
      ErrorBox(u"CEventBank::WaitForRequest", u"Wait Abandoned");
    } else if (result == WAIT_TIMEOUT) {
      ErrorBox(u"CEventBank::WaitForRequest", u"WaitTimeOut");
    } else {
      ErrorBox(u"CEventBank::WaitForRequest", u"ErrorCode return value %d", GetLastError());
    }
    return;
  }
}

void HandleWindowEvents() {
  LogMessage(KLogFilePath, u"HandleWindowEvents - Windows events in Epoc code");
  ErrorBox(u"HandleWindowEvents", u"Windows events in Epoc code");
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
