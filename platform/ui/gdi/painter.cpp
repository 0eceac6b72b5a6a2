#include "ui/gdi/painter.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace kvplatform::ui {

Painter::Painter(Surface surface, const Region& clip) : surface_(surface), clip_(clip) {
  clip_.IntersectWith(surface_.Bounds());
}

void Painter::FillRect(const RECT& r, COLORREF color) {
  uint32_t pixel = PixelOf(color);
  for (const RECT& c : clip_.Rects()) {
    RECT area = Intersect(r, c);
    for (int y = area.top; y < area.bottom; ++y)
      std::fill_n(surface_.pixels + y * surface_.width + area.left, area.right - area.left, pixel);
  }
}

void Painter::InvertRect(const RECT& r) {
  for (const RECT& c : clip_.Rects()) {
    RECT area = Intersect(r, c);
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) surface_.pixels[y * surface_.width + x] ^= 0x00FFFFFFu;
  }
}

void Painter::Plot(int x, int y, uint32_t pixel) {
  for (const RECT& c : clip_.Rects())
    if (Contains(c, x, y)) {
      surface_.pixels[y * surface_.width + x] = pixel;
      return;
    }
}

void Painter::SetPixel(int x, int y, COLORREF color) { Plot(x, y, PixelOf(color)); }

void Painter::Line(int x0, int y0, int x1, int y1, COLORREF color, int width) {
  uint32_t pixel = PixelOf(color);
  int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  int half = (std::max(width, 1) - 1) / 2;
  // Bresenham; a wide pen is a square stamped along the line.
  while (x0 != x1 || y0 != y1) {
    if (half == 0)
      Plot(x0, y0, pixel);
    else
      FillRect(RECT{x0 - half, y0 - half, x0 - half + width, y0 - half + width}, color);
    int e2 = 2 * error;
    if (e2 >= dy) {
      error += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

void Painter::Glyph(const ui::Glyph& g, int x, int baseline, COLORREF color) {
  if (g.width == 0 || g.height == 0) return;
  RECT box{x + g.left, baseline - g.top, x + g.left + g.width, baseline - g.top + g.height};
  if (!g.color.empty()) {
    // A colour picture, premultiplied: its own colours over what is there.
    for (const RECT& c : clip_.Rects()) {
      RECT area = Intersect(box, c);
      for (int py = area.top; py < area.bottom; ++py) {
        const uint32_t* row = g.color.data() + (py - box.top) * g.width;
        uint32_t* out = surface_.pixels + py * surface_.width;
        for (int px = area.left; px < area.right; ++px) {
          uint32_t s = row[px - box.left], a = s >> 24;
          if (a == 0) continue;
          uint32_t d = out[px], result = 0;
          for (int shift = 0; shift <= 16; shift += 8) {
            uint32_t v = ((s >> shift) & 0xFF) + ((d >> shift) & 0xFF) * (255 - a) / 255;
            result |= std::min<uint32_t>(v, 255) << shift;
          }
          out[px] = result;
        }
      }
    }
    return;
  }
  const uint32_t r = color & 0xFF, gr = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  for (const RECT& c : clip_.Rects()) {
    RECT area = Intersect(box, c);
    for (int py = area.top; py < area.bottom; ++py) {
      const uint8_t* row = g.coverage.data() + (py - box.top) * g.width;
      uint32_t* out = surface_.pixels + py * surface_.width;
      for (int px = area.left; px < area.right; ++px) {
        uint32_t a = row[px - box.left];
        if (a == 0) continue;
        uint32_t d = out[px];
        uint32_t dr = (d >> 16) & 0xFF, dg = (d >> 8) & 0xFF, db = d & 0xFF;
        dr += ((static_cast<int>(r) - static_cast<int>(dr)) * static_cast<int>(a)) / 255;
        dg += ((static_cast<int>(gr) - static_cast<int>(dg)) * static_cast<int>(a)) / 255;
        db += ((static_cast<int>(b) - static_cast<int>(db)) * static_cast<int>(a)) / 255;
        out[px] = (dr << 16) | (dg << 8) | db;
      }
    }
  }
}

void Painter::Blit(const Surface& original, int fromX, int fromY, int x, int y, int width, int height, DWORD rop) {
  // Copying within one surface (scrolling) reads from a copy.
  std::vector<uint32_t> copy;
  Surface from = original;
  if (original.pixels == surface_.pixels) {
    copy.assign(original.pixels, original.pixels + original.width * original.height);
    from.pixels = copy.data();
  }
  RECT target{x, y, x + width, y + height};
  // Only what exists in the source is copied.
  RECT source = Offset(Intersect(Offset(target, fromX - x, fromY - y), from.Bounds()), x - fromX, y - fromY);
  for (const RECT& c : clip_.Rects()) {
    RECT area = Intersect(source, c);
    for (int py = area.top; py < area.bottom; ++py)
      for (int px = area.left; px < area.right; ++px) {
        uint32_t s = from.pixels[(py - y + fromY) * from.width + (px - x + fromX)];
        uint32_t& d = surface_.pixels[py * surface_.width + px];
        switch (rop) {
          case SRCAND: d &= s; break;
          case SRCPAINT: d |= s; break;
          case SRCINVERT: d ^= s; break;
          default: d = s; break;
        }
      }
  }
}

}  // namespace kvplatform::ui
