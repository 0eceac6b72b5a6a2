// Boxes of the program: a question before an action that cannot be undone
// or costs money, and the boxes that report.
#pragma once

#include <windows.h>

#include <string>

// A message box that keeps the rest of the window from taking input while
// it is up; what MessageBoxW answers.
int KvShowBoxL(HWND aWindow, LPCWSTR aCaption, const std::u16string& aText, UINT aType);

// True only when the user answers Yes. No is the default, so Enter does not
// confirm; a box answered without the user (an unattended run) is a No.
bool KvAskL(HWND aWindow, LPCWSTR aCaption, const std::u16string& aQuestion);

// Before a received text goes out unchanged: sending someone's own words
// back costs money and is rarely meant.
bool KvAskSendBackL(HWND aWindow);
