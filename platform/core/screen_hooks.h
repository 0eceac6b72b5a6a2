// What the services ask of the screen. Windows, queues and message boxes live
// here; a program that links the screen library gets its hooks registered
// before main() runs, and they add geometry, painting, input and real boxes.
// A program without a screen keeps these defaults: windows are plain message
// targets and message boxes are logged and answered with OK.
#pragma once

#include <winuser.h>

namespace kvplatform {

class ScreenHooks {
 public:
  virtual ~ScreenHooks() = default;

  // ---- window records ----
  // The system's window classes (controls, dialogs, menus), registered the
  // first time a program names a class it did not register itself.
  virtual void EnsureSystemClasses() {}
  // The rectangle CreateWindowExW gives a new window; CW_USEDEFAULT is the
  // whole desktop for a top-level window, nothing without a screen.
  virtual RECT InitialWindowRect(DWORD style, int x, int y, int width, int height);
  // After WM_CREATE succeeded; without a screen a window asked to be visible
  // only keeps WS_VISIBLE in its style.
  virtual void OnWindowCreated(HWND window, bool visible);
  // Before WM_DESTROY, and after the record has gone.
  virtual void OnWindowDestroying(HWND) {}
  virtual void OnWindowDestroyed(HWND) {}
  // Its owner thread ended; called under the wait core's lock.
  virtual void OnWindowForgotten(HWND) {}
  virtual void OnTextChanged(HWND) {}
  virtual void OnStyleChanged(HWND, DWORD /*oldStyle*/, DWORD /*newStyle*/) {}
  // DefWindowProcW for the messages the window records do not handle.
  virtual LRESULT DefaultMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }
  // A top-level window of another process on the same device root.
  virtual HWND FindWindowOfOtherProcess(LPCWSTR /*className*/, LPCWSTR /*windowName*/) { return nullptr; }

  // ---- message retrieval ----
  // Under the wait core's lock: a message made by the screen (WM_PAINT,
  // WM_TIMER) when nothing is posted.
  virtual bool MakeMessage(DWORD /*threadId*/, HWND /*filter*/, UINT /*filterMin*/, UINT /*filterMax*/,
                           bool /*remove*/, MSG* /*msg*/) {
    return false;
  }
  virtual bool HasMessage(DWORD /*threadId*/, DWORD /*wakeMask*/) { return false; }
  // With no lock held, before the thread blocks; the longest it may block.
  virtual DWORD BeforeBlock(DWORD /*threadId*/) { return INFINITE; }
  // DispatchMessageW of the screen's own messages; false for others.
  virtual bool DispatchInternalMessage(const MSG&, LRESULT& /*result*/) { return false; }
  virtual void AfterPaintDispatched(HWND) {}

  // ---- message boxes ----
  // Some window is on a started screen, so a box can be shown.
  virtual bool InUse() { return false; }
  virtual int RunMessageBox(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }
};

// The screen library registers itself once; the hooks must live for ever.
void RegisterScreenHooks(ScreenHooks& hooks);
// The registered hooks, or the screenless defaults.
ScreenHooks& Screen();

}  // namespace kvplatform
