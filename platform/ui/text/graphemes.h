// Whole characters as readers see them (grapheme clusters): a letter with
// its marks, a Devanagari syllable, a flag or an emoji sequence.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace kvplatform::ui {

// The start of the character after the one at `index`, or the length.
size_t NextGraphemeStart(std::u16string_view text, size_t index);
// The start of the character before `index`, or 0.
size_t PreviousGraphemeStart(std::u16string_view text, size_t index);
// Every boundary, 0 and the length included.
std::vector<size_t> GraphemeBoundaries(std::u16string_view text);

}  // namespace kvplatform::ui
