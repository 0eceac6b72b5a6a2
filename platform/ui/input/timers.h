// SetTimer's timers: WM_TIMER is made for the owner thread when one is due
// and nothing else is waiting, as the device does.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

// A due timer's WM_TIMER for the thread (rescheduled when removed).
bool TakeTimerMessage(DWORD threadId, HWND filter, bool remove, MSG* msg);
// Milliseconds until the thread's next timer (INFINITE: none).
DWORD NextTimerDelay(DWORD threadId);
void KillTimersOf(HWND window);

}  // namespace kvplatform::ui
