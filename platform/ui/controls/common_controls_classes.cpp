// Registers this group's window classes; each class lives in its own file.
#include "ui/controls/system_classes.h"

namespace kvplatform::ui {

void RegisterCommonControlClasses() {}

}  // namespace kvplatform::ui
