#include "ui/screen/taskbar.h"

#include <algorithm>
#include <atomic>
#include <ctime>

#include <windows.h>

#include "ui/input/focus.h"
#include "ui/gdi/objects.h"
#include "ui/screen/screen.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"
#include "ui/text/utf16.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

std::atomic<bool> gVisible{true};
HWND gDoneTarget = nullptr;  // under UiLock
int gShownMinute = -1;
bool gDonePressed = false;

constexpr RECT kStrip{0, 0, kScreenWidth, kTaskbarHeight};
constexpr RECT kDoneButton{kScreenWidth - 30, 3, kScreenWidth - 3, kTaskbarHeight - 3};

int MinuteOfDay(std::tm& local) {
  std::time_t now = std::time(nullptr);
  localtime_r(&now, &local);
  return local.tm_hour * 60 + local.tm_min;
}

}  // namespace

bool TaskbarVisible() { return gVisible; }

void SetTaskbarVisible(bool visible) {
  UiLock lock;
  if (gVisible == visible) return;
  gVisible = visible;
  ExposeLocked(kStrip);
}

void SetTaskbarDoneButton(HWND target) {
  UiLock lock;
  gDoneTarget = target;
  RedrawTaskbarLocked();
}

HWND TaskbarDoneTarget() {
  UiLock lock;
  return gDoneTarget;
}

void RedrawTaskbarLocked() {
  if (!gVisible || !ScreenStarted()) return;
  if (gDoneTarget && !IsWindow(gDoneTarget)) gDoneTarget = nullptr;
  HDC dc = CreateScreenDc(nullptr, POINT{0, 0}, Region(kStrip));
  FillSolid(dc, kStrip, GetSysColor(COLOR_ACTIVECAPTION));

  std::tm local{};
  gShownMinute = MinuteOfDay(local);
  WCHAR clock[8];
  wsprintfW(clock, u"%d:%02d", local.tm_hour, local.tm_min);
  RECT timeRect{kScreenWidth - (gDoneTarget ? 70 : 40), 0, (gDoneTarget ? kDoneButton.left - 4 : kScreenWidth - 4),
                kTaskbarHeight};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
  DrawTextW(dc, clock, -1, &timeRect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);

  // The title of the active top-level window, as the device shows it.
  WCHAR title[128] = u"";
  if (auto active = Lookup(ActiveWindowLocked())) {
    size_t n = CharBoundaryAtOrBefore(active->text, 127);
    std::copy_n(active->text.data(), n, title);
    title[n] = 0;
  }
  RECT titleRect{6, 0, timeRect.left - 4, kTaskbarHeight};
  SelectObject(dc, BoldSystemFont());
  DrawTextW(dc, title, -1, &titleRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  if (gDoneTarget) PaintButton(dc, kDoneButton, u"ok", gDonePressed, false, true);
  DestroyDc(dc);
}

DWORD TaskbarTick() {
  std::tm local{};
  int minute = MinuteOfDay(local);
  {
    UiLock lock;
    if (minute != gShownMinute) RedrawTaskbarLocked();
  }
  return static_cast<DWORD>((60 - local.tm_sec) * 1000);
}

bool TaskbarPress(POINT point) {
  if (!gVisible || !Contains(kStrip, point.x, point.y)) return false;
  HWND target = nullptr;
  {
    UiLock lock;
    if (gDoneTarget && Contains(kDoneButton, point.x, point.y)) target = gDoneTarget;
  }
  if (target) PostMessageW(target, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
  return true;
}

}  // namespace kvplatform::ui
