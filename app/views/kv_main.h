// The program's entry on the user interface thread: the single-instance
// test, start-up, the message loop and shut-down.
#pragma once

#include <windows.h>

// The exit code of a start-up that failed.
inline constexpr int KKvStartUpFailed = -11;

// Brings a running copy forward and returns 0, or runs EpocMain.
int KvWinMain(HINSTANCE aInstance, HINSTANCE aPrevious, LPWSTR aCommandLine, int aShowCommand);
// Start-up, the message loop until WM_QUIT, shut-down; the quit code.
int EpocMain(HINSTANCE aInstance, int aShowCommand);

bool KvStartUpL(HINSTANCE aInstance, int aShowCommand);
void KvShutDown();
