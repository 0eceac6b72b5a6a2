// While one of the program's boxes or choosers is up, nothing else of the
// window takes input: a box disables only its owner, and the menu bar and
// the frame's title button are windows of their own.
#pragma once

#include <windows.h>

class TKvModalScope {
 public:
  TKvModalScope();
  ~TKvModalScope();
  TKvModalScope(const TKvModalScope&) = delete;
  TKvModalScope& operator=(const TKvModalScope&) = delete;

 private:
  static bool Disable(HWND aWindow);

  HWND iFrame = nullptr;
  HWND iMenuBar = nullptr;
  bool iFrameDisabled = false;
  bool iMenuBarDisabled = false;
};
