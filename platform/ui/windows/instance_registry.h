// Top-level windows seen across processes that share a device root, so a
// second copy of the program finds the first and brings it forward.
// Each process keeps a file <root>/.korvanet-windows/<pid> listing its
// top-level windows and listens on the FIFO <pid>.fifo beside it.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

// Rewrites this process's list (after a top-level window came, went or
// changed its title) and starts listening for requests.
void PublishTopLevelWindows();
bool IsWindowOfOtherProcess(HWND window);
BOOL BringOtherProcessForward(HWND window);

}  // namespace kvplatform::ui
