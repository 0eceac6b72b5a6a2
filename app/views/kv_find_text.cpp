#include "app/views/kv_find_text.h"

#include <algorithm>
#include <string>
#include <vector>

#include <kvplatform_db.h>

#include "store/messages.h"

namespace {

// How much of the text before the match a row keeps, in narrow characters
// (a wide one, as in Chinese, counts two): little, as the text column holds
// about fifteen, and the match is to show in it whole.
const int KFindBeforeMatch = 5;
// The longest row text; the column cuts it further.
const size_t KFindSnippetLength = 64;

bool IsHighSurrogate(char16_t aUnit) { return (aUnit & 0xFC00) == 0xD800; }
bool IsLowSurrogate(char16_t aUnit) { return (aUnit & 0xFC00) == 0xDC00; }

// Characters of East Asian scripts take about twice the width of a Latin one.
bool IsWide(char16_t aUnit) {
  return (aUnit >= 0x1100 && aUnit <= 0x115F) || (aUnit >= 0x2E80 && aUnit <= 0xA4CF) ||
         (aUnit >= 0xAC00 && aUnit <= 0xD7A3) || (aUnit >= 0xF900 && aUnit <= 0xFAFF) ||
         (aUnit >= 0xFE30 && aUnit <= 0xFE4F) || (aUnit >= 0xFF00 && aUnit <= 0xFF60) || IsHighSurrogate(aUnit);
}

bool Steers(char16_t aUnit) {
  return aUnit < 0x20 || aUnit == 0x7F || (aUnit >= 0x80 && aUnit < 0xA0) || (aUnit >= 0x202A && aUnit <= 0x202E) ||
         (aUnit >= 0x2066 && aUnit <= 0x2069);
}

// Where the row starts: back from aMatch while the budget lasts, never
// inside a surrogate pair.
size_t StartBefore(const std::u16string& aLine, size_t aMatch) {
  size_t start = aMatch;
  int budget = KFindBeforeMatch;
  while (start > 0) {
    size_t previous = start - 1;
    if (IsLowSurrogate(aLine[previous]) && previous > 0 && IsHighSurrogate(aLine[previous - 1])) --previous;
    int cost = IsWide(aLine[previous]) ? 2 : 1;
    if (cost > budget) break;
    budget -= cost;
    start = previous;
  }
  return start;
}

}  // namespace

std::u16string KvFindQueryProblem(const std::u16string& aQuery, bool& aBlank) {
  aBlank = false;
  if (aQuery.size() > static_cast<size_t>(KMaxSearchLength)) {
    const std::string most = std::to_string(KMaxSearchLength);
    return u"Too long to search for: at most " + std::u16string(most.begin(), most.end()) + u" characters.";
  }
  aBlank = kvplatform::FoldForSearch(aQuery).find_first_not_of(u' ') == std::u16string::npos;
  return std::u16string();
}

std::u16string KvFindSnippet(const std::u16string& aLine, const std::u16string& aQuery) {
  std::vector<uint32_t> origins;
  const std::u16string folded = kvplatform::FoldForSearch(aLine, &origins);
  const std::u16string query = kvplatform::FoldForSearch(aQuery);
  size_t at = query.empty() ? std::u16string::npos : folded.find(query);
  size_t start = 0;
  if (at != std::u16string::npos && at < origins.size()) {
    const size_t match = origins[at];
    start = StartBefore(aLine, match);
    // A row cut before a blank starts at the word after it.
    while (start > 0 && start < match && aLine[start] == u' ') ++start;
  }
  size_t length = std::min(KFindSnippetLength, aLine.size() - start);
  if (start + length < aLine.size() && length > 0 && IsHighSurrogate(aLine[start + length - 1])) --length;
  std::u16string shown;
  if (start > 0) shown += u'\u2026';
  for (size_t i = start; i < start + length; ++i) shown += Steers(aLine[i]) ? u' ' : aLine[i];
  if (start + length < aLine.size()) shown += u'\u2026';
  return shown;
}
