#include "ui/controls/edit_buffer.h"

#include <algorithm>

#include "ui/text/graphemes.h"
#include "ui/text/utf16.h"

namespace kvplatform::ui {

void EditBuffer::SetLimit(size_t limit) { limit_ = limit == 0 ? static_cast<size_t>(0x7FFFFFFE) : limit; }

void EditBuffer::SetText(std::u16string_view text) {
  text_.assign(text);
  anchor_ = caret_ = 0;
}

bool EditBuffer::ReplaceSelection(std::u16string_view insert) {
  size_t from = SelectionStart(), to = SelectionEnd();
  size_t after = text_.size() - (to - from);
  size_t room = after >= limit_ ? 0 : limit_ - after;
  bool cut = insert.size() > room;
  if (cut) {
    // Never keep half of a line break or of a surrogate pair.
    insert = insert.substr(0, CharBoundaryAtOrBefore(insert, room));
    if (!insert.empty() && insert.back() == u'\r') insert.remove_suffix(1);
  }
  text_.replace(from, to - from, insert);
  anchor_ = caret_ = from + insert.size();
  return !cut;
}

size_t EditBuffer::Clamp(size_t index) const {
  index = std::min(index, text_.size());
  if (index > 0 && index < text_.size() && text_[index - 1] == u'\r' && text_[index] == u'\n') --index;
  return CharBoundaryAtOrBefore(text_, index);
}

void EditBuffer::Select(size_t anchor, size_t caret) {
  anchor_ = Clamp(anchor);
  caret_ = Clamp(caret);
}

size_t EditBuffer::PreviousPosition(size_t index) const {
  index = Clamp(index);
  if (index == 0) return 0;
  if (index >= 2 && text_[index - 2] == u'\r' && text_[index - 1] == u'\n') return index - 2;
  // A whole character as readers see it: a flag, an emoji sequence, a
  // letter with its marks.
  return PreviousGraphemeStart(text_, index);
}

size_t EditBuffer::NextPosition(size_t index) const {
  index = Clamp(index);
  if (index >= text_.size()) return text_.size();
  size_t breakLength = BreakLength(index);
  return std::max(index + breakLength, NextGraphemeStart(text_, index));
}

size_t EditBuffer::BreakLength(size_t index) const {
  if (index >= text_.size()) return 0;
  if (text_[index] == u'\r') return index + 1 < text_.size() && text_[index + 1] == u'\n' ? 2 : 1;
  return text_[index] == u'\n' ? 1 : 0;
}

void EditBuffer::Layout(bool multiline, int width, const MeasureText& measure) {
  lines_.clear();
  if (!multiline) {
    lines_.push_back(EditLine{0, text_.size()});
    return;
  }
  std::vector<int> ends;
  size_t paragraph = 0;
  while (true) {
    size_t stop = paragraph;
    while (stop < text_.size() && BreakLength(stop) == 0) ++stop;
    std::u16string_view piece(text_.data() + paragraph, stop - paragraph);
    if (width > 0 && !piece.empty()) {
      ends.clear();
      measure(piece, ends);
    }
    size_t start = 0;
    do {
      size_t rest = piece.size() - start;
      size_t take = rest;
      if (width > 0 && rest > 0) {
        int base = start ? ends[start - 1] : 0;
        size_t fits = 0;
        while (fits < rest && ends[start + fits] - base <= width) ++fits;
        if (fits < rest) {
          // Spaces may hang past the edge; otherwise break after the last
          // space that fits, or inside a word too long for the line.
          size_t end = start + fits;
          if (piece[end] == u' ') {
            while (end < piece.size() && piece[end] == u' ') ++end;
            take = end - start;
          } else {
            size_t space = piece.find_last_of(u' ', end);
            // At least one whole character, so a line always moves on.
            take = (space != std::u16string_view::npos && space >= start)
                       ? space + 1 - start
                       : std::max(CharBoundaryAtOrBefore(piece, end) - start, CharLengthAt(piece, start));
          }
        }
      }
      lines_.push_back(EditLine{paragraph + start, take});
      start += take;
    } while (start < piece.size());
    if (stop >= text_.size()) break;
    paragraph = stop + BreakLength(stop);
  }
}

size_t EditBuffer::LineOf(size_t index) const {
  auto it = std::upper_bound(lines_.begin(), lines_.end(), index,
                             [](size_t i, const EditLine& line) { return i < line.start; });
  return it == lines_.begin() ? 0 : static_cast<size_t>(it - lines_.begin()) - 1;
}

size_t EditBuffer::LineLengthAt(long index) const {
  if (index >= 0) return lines_[LineOf(static_cast<size_t>(index))].length;
  const EditLine& first = lines_[LineOf(SelectionStart())];
  const EditLine& last = lines_[LineOf(SelectionEnd())];
  size_t before = SelectionStart() - first.start;
  size_t lastEnd = last.start + last.length;
  size_t after = lastEnd > SelectionEnd() ? lastEnd - SelectionEnd() : 0;
  return before + after;
}

}  // namespace kvplatform::ui
