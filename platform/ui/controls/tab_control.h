#pragma once

namespace kvplatform::ui {

// Height of the strip of tabs; the display area is the rest of the window.
constexpr int kTabStripHeight = 22;

void RegisterTabControlClass();

}  // namespace kvplatform::ui
