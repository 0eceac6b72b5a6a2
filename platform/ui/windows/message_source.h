// What the screen adds to a thread's message retrieval: WM_PAINT for its
// invalid windows and WM_TIMER for its due timers (only when nothing is
// posted), and the display's service before the thread blocks.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

// Under the wait core's mutex.
bool MakeScreenMessage(DWORD threadId, HWND filter, UINT filterMin, UINT filterMax, bool remove, MSG* msg);
bool HasScreenMessage(DWORD threadId, DWORD wakeMask);
// With no lock held, before the thread blocks: serves the display if this is
// its thread; returns the longest the thread may block (INFINITE: no limit).
DWORD BeforeBlock(DWORD threadId);
// After DispatchMessageW ran WM_PAINT: a window that did not paint is
// validated all the same, so it is not asked again and again.
void AfterPaintDispatched(HWND window);

}  // namespace kvplatform::ui
