// The Pocket PC menu bar: a strip at the bottom of the screen with text
// buttons that open pop-ups upwards, image buttons that send their command,
// and the input panel button.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

extern const char16_t kMenuBarClass[];
void RegisterMenuBarClass();

// The input panel: whether it is up, and the part of the screen it covers.
bool InputPanelUp();
RECT InputPanelRect();

}  // namespace kvplatform::ui
