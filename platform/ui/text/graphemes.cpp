#include "ui/text/graphemes.h"

#include <unicode/ubrk.h>

#include <algorithm>
#include <memory>

#include "ui/text/utf16.h"

namespace kvplatform::ui {
namespace {

struct BreakCloser {
  void operator()(UBreakIterator* it) const { ubrk_close(it); }
};

// One iterator per thread: opening one loads ICU's rules.
UBreakIterator* Characters(std::u16string_view text) {
  thread_local std::unique_ptr<UBreakIterator, BreakCloser> iterator;
  UErrorCode status = U_ZERO_ERROR;
  if (!iterator) {
    iterator.reset(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
    if (U_FAILURE(status)) iterator.reset();
  }
  if (!iterator) return nullptr;
  status = U_ZERO_ERROR;
  ubrk_setText(iterator.get(), reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
               &status);
  return U_SUCCESS(status) ? iterator.get() : nullptr;
}

}  // namespace

size_t NextGraphemeStart(std::u16string_view text, size_t index) {
  if (index >= text.size()) return text.size();
  UBreakIterator* it = Characters(text);
  if (!it) return NextCharStart(text, index);
  int32_t next = ubrk_following(it, static_cast<int32_t>(index));
  return next == UBRK_DONE ? text.size() : static_cast<size_t>(next);
}

size_t PreviousGraphemeStart(std::u16string_view text, size_t index) {
  if (index == 0) return 0;
  index = std::min(index, text.size());
  UBreakIterator* it = Characters(text);
  if (!it) return PreviousCharStart(text, index);
  int32_t previous = ubrk_preceding(it, static_cast<int32_t>(index));
  return previous == UBRK_DONE ? 0 : static_cast<size_t>(previous);
}

std::vector<size_t> GraphemeBoundaries(std::u16string_view text) {
  std::vector<size_t> bounds{0};
  UBreakIterator* it = Characters(text);
  for (size_t i = 0; i < text.size();) {
    int32_t next = it ? ubrk_following(it, static_cast<int32_t>(i)) : UBRK_DONE;
    i = next == UBRK_DONE ? NextCharStart(text, i) : static_cast<size_t>(next);
    bounds.push_back(i);
  }
  return bounds;
}

}  // namespace kvplatform::ui
