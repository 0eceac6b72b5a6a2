// Stylus and keyboard input from a back end (or the testing interface):
// which window gets it, in which coordinates, double taps and tap-and-hold.
// Input is posted to the owner thread of the window it is for.
#pragma once

#include <winuser.h>

namespace kvplatform::ui {

// Internal messages, handled by DispatchMessageW itself.
constexpr UINT kGestureMessage = 0x0390;        // the held window; lParam: screen point
constexpr UINT kDestroyRequestMessage = 0x0391; // the desktop window was closed

constexpr DWORD kHoldMilliseconds = 500;
constexpr int kHoldSlop = 5;  // pixels the stylus may wander and still be held

void StylusDown(POINT screen, DWORD time);
void StylusMove(POINT screen, DWORD time);
void StylusUp(POINT screen, DWORD time);
// The stylus stayed down and still: tap-and-hold (no click follows).
void StylusHold();
// For back ends with a clock: fires the hold when due; returns the
// milliseconds until it would be due (INFINITE when nothing is held).
DWORD CheckHold(DWORD now);
bool StylusIsDown();

void KeyDown(UINT virtualKey);
void KeyUp(UINT virtualKey);
void Character(char16_t ch);

// DispatchMessageW's handling of the internal messages; false for others.
bool DispatchInternalMessage(const MSG& msg, LRESULT& result);
void ForgetInputOf(HWND window);
// Asks every top-level window of the process to go (the display was closed).
void RequestDestroyAll();

}  // namespace kvplatform::ui
