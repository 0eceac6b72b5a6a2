// Where every control keeps its state: one record, made when the window is
// made and found again from the window's extra bytes.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

// Every control class reserves one pointer of extra bytes for its state.
constexpr int kStateBytes = sizeof(void*);

template <class State>
State* ControlState(HWND window) {
  return reinterpret_cast<State*>(GetWindowLongPtrW(window, 0));
}

// Made on WM_NCCREATE; freed as the window goes (WM_DESTROY, or WM_NCDESTROY
// for a control whose children still ask for it while they go). Later
// messages find no state.
template <class State>
void AttachState(HWND window, State* state) {
  SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(state));
}
template <class State>
void DetachState(HWND window) {
  delete ControlState<State>(window);
  SetWindowLongPtrW(window, 0, 0);
}

}  // namespace kvplatform::ui
