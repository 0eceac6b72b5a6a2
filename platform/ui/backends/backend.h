// Where the frame buffer goes and where input comes from. Two back ends:
// a desktop window through SDL2, and none at all (headless).
#pragma once

#include <cstdint>
#include <memory>

#include <wintypes.h>

namespace kvplatform::ui {

class ScreenBackend {
 public:
  virtual ~ScreenBackend() = default;
  virtual const char* Name() const = 0;
  // Shows a finished frame (0x00RRGGBB pixels); called on the display thread.
  virtual void Present(const uint32_t* pixels, int width, int height) = 0;
  // Takes the display's pending input on the display thread and hands it to
  // the input module; returns how many milliseconds may pass before it wants
  // to be asked again (INFINITE: it has nothing to poll).
  virtual DWORD Pump() = 0;
};

std::unique_ptr<ScreenBackend> MakeHeadlessBackend();
// Null when no display can be opened.
std::unique_ptr<ScreenBackend> MakeSdlBackend();

}  // namespace kvplatform::ui
