// Pixels: filling, lines, glyphs and copies on a 32-bit surface, always
// inside a clip region. Knows nothing of windows or device contexts.
#pragma once

#include <cstdint>

#include <wingdi.h>

#include "ui/painting/region.h"
#include "ui/text/font_engine.h"

namespace kvplatform::ui {

struct Surface {
  uint32_t* pixels = nullptr;  // 0x00RRGGBB, rows of `width`
  int width = 0;
  int height = 0;
  RECT Bounds() const { return RECT{0, 0, width, height}; }
};

inline uint32_t PixelOf(COLORREF c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF ColorOf(uint32_t pixel) {
  return ((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) | ((pixel & 0xFFu) << 16);
}

class Painter {
 public:
  Painter(Surface surface, const Region& clip);

  void FillRect(const RECT& r, COLORREF color);
  void InvertRect(const RECT& r);
  void SetPixel(int x, int y, COLORREF color);
  // From (x0, y0) up to, not including, (x1, y1), as LineTo draws.
  void Line(int x0, int y0, int x1, int y1, COLORREF color, int width);
  // A glyph with its pen position at (x, baseline).
  void Glyph(const ui::Glyph& g, int x, int baseline, COLORREF color);
  void Blit(const Surface& from, int fromX, int fromY, int x, int y, int width, int height, DWORD rop);

 private:
  void Plot(int x, int y, uint32_t pixel);
  Surface surface_;
  Region clip_;
};

}  // namespace kvplatform::ui
