// The one screen: a 240 x 320 frame buffer composed from the windows, the
// back end that shows it, and the thread that serves the display.
#pragma once

#include <string>
#include <vector>

#include <wintypes.h>

#include "ui/gdi/painter.h"

namespace kvplatform::ui {

// Opens the back end (KORVANET_DISPLAY=sdl|headless; sdl when a display is
// set) the first time a window is shown; the calling thread serves it.
void StartScreen();
bool ScreenStarted();
// Started, and some top-level window is on it now.
bool ScreenInUse();
const char* BackendName();
DWORD DisplayThreadId();

Surface FrameBufferLocked();
void MarkDirtyLocked();
// Desktop background where no top-level window is, and the taskbar.
void RedrawDesktopLocked(const RECT& area);

// Called by the display thread when it is about to wait: takes the back
// end's input and presents a changed frame. Returns the longest wait allowed.
DWORD ServiceDisplay();
// Presents now if the frame changed (from the display thread).
void PresentIfDirty();
// Frames presented so far (benchmarks, tests).
uint64_t PresentedFrames();

// A copy of the frame buffer.
std::vector<uint32_t> CopyFrameBuffer();
bool SavePng(const std::string& path, const uint32_t* pixels, int width, int height);
// Reads a PNG file as rows of 0xAARRGGBB pixels, top to bottom.
bool LoadPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height);

}  // namespace kvplatform::ui
