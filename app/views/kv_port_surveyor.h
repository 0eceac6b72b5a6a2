// The settings dialog's port survey, on a thread of its own: each free port
// is asked "AT" and may take over a second to stay silent, and the window
// must answer meanwhile. The window hears of the end by a posted message and
// takes the reports; a surveyor destroyed first stops the survey, waits for
// its thread and posts nothing.
#pragma once

#include <atomic>
#include <vector>

#include <windows.h>

#include "phone/port_probe.h"

class CKvPortSurveyor {
 public:
  // Starts the survey; null when no thread could be made.
  static CKvPortSurveyor* NewL(HWND aWindow, UINT aDoneMessage);
  ~CKvPortSurveyor();
  CKvPortSurveyor(const CKvPortSurveyor&) = delete;
  CKvPortSurveyor& operator=(const CKvPortSurveyor&) = delete;

  // The survey's reports once it has ended; false while it runs.
  bool TakeReports(std::vector<TPortReport>& aReports);

 private:
  CKvPortSurveyor(HWND aWindow, UINT aDoneMessage);
  bool ConstructL();
  static DWORD WINAPI ThreadMain(LPVOID aSurveyor);
  void RunL();

  HWND iWindow;
  UINT iDoneMessage;
  HANDLE iThread = nullptr;
  std::atomic<bool> iStop{false};
  CRITICAL_SECTION iLock;
  // Under iLock:
  bool iDone = false;
  std::vector<TPortReport> iReports;
};
