// Accelerator tables: keys that become commands before the program's message
// loop translates and dispatches them.
#include <algorithm>
#include <vector>

#include <windows.h>

#include "ui/shell/resource_table.h"

using namespace kvplatform;
using namespace kvplatform::ui;

namespace {

struct AcceleratorTable : KernelObject {
  std::vector<ACCEL> entries;
};

HACCEL Insert(std::vector<ACCEL> entries) {
  auto table = std::make_shared<AcceleratorTable>();
  table->entries = std::move(entries);
  uintptr_t value = InsertHandle(table);
  if (value == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return reinterpret_cast<HACCEL>(value);
}

bool Down(int key) { return (GetKeyState(key) & 0x8000) != 0; }

bool Matches(const ACCEL& a, const MSG& msg) {
  if (a.fVirt & FVIRTKEY) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (msg.wParam != a.key) return false;
    return Down(VK_CONTROL) == ((a.fVirt & FCONTROL) != 0) && Down(VK_SHIFT) == ((a.fVirt & FSHIFT) != 0) &&
           Down(VK_MENU) == ((a.fVirt & FALT) != 0);
  }
  // A character accelerator: the WM_CHAR code itself (Ctrl+A arrives as 1).
  return (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) && msg.wParam == a.key &&
         Down(VK_MENU) == ((a.fVirt & FALT) != 0);
}

}  // namespace

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name) {
  auto entry = FindEntry(instance, name, RT_ACCELERATOR);
  if (!entry) return nullptr;
  std::vector<ACCEL> entries;
  const BYTE* p = entry->bytes.data();
  for (size_t at = 0; at + 8 <= entry->bytes.size(); at += 8) {
    WORD flags, key, cmd;
    std::copy_n(p + at, 2, reinterpret_cast<BYTE*>(&flags));
    std::copy_n(p + at + 2, 2, reinterpret_cast<BYTE*>(&key));
    std::copy_n(p + at + 4, 2, reinterpret_cast<BYTE*>(&cmd));
    entries.push_back(ACCEL{static_cast<BYTE>(flags & 0x7F), key, cmd});
    if (flags & 0x80) break;
  }
  return Insert(std::move(entries));
}

HACCEL CreateAcceleratorTableW(LPACCEL entries, int count) {
  if (entries == nullptr || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Insert(std::vector<ACCEL>(entries, entries + count));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  if (!LookupAs<AcceleratorTable>(table)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  RemoveHandle(reinterpret_cast<uintptr_t>(table));
  return TRUE;
}

int TranslateAcceleratorW(HWND window, HACCEL handle, LPMSG msg) {
  auto table = LookupAs<AcceleratorTable>(handle);
  if (!table || msg == nullptr || !IsWindow(window)) return 0;
  for (const ACCEL& a : table->entries) {
    if (!Matches(a, *msg)) continue;
    // The program hands over the message's own window, which may be the
    // focused control; the command is for the top-level window around it.
    HWND target = window;
    while ((GetWindowLongW(target, GWL_STYLE) & WS_CHILD) && GetParent(target)) target = GetParent(target);
    SendMessageW(target, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
    return 1;
  }
  return 0;
}
