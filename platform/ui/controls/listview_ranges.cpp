#include "ui/controls/listview_ranges.h"

#include <algorithm>

namespace kvplatform::ui {
namespace {

using Range = std::pair<int, int>;

}  // namespace

bool IndexRanges::Contains(int index) const {
  auto it = std::upper_bound(ranges_.begin(), ranges_.end(), index,
                             [](int i, const Range& r) { return i < r.first; });
  return it != ranges_.begin() && std::prev(it)->second >= index;
}

int IndexRanges::Count() const {
  int count = 0;
  for (const Range& r : ranges_) count += r.second - r.first + 1;
  return count;
}

void IndexRanges::Set(int first, int last, bool on) {
  if (first > last) return;
  std::vector<Range> result;
  result.reserve(ranges_.size() + 2);
  for (const Range& r : ranges_) {
    if (r.second < first || r.first > last) {
      result.push_back(r);
      continue;
    }
    // Overlapping: keep the parts outside [first, last].
    if (r.first < first) result.push_back({r.first, first - 1});
    if (r.second > last) result.push_back({last + 1, r.second});
  }
  if (on) {
    result.push_back({first, last});
    std::sort(result.begin(), result.end());
  }
  // Merge ranges that now touch.
  ranges_.clear();
  for (const Range& r : result) {
    if (!ranges_.empty() && ranges_.back().second + 1 >= r.first)
      ranges_.back().second = std::max(ranges_.back().second, r.second);
    else
      ranges_.push_back(r);
  }
}

int IndexRanges::Next(int start, bool above) const {
  if (above) {
    if (start <= 0) return -1;
    for (auto it = ranges_.rbegin(); it != ranges_.rend(); ++it)
      if (it->first < start) return std::min(it->second, start - 1);
    return -1;
  }
  for (const Range& r : ranges_)
    if (r.second > start) return std::max(r.first, start + 1);
  return -1;
}

void IndexRanges::InsertAt(int index) {
  std::vector<Range> result;
  result.reserve(ranges_.size() + 1);
  for (const Range& r : ranges_) {
    if (r.second < index) result.push_back(r);
    else if (r.first >= index) result.push_back({r.first + 1, r.second + 1});
    else {  // split around the new row
      result.push_back({r.first, index - 1});
      result.push_back({index + 1, r.second + 1});
    }
  }
  ranges_.swap(result);
}

void IndexRanges::RemoveAt(int index) {
  std::vector<Range> result;
  result.reserve(ranges_.size());
  for (const Range& r : ranges_) {
    Range moved = r;
    if (moved.first > index) --moved.first;
    if (moved.second >= index) --moved.second;
    if (moved.first > moved.second) continue;  // it held only the removed row
    if (!result.empty() && result.back().second + 1 >= moved.first) result.back().second = moved.second;
    else result.push_back(moved);
  }
  ranges_.swap(result);
}

void IndexRanges::Truncate(int count) { Set(std::max(count, 0), 0x7fffffff, false); }

}  // namespace kvplatform::ui
