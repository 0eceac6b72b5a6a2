// The headless back end's input and inspection interface, for tests and
// tools: simulated stylus and keys, finding windows, reading their state,
// waiting until the user-interface threads are idle, and screenshots.
// Points are screen coordinates (240 x 320, the taskbar at the top).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace kvplatform::uitest {

// Each gesture waits until the windows' threads have handled it.
void Tap(int x, int y);
void DoubleTap(int x, int y);
// Tap-and-hold: the stylus stays down and still for the hold time.
void Hold(int x, int y);
void Press(int x, int y);
void MoveTo(int x, int y);
void Release(int x, int y);
void Drag(int fromX, int fromY, int toX, int toY, int steps = 4);
// A tap at the centre of a window.
void TapWindow(HWND window);
// A tap on the row with this text (without '&' marks) of an open pop-up
// menu; false when no open menu shows it.
bool TapMenuItem(const std::u16string& text);

// Key down and up to the focus window; Enter, Escape, Tab and Backspace
// also give their WM_CHAR.
void PressKey(UINT virtualKey);
void KeyDown(UINT virtualKey);
void KeyUp(UINT virtualKey);
// WM_CHAR for each character, as typing it would.
void TypeText(const std::u16string& text);

// The first window (in creation order) matching; `under` limits the search
// to that window's descendants. Null when none.
HWND FindByClass(LPCWSTR className, HWND under = nullptr);
HWND FindByText(LPCWSTR text, HWND under = nullptr);
HWND FindById(HWND parent, int id);

struct WindowState {
  bool exists = false;
  bool visible = false;  // shown, with every ancestor
  bool enabled = false;
  bool focused = false;
  bool active = false;
  RECT screenRect{};
  DWORD style = 0;
};
std::u16string TextOf(HWND window);
WindowState StateOf(HWND window);

// Waits until every thread that owns windows is blocked waiting for
// messages with nothing queued or to paint (the caller's own messages are
// dispatched meanwhile). False on time-out.
bool WaitIdle(DWORD timeoutMilliseconds = 5000);

// Window records alive in the process (leak checks).
size_t WindowCount();

// The screen as it is now.
COLORREF ColorAt(int x, int y);
bool SaveScreenshot(const std::string& path);
// The characters drawn as boxes (no installed font has them) since the
// last call, each once: empty when every character showed as a glyph.
std::u32string TakeBoxesDrawn();

// The shaped text drawn since the last call, checked against the fonts
// themselves: each run is shaped again by HarfBuzz straight from its font
// file, at its size and direction, and must come out glyph for glyph and
// position for position the same.
struct TextDrawn {
  int runs = 0;
  int pictures = 0;                 // glyphs from the colour emoji font
  std::vector<std::string> fonts;   // the font files used, each once
  std::vector<std::string> faults;  // a run shaped otherwise, or a .notdef glyph
};
TextDrawn TakeTextDrawn();
const char* BackendName();

}  // namespace kvplatform::uitest
