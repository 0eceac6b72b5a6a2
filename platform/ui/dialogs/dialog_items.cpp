// The dialog manager's item functions: controls by identifier, their texts,
// and dialog units in pixels.
#include "ui/dialogs/dialog_state.h"

using namespace kvplatform::ui;

HWND GetDlgItem(HWND dialog, int id) {
  if (!IsWindow(dialog)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND child : ChildrenInTabOrder(dialog))
    if (GetDlgCtrlID(child) == id) return child;
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) {
    if (buffer && size > 0) buffer[0] = 0;
    return 0;
  }
  return static_cast<UINT>(GetWindowTextW(item, buffer, size));
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SendMessageW(item, message, wParam, lParam) : 0;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  auto state = DialogStateOf(dialog);
  if (!state || !rect) {
    SetLastError(state ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  rect->left = rect->left * state->baseX / 4;
  rect->right = rect->right * state->baseX / 4;
  rect->top = rect->top * state->baseY / 8;
  rect->bottom = rect->bottom * state->baseY / 8;
  return TRUE;
}
