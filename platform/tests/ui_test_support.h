// Shared pieces of the screen tests: the headless back end, a window class
// that records what it receives and paints itself in one colour, and the
// folder where screenshots go.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "ui/windows/message_point.h"
#include "ui/testing.h"

namespace uitest_support {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Where a full-screen window goes: the whole screen below the taskbar.
constexpr RECT kBelowTaskbar{0, 26, 240, 320};
inline bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b); }

struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<Seen>& Log() {
  static std::vector<Seen> log;
  return log;
}

inline int Count(HWND window, UINT message) {
  int n = 0;
  for (auto& s : Log())
    if (s.window == window && s.message == message) ++n;
  return n;
}

inline const Seen* Last(HWND window, UINT message) {
  for (auto it = Log().rbegin(); it != Log().rend(); ++it)
    if (it->window == window && it->message == message) return &*it;
  return nullptr;
}

// Records every message; paints its client area in the colour kept in
// GWL_USERDATA; on WM_NOTIFY records the NMRGINFO point in the log's lParam.
inline LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NOTIFY) {
    auto* info = reinterpret_cast<NMRGINFO*>(lParam);
    Log().push_back({hwnd, msg, info->hdr.code, MAKELPARAM(info->ptAction.x, info->ptAction.y)});
    return 0;
  }
  Log().push_back({hwnd, msg, wParam, lParam});
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongW(hwnd, GWL_USERDATA)));
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

inline void RegisterRecorder() {
  static bool done = [] {
    setenv("KORVANET_DISPLAY", "headless", 1);
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecorderProc;
    wc.lpszClassName = u"KvRecorder";
    wc.style = CS_DBLCLKS;
    RegisterClassW(&wc);
    wc.lpszClassName = u"KvRecorderNoDbl";
    wc.style = 0;
    RegisterClassW(&wc);
    return true;
  }();
  (void)done;
}

inline HWND MakeWindow(DWORD style, int x, int y, int w, int h, HWND parent, COLORREF color, int id = 0,
                       LPCWSTR cls = u"KvRecorder", LPCWSTR text = u"") {
  RegisterRecorder();
  HWND hwnd = CreateWindowExW(0, cls, text, style & ~WS_VISIBLE, x, y, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  SetWindowLongW(hwnd, GWL_USERDATA, static_cast<LONG>(color));
  if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

// The text of a tree view item, or "?" when the tree has no such item.
inline std::u16string TreeItemText(HWND tree, HTREEITEM item) {
  char16_t buffer[64] = {};
  TVITEMW get{};
  get.mask = TVIF_TEXT;
  get.hItem = item;
  get.pszText = buffer;
  get.cchTextMax = 64;
  return SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&get)) ? buffer : u"?";
}

// The text of a list view cell.
inline std::u16string ListItemText(HWND list, int row, int column = 0) {
  char16_t buffer[64] = {};
  LVITEMW get{};
  get.iSubItem = column;
  get.pszText = buffer;
  get.cchTextMax = 64;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&get));
  return buffer;
}

inline std::string ScreenshotPath(const std::string& name) {
  std::string dir = KV_SCREENSHOT_DIR;
  std::string command = "mkdir -p '" + dir + "'";
  if (std::system(command.c_str()) != 0) return name + ".png";
  return dir + "/" + name + ".png";
}

}  // namespace uitest_support
