// The one window procedure and the one dialog procedure of the program:
// both find the window's control in the window map and hand it the message.
#pragma once

#include <windows.h>

class CEpocControl;

LRESULT EpocMainWndProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
INT_PTR EpocDialogWndProc(HWND aDialog, UINT aMessage, WPARAM aWParam, LPARAM aLParam);

// The trace name of a message (of a WM_NOTIFY's code); null when unnamed.
LPCWSTR EpocMessageName(UINT aMessage, LPARAM aLParam);
// Whether the trace leaves the message out (too frequent to be useful).
bool EpocIsQuietMessage(UINT aMessage, LPARAM aLParam);
