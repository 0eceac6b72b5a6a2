#include "ui/controls/listview_items.h"

#include <algorithm>

namespace kvplatform::ui {

int ListItems::Insert(int index, ListRow row) {
  index = std::clamp(index, 0, Count());
  rows_.insert(rows_.begin() + index, std::move(row));
  if (selectionMark >= index) ++selectionMark;
  ++generation_;
  return index;
}

void ListItems::Delete(int index) {
  rows_.erase(rows_.begin() + index);
  selectionMark = MarkAfterDelete(selectionMark, index, Count());
  ++generation_;
}

int MarkAfterDelete(int mark, int deleted, int count) {
  // The mark moves with its row; when its own row goes it stays at the same
  // index (the next row), so deleting "from the mark on" walks a selection.
  if (mark > deleted) return mark - 1;
  if (mark == deleted && mark >= count) return count - 1;
  return mark;
}

void ListItems::Clear() {
  rows_.clear();
  selectionMark = -1;
  ++generation_;
}

const std::u16string& ListItems::Text(int index, int subItem) const {
  static const std::u16string empty;
  const ListRow& row = At(index);
  return subItem >= 0 && subItem < static_cast<int>(row.texts.size()) ? row.texts[static_cast<size_t>(subItem)] : empty;
}

void ListItems::SetText(int index, int subItem, std::u16string text) {
  ListRow& row = At(index);
  if (static_cast<int>(row.texts.size()) <= subItem) row.texts.resize(static_cast<size_t>(subItem) + 1);
  row.texts[static_cast<size_t>(subItem)] = std::move(text);
}

int ListItems::FindParam(LPARAM param, int start) const {
  for (int i = std::max(start + 1, 0); i < Count(); ++i)
    if (At(i).param == param) return i;
  return -1;
}

int ListItems::SelectedCount() const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const ListRow& r) { return r.state & LVIS_SELECTED; }));
}

int ListItems::Next(int start, UINT flags) const {
  UINT wanted = flags & (LVNI_SELECTED | LVNI_FOCUSED);
  int step = (flags & LVNI_ABOVE) ? -1 : 1;
  int i = start < 0 ? (step > 0 ? 0 : -1) : start + step;
  for (; i >= 0 && i < Count(); i += step)
    if ((At(i).state & wanted) == wanted) return i;
  return -1;
}

void ListItems::Sort(PFNLVCOMPARE compare, LPARAM context) {
  if (!compare || rows_.size() < 2) return;
  uint64_t before = generation_;
  std::vector<LPARAM> params;
  for (const ListRow& row : rows_) params.push_back(row.param);
  // A bottom-up merge sort of row positions: stable, and it cannot run off
  // the ends whatever the comparison answers.
  std::vector<size_t> order(rows_.size()), merged(rows_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  for (size_t width = 1; width < order.size(); width *= 2) {
    for (size_t left = 0; left < order.size(); left += 2 * width) {
      size_t mid = std::min(left + width, order.size()), right = std::min(left + 2 * width, order.size());
      size_t a = left, b = mid, out = left;
      while (a < mid && b < right)
        merged[out++] = compare(params[order[b]], params[order[a]], context) < 0 ? order[b++] : order[a++];
      while (a < mid) merged[out++] = order[a++];
      while (b < right) merged[out++] = order[b++];
    }
    order.swap(merged);
  }
  if (generation_ != before) return;
  std::vector<ListRow> sorted;
  sorted.reserve(rows_.size());
  int mark = -1;
  for (size_t i = 0; i < order.size(); ++i) {
    if (static_cast<int>(order[i]) == selectionMark) mark = static_cast<int>(i);
    sorted.push_back(std::move(rows_[order[i]]));
  }
  rows_.swap(sorted);
  selectionMark = mark;
}

}  // namespace kvplatform::ui
