// Full-screen dialogs, the taskbar's part in them, activation and the input
// panel state.
#include <aygshell.h>

#include <atomic>
#include <mutex>
#include <set>

#include "core/window_manager.h"
#include "ui/shell/menu_bar.h"
#include "ui/screen/taskbar.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

std::atomic<bool> gPanelUp{false};

std::mutex& FittedLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
// Windows sized to the screen by SHInitDialog: they follow the input panel.
std::set<HWND>& FittedWindows() {
  static auto* windows = new std::set<HWND>;
  return *windows;
}

bool IsFitted(HWND window) {
  std::lock_guard guard(FittedLock());
  if (!IsWindow(window)) FittedWindows().erase(window);
  return FittedWindows().count(window) != 0;
}

void FitAbovePanel(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  int bottom = InputPanelUp() ? InputPanelRect().top : kScreenHeight;
  MoveWindow(window, r.left, r.top, r.right - r.left, bottom - r.top, TRUE);
}

}  // namespace

bool InputPanelUp() { return gPanelUp; }
RECT InputPanelRect() {
  // Docked above the menu bar, as on the device.
  return RECT{0, kScreenHeight - KV_MENU_BAR_HEIGHT - 80, kScreenWidth, kScreenHeight - KV_MENU_BAR_HEIGHT};
}

}  // namespace kvplatform::ui

using namespace kvplatform;
using namespace kvplatform::ui;

BOOL SipShowIM(DWORD flags) {
  bool up = (flags & SIPF_ON) != 0;
  if (gPanelUp.exchange(up) == up) return TRUE;
  // Every top-level window hears of it, as a broadcast would tell them.
  for (auto& w : AllWindows())
    if (!(w->style & WS_CHILD) && !w->destroying)
      PostMessageW(w->handle, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
  return TRUE;
}

BOOL SipGetInfo(SIPINFO* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->fdwFlags = (InputPanelUp() ? SIPF_ON : SIPF_OFF) | SIPF_DOCKED;
  info->rcSipRect = InputPanelRect();
  info->rcVisibleDesktop = RECT{0, kTaskbarHeight, kScreenWidth,
                                InputPanelUp() ? InputPanelRect().top : kScreenHeight - KV_MENU_BAR_HEIGHT};
  info->dwImDataSize = 0;
  info->pvImData = nullptr;
  return TRUE;
}

BOOL SHSipPreference(HWND, SIPSTATE state) {
  if (state == SIP_UP) return SipShowIM(SIPF_ON);
  if (state == SIP_DOWN || state == SIP_FORCEDOWN) return SipShowIM(SIPF_OFF);
  return TRUE;
}

BOOL SHInitDialog(PSHINITDLGINFO info) {
  if (!info || !IsWindow(info->hDlg)) {
    SetLastError(info ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!(info->dwMask & SHIDIM_FLAGS)) return TRUE;
  HWND dialog = info->hDlg;
  DWORD flags = info->dwFlags;
  if (flags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR | SHIDIF_SIZEDLG)) {
    // Full-screen dialogs have no frame: their title is in the taskbar.
    DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
    SetWindowLongW(dialog, GWL_STYLE, static_cast<LONG>(style & ~(WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)));
    int bottom = (flags & SHIDIF_SIZEDLG) ? kScreenHeight - KV_MENU_BAR_HEIGHT : kScreenHeight;
    MoveWindow(dialog, 0, kTaskbarHeight, kScreenWidth, bottom - kTaskbarHeight, TRUE);
    {
      std::lock_guard guard(FittedLock());
      FittedWindows().insert(dialog);
    }
    if (InputPanelUp() && !(flags & SHIDIF_SIPDOWN)) FitAbovePanel(dialog);
  }
  if (flags & SHIDIF_DONEBUTTON) SetTaskbarDoneButton(dialog);
  if (flags & SHIDIF_SIPDOWN) SipShowIM(SIPF_OFF);
  return TRUE;
}

BOOL SHFullScreen(HWND window, DWORD state) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (state & SHFS_HIDETASKBAR) SetTaskbarVisible(false);
  if (state & SHFS_SHOWTASKBAR) SetTaskbarVisible(true);
  return TRUE;
}

BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD) {
  if (!info || !IsWindow(window)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (LOWORD(wParam) == WA_INACTIVE) {
    // Remember where the user was and the input panel as it was here.
    info->fActive = 0;
    info->fSipOnDeactivation = InputPanelUp() ? 1 : 0;
    HWND focus = GetFocus();
    if (focus && IsChild(window, focus)) info->hwndLastFocus = focus;
    return TRUE;
  }
  info->fActive = 1;
  if (static_cast<bool>(info->fSipUp) != InputPanelUp()) SipShowIM(info->fSipUp ? SIPF_ON : SIPF_OFF);
  if (info->hwndLastFocus && IsWindow(info->hwndLastFocus) && IsChild(window, info->hwndLastFocus))
    SetFocus(info->hwndLastFocus);
  return TRUE;
}

BOOL SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO* info) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (wParam != SPI_SETSIPINFO && wParam != static_cast<WPARAM>(-1)) return TRUE;
  if (info) info->fSipUp = InputPanelUp() ? 1 : 0;
  if (IsFitted(window)) FitAbovePanel(window);
  return TRUE;
}
