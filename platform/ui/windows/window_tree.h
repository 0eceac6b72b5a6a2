// The window tree as the screen sees it: positions in screen coordinates,
// order among siblings, what part of each window is visible, and which
// window is under a point. Every function named ...Locked needs a UiLock.
#pragma once

#include <memory>
#include <vector>

#include "core/window_manager.h"
#include "ui/painting/region.h"

namespace kvplatform::ui {

using WindowPtr = std::shared_ptr<Window>;

constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;
constexpr int kTaskbarHeight = 26;
constexpr int kScrollBarSize = 13;
constexpr int kCaptionHeight = 20;

inline RECT ScreenBounds() { return RECT{0, 0, kScreenWidth, kScreenHeight}; }
inline RECT DesktopRect() { return RECT{0, kTaskbarHeight, kScreenWidth, kScreenHeight}; }

WindowPtr Lookup(HWND window);

// Non-client insets of a style: border, caption, scroll bars.
RECT FrameInsets(DWORD style, DWORD exStyle);
bool HasCaption(const Window& w);

bool IsShownLocked(const Window& w);      // visible, and every ancestor too
bool IsEnabledLocked(const Window& w);    // not disabled, nor any ancestor
RECT WindowScreenRectLocked(const Window& w);
RECT ClientScreenRectLocked(const Window& w);
RECT ClientRectLocked(const Window& w);   // (0, 0, width, height) of the client area
WindowPtr TopLevelOfLocked(const WindowPtr& w);
bool IsDescendantLocked(HWND ancestor, HWND window);

// Siblings under `parent` (null: the top-level windows), bottom to top.
std::vector<WindowPtr> ChildrenLocked(HWND parent);
// Puts the window above its siblings; owned top-level windows follow their owner.
void BringToTopLocked(const WindowPtr& w);
void PlaceAfterLocked(const WindowPtr& w, HWND insertAfter);

// What of the window's client area (or whole window) can be drawn on now, in
// screen coordinates: clipped by its ancestors, cut by windows above it and
// by its own visible children.
Region VisibleRegionLocked(const Window& w, bool clientOnly);

// The deepest shown window under a screen point, or null.
WindowPtr WindowFromPointLocked(POINT screen);

// Something on the screen changed in this area: every window under it
// repaints what it has there, and the desktop and taskbar are redrawn.
void ExposeLocked(const RECT& screenArea);
// Marks part of a window (client coordinates; null: all) for repainting.
void InvalidateLocked(Window& w, const RECT* clientRect, bool erase, bool children);
void ValidateLocked(Window& w);
// The window is going: its pending repaint no longer counts.
void ForgetUpdateOf(Window& w);
// Windows of all threads with something to repaint (a quick test for the wait core).
int WindowsWithUpdateCount();

}  // namespace kvplatform::ui
