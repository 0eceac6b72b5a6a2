// Registers this group's window classes; each class lives in its own file.
#include <commctrl.h>

#include "ui/controls/listview.h"
#include "ui/controls/progress.h"
#include "ui/controls/system_classes.h"
#include "ui/controls/tab_control.h"
#include "ui/controls/treeview.h"

namespace kvplatform::ui {

void RegisterCommonControlClasses() {
  RegisterProgressClass();
  RegisterTabControlClass();
  RegisterTreeViewClass();
  RegisterListViewClass();
}

}  // namespace kvplatform::ui

void InitCommonControls() { kvplatform::ui::EnsureSystemClasses(); }

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  kvplatform::ui::EnsureSystemClasses();
  return TRUE;
}
