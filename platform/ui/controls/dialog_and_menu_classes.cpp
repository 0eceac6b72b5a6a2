// Registers this group's window classes; each class lives in its own file.
#include "ui/controls/system_classes.h"
#include "ui/dialogs/dialog_state.h"
#include "ui/menus/popup_menu.h"
#include "ui/shell/menu_bar.h"

namespace kvplatform::ui {

void RegisterDialogAndMenuClasses() {
  RegisterDialogClass();
  RegisterPopupMenuClass();
  RegisterMenuBarClass();
}

}  // namespace kvplatform::ui
