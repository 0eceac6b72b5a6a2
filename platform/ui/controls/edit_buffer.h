// The text of an edit box and how it falls into lines: line breaks (CR LF,
// or a lone CR or LF as given), wrapping at a width, the caret and the
// selection. No windows here: the edit window keeps one of these.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvplatform::ui {

struct EditLine {
  size_t start = 0;   // index of the line's first character
  size_t length = 0;  // characters shown on the line, without its line break
};

// Fills `ends` with the width in pixels of the text up to and including
// each character (both units of a surrogate pair: the whole character).
using MeasureText = std::function<void(std::u16string_view text, std::vector<int>& ends)>;

class EditBuffer {
 public:
  static constexpr size_t kDefaultLimit = 32767;

  const std::u16string& Text() const { return text_; }
  size_t Length() const { return text_.size(); }
  size_t Limit() const { return limit_; }
  // 0 means as much as memory allows. Text already there stays.
  void SetLimit(size_t limit);

  // Replaces everything (not cut to the limit, as setting the text is not);
  // the caret goes to the start.
  void SetText(std::u16string_view text);
  // Replaces the selection with `insert`, cut to what the limit leaves
  // room for; the caret follows the inserted text. False when cut.
  bool ReplaceSelection(std::u16string_view insert);

  size_t Anchor() const { return anchor_; }
  size_t Caret() const { return caret_; }
  size_t SelectionStart() const { return std::min(anchor_, caret_); }
  size_t SelectionEnd() const { return std::max(anchor_, caret_); }
  bool HasSelection() const { return anchor_ != caret_; }
  // Clamped to the text; a position inside a CR LF pair or a surrogate
  // pair moves before it.
  void Select(size_t anchor, size_t caret);

  // One step left or right, a CR LF pair or a whole character as readers
  // see it (an emoji sequence, a letter with its marks) counting as one.
  size_t PreviousPosition(size_t index) const;
  size_t NextPosition(size_t index) const;

  // Splits the text into lines: at every line break, and (multi-line, with
  // a positive width) after the last space that fits, or inside a word
  // longer than the width (between whole characters).
  void Layout(bool multiline, int width, const MeasureText& measure);
  const std::vector<EditLine>& Lines() const { return lines_; }
  size_t LineCount() const { return lines_.size(); }
  // The line holding a character index (the later line at a wrap).
  size_t LineOf(size_t index) const;
  // EM_LINELENGTH: the length of the line holding `index`; for -1, the
  // characters not selected on the lines the selection touches.
  size_t LineLengthAt(long index) const;

 private:
  size_t BreakLength(size_t index) const;  // 2 for CR LF, 1 for CR or LF, else 0
  size_t Clamp(size_t index) const;

  std::u16string text_;
  size_t limit_ = kDefaultLimit;
  size_t anchor_ = 0;
  size_t caret_ = 0;
  std::vector<EditLine> lines_{EditLine{}};
};

}  // namespace kvplatform::ui
