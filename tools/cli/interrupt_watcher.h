// Ctrl-C: the first one during an engine action is posted to the main
// thread's message loop, which aborts the action as the progress dialog's
// Cancel does; a second one, or one outside an action, leaves at once with
// status 130. SIGTERM counts as Ctrl-C. The signal is taken by a thread of its own with sigwait, so
// no window or store is ever touched from a signal handler.
#pragma once

#include <windows.h>

namespace kvcli {

// The thread message the main thread receives for an interrupt.
inline constexpr UINT KCliInterruptMessage = WM_APP + 1;
inline constexpr int KInterruptedExitStatus = 130;

class TInterruptWatcher {
 public:
  // Blocks SIGINT for the calling thread and every thread made after it,
  // and starts the watching thread. Call before any other thread exists.
  static void Start(DWORD aMainThreadId);
  // Ends the watching thread.
  static void Stop();
  // While true, the first Ctrl-C is posted instead of ending the process.
  static void SetActionRunning(bool aRunning);
};

}  // namespace kvcli
