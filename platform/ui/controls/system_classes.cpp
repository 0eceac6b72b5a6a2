#include "ui/controls/system_classes.h"

#include <mutex>

namespace kvplatform::ui {

void EnsureSystemClasses() {
  static std::recursive_mutex lock;
  static bool registered = false;
  std::lock_guard guard(lock);
  if (registered) return;
  registered = true;  // first: registering calls back into the class lookup
  RegisterStandardControlClasses();
  RegisterCommonControlClasses();
  RegisterDialogAndMenuClasses();
}

}  // namespace kvplatform::ui
