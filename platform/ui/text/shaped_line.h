// A line of text as it shows: cut into whole characters (grapheme
// clusters), each taken from the first face that has all of it, put in
// visual order by the bidirectional algorithm and shaped run by run, so
// that letters join, marks sit on their bases and emoji sequences make one
// picture. Text that needs none of this (Latin, Greek, Cyrillic, CJK) is
// laid out a character at a time in whole pixels, as it always was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/text/font_engine.h"

namespace kvplatform::ui {

struct PlacedGlyph {
  const Glyph* glyph = nullptr;
  int x = 0;             // pen position from the line's left edge
  int y = 0;             // up from the baseline
  uint32_t cluster = 0;  // first UTF-16 unit of the character it draws
};

// What one call of the shaper gave, in 26.6 pixels from the run's start:
// kept so tests can shape the same text with the same font and compare.
struct ShapedRun {
  int slot = 0;
  bool bold = false;  // slot 0 is the weight's own face
  int scale = 0;
  bool rtl = false;
  std::u16string text;
  std::vector<uint32_t> glyphIds;
  std::vector<int> xs;
  std::vector<int> ys;
};

struct ShapedLine {
  std::vector<PlacedGlyph> glyphs;  // left to right
  // Per UTF-16 unit: the right edge of its character when the text is
  // measured in logical order (all units of a character share it).
  std::vector<int> ends;
  // Per UTF-16 unit: where its character shows, and in which direction.
  std::vector<int> lefts;
  std::vector<int> rights;
  std::vector<uint8_t> rtl;
  int width = 0;
  bool rightToLeft = false;  // the paragraph's own direction
  std::vector<ShapedRun> runs;
};

// False for text every character of which stands alone, left to right.
bool NeedsShaping(std::u16string_view text);

// Shaped once and kept for a while: lists repaint the same rows.
std::shared_ptr<const ShapedLine> ShapeLine(FontFace& face, std::u16string_view text);

// Where the caret shows for a logical index, from the line's left edge.
int CaretX(const ShapedLine& line, size_t index);
// The logical index at the character boundary nearest to x.
size_t IndexAtX(const ShapedLine& line, int x);

// The runs drawn since the last call (at most the latest few hundred).
void NoteRunsDrawn(const ShapedLine& line);
std::vector<ShapedRun> TakeRunsDrawn();

}  // namespace kvplatform::ui
