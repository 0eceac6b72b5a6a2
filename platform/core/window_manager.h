// Windows as message targets: the window records, their classes and who owns
// them. The screen layer adds geometry, painting and controls on top of these
// records; nothing here draws.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <winuser.h>

#include "handle_table.h"

namespace kvplatform {

struct WindowClass {
  std::u16string name;
  WNDCLASSW info{};
  std::u16string menuName;
};

struct Window : KernelObject {
  HWND handle = nullptr;
  DWORD ownerThread = 0;
  std::shared_ptr<WindowClass> windowClass;
  WNDPROC procedure = nullptr;
  std::u16string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;
  UINT_PTR id = 0;  // a child's control identifier, or a top-level window's menu
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  std::vector<BYTE> extraBytes;  // cbWndExtra (dialogs keep DWL_* values here)
  RECT rect{};  // in the parent's client coordinates; screen coordinates for top-level windows
  bool destroying = false;

  // Screen state (platform/ui): order, invalid part, scroll bars.
  HWND owner = nullptr;  // a top-level window's owner; it stays above it
  uint64_t zOrder = 0;   // among siblings: higher is nearer the top
  RECT update{};         // invalid part in client coordinates; empty when valid
  bool eraseNeeded = false;
  struct ScrollBar {
    int min = 0;
    int max = 100;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0;
  } scroll[2];  // SB_HORZ, SB_VERT
};

// Guards every field of every window record.
std::recursive_mutex& WindowLock();

std::shared_ptr<Window> FindWindowRecord(HWND window);
std::shared_ptr<WindowClass> FindWindowClass(const std::u16string& name);
// Every window record, in creation order (top-level and children).
std::vector<std::shared_ptr<Window>> AllWindows();

// Runs the window's procedure on the calling thread; 0 for a missing window.
LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Under WaitMutex(): drops the windows of a thread that has ended.
void ForgetWindowsOfThreadLocked(DWORD threadId);

// Hands out the next z-order value (on top of everything so far).
uint64_t NextZOrder();

// Case-insensitive comparison of class and key names (ASCII and 8859-1).
bool EqualsIgnoreCase(const std::u16string& a, const std::u16string& b);

}  // namespace kvplatform
