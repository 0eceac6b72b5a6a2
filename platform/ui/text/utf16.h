// Whole characters in UTF-16 text: a surrogate pair is one character.
#pragma once

#include <cstddef>
#include <string_view>

namespace kvplatform::ui {

constexpr bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Units of the character starting at `index`: 2 for a whole pair, else 1.
constexpr size_t CharLengthAt(std::u16string_view text, size_t index) {
  return index + 1 < text.size() && IsHighSurrogate(text[index]) && IsLowSurrogate(text[index + 1]) ? 2 : 1;
}

// The code point starting at `index` (a lone surrogate stands for itself).
constexpr char32_t CodePointAt(std::u16string_view text, size_t index) {
  if (CharLengthAt(text, index) == 1) return text[index];
  return 0x10000 + ((static_cast<char32_t>(text[index]) - 0xD800) << 10) + (text[index + 1] - 0xDC00);
}

// `index` (at most the length) if a character starts there, else the start
// of the pair it splits.
constexpr size_t CharBoundaryAtOrBefore(std::u16string_view text, size_t index) {
  if (index >= text.size()) return text.size();
  return index > 0 && IsLowSurrogate(text[index]) && IsHighSurrogate(text[index - 1]) ? index - 1 : index;
}

// The start of the character before `index`.
constexpr size_t PreviousCharStart(std::u16string_view text, size_t index) {
  if (index == 0) return 0;
  if (index > text.size()) index = text.size();
  return index >= 2 && IsLowSurrogate(text[index - 1]) && IsHighSurrogate(text[index - 2]) ? index - 2 : index - 1;
}

// The start of the character after the one at `index`.
constexpr size_t NextCharStart(std::u16string_view text, size_t index) {
  return index >= text.size() ? text.size() : index + CharLengthAt(text, index);
}

}  // namespace kvplatform::ui
