// What a text typed for sending costs, shown beside it as it is typed, and
// the check that it still fits one long message: shared by every box where
// a message is written, so they count alike.
#pragma once

#include <windows.h>

#include <string>

// "75 / 2": characters as the phone counts them (an escaped GSM character
// counts two) and the messages the text goes out as, with "Unicode" when it
// needs UCS2; "0" for no text.
std::u16string KvSmsCountText(const std::u16string& aText);

// True when the text, counted as the engine sends it, fits one long
// message; else false, with the reason shown over aOwner.
bool KvTextFitsOneLongMessageL(HWND aOwner, const std::u16string& aText);

// The whole text of an edit box, however long.
std::u16string KvWholeWindowText(HWND aWindow);
