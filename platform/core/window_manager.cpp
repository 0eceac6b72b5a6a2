#include "window_manager.h"

#include <algorithm>
#include <cstring>
#include <map>

#include <windows.h>

#include "screen_hooks.h"
#include "wait_core.h"

namespace kvplatform {
namespace {

struct Registry {
  std::vector<std::shared_ptr<WindowClass>> classes;
  std::vector<std::shared_ptr<Window>> windows;
  uint64_t nextZOrder = 1;
};

Registry& TheRegistry() {
  static auto* registry = new Registry;
  return *registry;
}

char16_t FoldCase(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
  return c;
}

std::u16string TextOf(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

void DropWindow(const std::shared_ptr<Window>& window) {
  std::lock_guard guard(WindowLock());
  auto& windows = TheRegistry().windows;
  std::erase(windows, window);
  RemoveHandle(reinterpret_cast<uintptr_t>(window->handle));
}

// Index into the extra bytes for a non-negative GetWindowLong index.
bool ExtraSlot(Window& window, int index, size_t size) {
  return index >= 0 && static_cast<size_t>(index) + size <= window.extraBytes.size();
}

}  // namespace

uint64_t NextZOrder() {
  std::lock_guard guard(WindowLock());
  return TheRegistry().nextZOrder++;
}

std::recursive_mutex& WindowLock() {
  static auto* lock = new std::recursive_mutex;
  return *lock;
}

bool EqualsIgnoreCase(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

std::shared_ptr<Window> FindWindowRecord(HWND window) {
  auto record = LookupAs<Window>(window);
  return record;
}

std::shared_ptr<WindowClass> FindWindowClass(const std::u16string& name) {
  std::lock_guard guard(WindowLock());
  for (auto& c : TheRegistry().classes)
    if (EqualsIgnoreCase(c->name, name)) return c;
  return nullptr;
}

std::vector<std::shared_ptr<Window>> AllWindows() {
  std::lock_guard guard(WindowLock());
  return TheRegistry().windows;
}

LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto record = FindWindowRecord(window);
  if (!record) return 0;
  WNDPROC procedure;
  {
    std::lock_guard guard(WindowLock());
    procedure = record->procedure;
  }
  return procedure ? procedure(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

void ForgetWindowsOfThreadLocked(DWORD threadId) {
  for (auto& window : AllWindows())
    if (window->ownerThread == threadId) {
      Screen().OnWindowForgotten(window->handle);
      DropWindow(window);
    }
}

}  // namespace kvplatform

using namespace kvplatform;

BOOL RegisterClassW(const WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpszClassName[0] == 0 ||
      windowClass->cbWndExtra < 0 || windowClass->cbWndExtra > 4096) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(WindowLock());
  std::u16string name(windowClass->lpszClassName);
  if (FindWindowClass(name)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return FALSE;
  }
  auto record = std::make_shared<WindowClass>();
  record->name = name;
  record->info = *windowClass;
  // Resource identifiers (below 0x10000) pass as they are; names are copied.
  if (reinterpret_cast<uintptr_t>(windowClass->lpszMenuName) >= 0x10000) {
    record->menuName = windowClass->lpszMenuName;
    record->info.lpszMenuName = record->menuName.c_str();
  }
  record->info.lpszClassName = record->name.c_str();
  TheRegistry().classes.push_back(record);
  return static_cast<BOOL>(0xC000 + TheRegistry().classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  if (className == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(WindowLock());
  auto& classes = TheRegistry().classes;
  auto it = std::find_if(classes.begin(), classes.end(),
                         [&](const auto& c) { return EqualsIgnoreCase(c->name, className); });
  if (it == classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  classes.erase(it);
  return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  if (className == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto windowClass = FindWindowClass(className);
  if (!windowClass) {
    Screen().EnsureSystemClasses();
    windowClass = FindWindowClass(className);
  }
  if (!windowClass) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (parent != nullptr && !FindWindowRecord(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  ThreadState& self = CurrentThread();
  EnsureQueue(self);

  auto window = std::make_shared<Window>();
  window->ownerThread = self.id;
  window->windowClass = windowClass;
  window->procedure = windowClass->info.lpfnWndProc;
  window->text = TextOf(windowName);
  // Shown once WM_CREATE has succeeded, as the device does.
  window->style = style & ~WS_VISIBLE;
  window->exStyle = exStyle;
  // A top-level window's "parent" is its owner.
  if (style & WS_CHILD)
    window->parent = parent;
  else
    window->owner = parent;
  window->id = reinterpret_cast<UINT_PTR>(menu);
  window->instance = instance;
  window->extraBytes.assign(static_cast<size_t>(windowClass->info.cbWndExtra), 0);
  window->rect = Screen().InitialWindowRect(style, x, y, width, height);
  uintptr_t value = InsertHandle(window);
  if (value == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HWND handle = reinterpret_cast<HWND>(value);
  {
    std::lock_guard guard(WindowLock());
    window->handle = handle;
    window->zOrder = TheRegistry().nextZOrder++;
    TheRegistry().windows.push_back(window);
  }

  CREATESTRUCTW create{param,
                       instance,
                       menu,
                       parent,
                       static_cast<int>(window->rect.bottom - window->rect.top),
                       static_cast<int>(window->rect.right - window->rect.left),
                       static_cast<int>(window->rect.top),
                       static_cast<int>(window->rect.left),
                       static_cast<LONG>(style),
                       windowName,
                       className,
                       exStyle};
  LPARAM createParam = reinterpret_cast<LPARAM>(&create);
  if (!SendMessageW(handle, WM_NCCREATE, 0, createParam) || SendMessageW(handle, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(handle);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Screen().OnWindowCreated(handle, (style & WS_VISIBLE) != 0);
  return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
  auto window = FindWindowRecord(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (window->ownerThread != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  {
    std::lock_guard guard(WindowLock());
    if (window->destroying) return TRUE;
    window->destroying = true;
  }
  // Owned windows go first; then the window leaves the screen.
  for (auto& owned : AllWindows())
    if (owned->owner == handle && owned->ownerThread == window->ownerThread) DestroyWindow(owned->handle);
  Screen().OnWindowDestroying(handle);
  SendMessageW(handle, WM_DESTROY, 0, 0);
  // Children go after their parent has seen WM_DESTROY, as on the device.
  for (auto& child : AllWindows())
    if (child->parent == handle) DestroyWindow(child->handle);
  SendMessageW(handle, WM_NCDESTROY, 0, 0);
  DropWindow(window);
  Screen().OnWindowDestroyed(handle);
  return TRUE;
}

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if (create && create->lpszName) SetWindowTextW(handle, create->lpszName);
      return TRUE;
    }
    case WM_SETTEXT: {
      auto window = FindWindowRecord(handle);
      if (!window) return FALSE;
      {
        std::lock_guard guard(WindowLock());
        window->text = TextOf(reinterpret_cast<LPCWSTR>(lParam));
      }
      Screen().OnTextChanged(handle);
      return TRUE;
    }
    case WM_GETTEXT: {
      auto window = FindWindowRecord(handle);
      auto* buffer = reinterpret_cast<LPWSTR>(lParam);
      if (!window || buffer == nullptr || wParam == 0) return 0;
      std::lock_guard guard(WindowLock());
      size_t count = std::min<size_t>(window->text.size(), wParam - 1);
      std::copy_n(window->text.data(), count, buffer);
      buffer[count] = 0;
      return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH: {
      auto window = FindWindowRecord(handle);
      if (!window) return 0;
      std::lock_guard guard(WindowLock());
      return static_cast<LRESULT>(window->text.size());
    }
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    default:
      return Screen().DefaultMessage(handle, message, wParam, lParam);
  }
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return procedure ? procedure(window, message, wParam, lParam) : 0;
}

BOOL IsWindow(HWND window) { return FindWindowRecord(window) != nullptr; }

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  for (auto& window : AllWindows()) {
    std::lock_guard guard(WindowLock());
    if (window->parent != nullptr || window->destroying) continue;
    if (className && !EqualsIgnoreCase(window->windowClass->name, className)) continue;
    if (windowName && window->text != windowName) continue;
    return window->handle;
  }
  // Another copy of the program on the same device root.
  return Screen().FindWindowOfOtherProcess(className, windowName);
}

HWND GetParent(HWND handle) {
  auto window = FindWindowRecord(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  std::lock_guard guard(WindowLock());
  return window->parent ? window->parent : window->owner;
}

DWORD GetWindowThreadProcessId(HWND handle, LPDWORD processId) {
  auto window = FindWindowRecord(handle);
  if (processId) *processId = window ? 1 : 0;
  return window ? window->ownerThread : 0;
}

LONG_PTR GetWindowLongPtrW(HWND handle, int index) {
  auto window = FindWindowRecord(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  std::lock_guard guard(WindowLock());
  switch (index) {
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(window->procedure);
    case GWL_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(window->instance);
    case GWL_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(window->parent ? window->parent : window->owner);
    case GWL_ID:
      return static_cast<LONG_PTR>(window->id);
    case GWL_STYLE:
      return static_cast<LONG>(window->style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(window->exStyle);
    case GWL_USERDATA:
      return window->userData;
    default:
      break;
  }
  if (ExtraSlot(*window, index, sizeof(LONG_PTR))) {
    LONG_PTR value;
    std::memcpy(&value, window->extraBytes.data() + index, sizeof value);
    return value;
  }
  if (ExtraSlot(*window, index, sizeof(LONG))) {
    LONG value;
    std::memcpy(&value, window->extraBytes.data() + index, sizeof value);
    return value;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

LONG_PTR SetWindowLongPtrW(HWND handle, int index, LONG_PTR value) {
  auto window = FindWindowRecord(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR previous = GetWindowLongPtrW(handle, index);
  if (index == GWL_STYLE) {
    // Visibility, border and scroll bars change what is on the screen.
    {
      std::lock_guard guard(WindowLock());
      window->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | (window->style & WS_VISIBLE);
    }
    Screen().OnStyleChanged(handle, static_cast<DWORD>(previous), static_cast<DWORD>(value));
    return previous;
  }
  std::lock_guard guard(WindowLock());
  switch (index) {
    case GWL_WNDPROC:
      window->procedure = reinterpret_cast<WNDPROC>(value);
      return previous;
    case GWL_HWNDPARENT:
      (window->parent ? window->parent : window->owner) = reinterpret_cast<HWND>(value);
      return previous;
    case GWL_ID:
      window->id = static_cast<UINT_PTR>(value);
      return previous;
    case GWL_EXSTYLE:
      window->exStyle = static_cast<DWORD>(value);
      return previous;
    case GWL_USERDATA:
      window->userData = value;
      return previous;
    case GWL_HINSTANCE:
      window->instance = reinterpret_cast<HINSTANCE>(value);
      return previous;
    default:
      break;
  }
  if (ExtraSlot(*window, index, sizeof(LONG_PTR))) {
    std::memcpy(window->extraBytes.data() + index, &value, sizeof value);
    return previous;
  }
  if (ExtraSlot(*window, index, sizeof(LONG))) {
    LONG narrow = static_cast<LONG>(value);
    std::memcpy(window->extraBytes.data() + index, &narrow, sizeof narrow);
    return previous;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

LONG GetWindowLongW(HWND window, int index) { return static_cast<LONG>(GetWindowLongPtrW(window, index)); }

LONG SetWindowLongW(HWND window, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrW(window, index, value));
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND window) { return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)); }
