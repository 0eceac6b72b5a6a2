// Glyphs through FreeType from DejaVu Sans and the fallback faces of
// font_files.h: one face per (weight, pixel size), each glyph rendered
// once, anti-aliased (or in colour, for emoji), and kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct hb_font_t;

namespace kvplatform::ui {

struct Glyph {
  int width = 0;   // coverage bitmap size
  int height = 0;
  int left = 0;    // from the pen position to the bitmap's left edge
  int top = 0;     // from the baseline up to the bitmap's top edge
  int advance = 0; // whole pixels, so measured and drawn widths agree
  bool missing = false;  // no font has this character: drawn as a box
  std::vector<uint8_t> coverage;
  // Colour glyphs only: premultiplied 0xAARRGGBB, in place of coverage.
  std::vector<uint32_t> color;
};

// A face of the fallback chain, where shaping happens: slot 0 is the
// weight's own face, slot 1 + i the fallback face i of font_files.h.
inline constexpr int kFaceSlots = 6;
inline constexpr int kColorSlot = 4;

class FontFace {
 public:
  virtual ~FontFace() = default;
  // A code point; lines, tables and metrics all follow the weight's own
  // face, whichever face the glyph comes from.
  virtual const Glyph& GlyphOf(char32_t ch) = 0;
  // The glyph index of a code point in one slot, 0 when it has none (or
  // its file is not installed).
  virtual uint32_t IndexIn(int slot, char32_t ch) = 0;
  // A shaping font for a slot (null when not installed), scaled so that
  // its positions come in 26.6 pixels; emoji are sized to the line height.
  virtual hb_font_t* ShapingFont(int slot) = 0;
  // The pixel size a slot is shaped at, in 26.6.
  virtual int ShapingScale(int slot) = 0;
  // A glyph by its index in a slot, as shaping names it.
  virtual const Glyph& GlyphAt(int slot, uint32_t index) = 0;
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

// The file name of a slot's font, for tests that shape the same text.
std::string_view SlotFileName(int slot, bool bold = false);
// The path it was opened from, empty when not installed.
std::string SlotFilePath(int slot, bool bold = false);

// The Pocket PC's small system font.
constexpr int kSystemFontEm = 11;

}  // namespace kvplatform::ui
