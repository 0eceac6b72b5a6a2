// What the common controls share: their state record kept in the window's
// extra bytes, notifications to the parent, and measuring text.
#pragma once

#include <string>

#include <commctrl.h>

namespace kvplatform::ui {

// Every common control class reserves one pointer of extra bytes for its state.
constexpr int kStateBytes = sizeof(void*);

template <class State>
State* ControlState(HWND window) {
  return reinterpret_cast<State*>(GetWindowLongPtrW(window, 0));
}

// Made on WM_NCCREATE, freed on WM_DESTROY; later messages find no state.
template <class State>
void AttachState(HWND window, State* state) {
  SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(state));
}
template <class State>
void DetachState(HWND window) {
  delete ControlState<State>(window);
  SetWindowLongPtrW(window, 0, 0);
}

// Sends WM_NOTIFY with `header` (the start of the control's structure) to the
// parent after filling in sender, identifier and code. `stillExists` tells
// whether the control survived the parent's handling.
LRESULT NotifyParent(HWND control, NMHDR& header, UINT code, bool& stillExists);

// The text of a program's buffer; null gives empty text.
std::u16string TextFrom(LPCWSTR text);
// Copies text into a program's buffer of `size` characters, truncated and
// terminated; returns the characters copied.
int CopyTextTo(const std::u16string& text, LPWSTR buffer, int size);

// The height of a line of text in the control's font, plus a little air.
int LineHeight(HDC dc);
int TextWidth(HDC dc, const std::u16string& text);

}  // namespace kvplatform::ui
