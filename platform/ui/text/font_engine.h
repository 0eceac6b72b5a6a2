// Glyphs through FreeType from DejaVu Sans and the fallback faces of
// font_files.h: one face per (weight, pixel size), each glyph rendered
// once, anti-aliased, and kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvplatform::ui {

struct Glyph {
  int width = 0;   // coverage bitmap size
  int height = 0;
  int left = 0;    // from the pen position to the bitmap's left edge
  int top = 0;     // from the baseline up to the bitmap's top edge
  int advance = 0; // whole pixels, so measured and drawn widths agree
  bool missing = false;  // no font has this character: drawn as a box
  std::vector<uint8_t> coverage;
};

class FontFace {
 public:
  virtual ~FontFace() = default;
  // A code point; lines, tables and metrics all follow the weight's own
  // face, whichever face the glyph comes from.
  virtual const Glyph& GlyphOf(char32_t ch) = 0;
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

// Every drawing of a box is noted, so tests can tell that text showed in
// full without comparing pixels of one font version.
void NoteBoxDrawn(char32_t ch);
// The characters drawn as boxes since the last call, each once.
std::u32string TakeBoxesDrawn();

// The Pocket PC's small system font.
constexpr int kSystemFontEm = 11;

}  // namespace kvplatform::ui
