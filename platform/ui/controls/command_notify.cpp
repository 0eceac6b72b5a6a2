#include "ui/controls/command_notify.h"

namespace kvplatform::ui {

bool NotifyCommand(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
  return IsWindow(control) != FALSE;
}

}  // namespace kvplatform::ui
