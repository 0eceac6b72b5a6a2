// The serial port and the two threads that move its bytes: a reader that
// hands received bytes to the CDataReader in blocks, and a writer that does
// one blocking write per thread message.
#pragma once

#include <atomic>

#include <windows.h>

#include "kernel/completion.h"

class CDataReader;

// The communicator's port handle: INVALID_HANDLE_VALUE while closed. The
// reader and writer threads read it after every blocking call.
typedef std::atomic<HANDLE> TPortHandle;

// Thread message asking the writer thread to write: wParam = the bytes,
// lParam = their count.
const UINT EKvCommWrite = 10011;

// Handed to the writer thread at start; lives in the transmitter.
struct TWriteThreadParams {
  TCompletionStatus* iStatus;  // the transmit request's status word
  HANDLE iEvent;               // set when a write has finished
  TPortHandle* iPort;
  HANDLE iThreadEnded;         // manual-reset; set by the thread as its last act
};

// Opens and configures the port; stores the handle in the field (also when
// opening fails). 0 or -2; aError, when given, gets the system's error of a
// port that would not open (0 when it opened). A failed opening is logged
// only when aLogFailure is set: a port tried again and again while its
// device is away stays quiet.
int PortInitialize(TPortHandle* aPort, LPCWSTR aName, DWORD* aError = nullptr, bool aLogFailure = true);
// The usual reasons a port does not open, in words: the number alone does
// not tell a user whether to unplug, wait or ask for access. Null for others.
LPCWSTR PortOpenFailureReason(DWORD aError);
// Start the threads; the thread id, 0 on failure.
DWORD CreateReadThread(CDataReader* aReader);
DWORD CreateWriteThread(TWriteThreadParams* aParams);
DWORD ReadThreadMain(LPVOID aReader);
DWORD WriteThreadMain(LPVOID aParams);
// One blocking write of the request's bytes. 0 or -2 (also for a short write).
int PortWrite(HANDLE aPort, const MSG& aMessage);
