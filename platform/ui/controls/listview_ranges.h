// Which rows of an owner-data list view are selected, kept as sorted,
// disjoint index ranges so that selecting 100,000 rows costs one range.
#pragma once

#include <utility>
#include <vector>

namespace kvplatform::ui {

class IndexRanges {
 public:
  bool Contains(int index) const;
  int Count() const;  // how many indexes are held
  bool Empty() const { return ranges_.empty(); }
  // Adds or removes every index from `first` to `last` inclusive.
  void Set(int first, int last, bool on);
  void Clear() { ranges_.clear(); }
  // The next held index after `start` (-1: the first), or before it when
  // `above`; -1 when there is none.
  int Next(int start, bool above) const;
  // A row went in at `index`: later indexes move down one, the new one is not held.
  void InsertAt(int index);
  // A row went away: its index is dropped, later ones move up one.
  void RemoveAt(int index);
  // Only indexes below `count` stay.
  void Truncate(int count);
  const std::vector<std::pair<int, int>>& Ranges() const { return ranges_; }

 private:
  std::vector<std::pair<int, int>> ranges_;  // [first, last], ascending, never touching
};

}  // namespace kvplatform::ui
