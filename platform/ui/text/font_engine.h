// Glyphs from DejaVu Sans through FreeType: one face per (weight, pixel
// size), each glyph rendered once, anti-aliased, and kept.
#pragma once

#include <cstdint>
#include <vector>

namespace kvplatform::ui {

struct Glyph {
  int width = 0;   // coverage bitmap size
  int height = 0;
  int left = 0;    // from the pen position to the bitmap's left edge
  int top = 0;     // from the baseline up to the bitmap's top edge
  int advance = 0; // whole pixels, so measured and drawn widths agree
  bool missing = false;  // the font has no such character: drawn as a box
  std::vector<uint8_t> coverage;
};

class FontFace {
 public:
  virtual ~FontFace() = default;
  virtual const Glyph& GlyphOf(char16_t ch) = 0;
  int ascent = 0;
  int descent = 0;
  int emPixels = 0;
  int averageWidth = 0;
  int maxWidth = 0;
  bool bold = false;
  int Height() const { return ascent + descent; }
};

// Pixel size of the em square; a face for every size asked for is kept.
FontFace& FaceFor(bool bold, int emPixels);
// Converts a LOGFONT height (negative: character height, positive: cell
// height, 0: the system font) to an em size in pixels.
int EmPixelsForHeight(long logicalHeight);

// The Pocket PC's small system font.
constexpr int kSystemFontEm = 11;

}  // namespace kvplatform::ui
