#include "ui/controls/listbox_items.h"

#include <algorithm>

namespace kvplatform::ui {

int ListBoxItems::Add(std::u16string text) {
  size_t at = items_.size();
  if (sorted_) {
    auto it = std::upper_bound(items_.begin(), items_.end(), text, [](const std::u16string& t, const ListBoxItem& item) {
      return lstrcmpiW(t.c_str(), item.text.c_str()) < 0;
    });
    at = static_cast<size_t>(it - items_.begin());
  }
  return Insert(static_cast<int>(at), std::move(text));
}

int ListBoxItems::Insert(int index, std::u16string text) {
  if (index == -1) index = Count();
  if (index < 0 || index > Count()) return -1;
  items_.insert(items_.begin() + index, ListBoxItem{std::move(text), 0, false});
  Shift(index, 1);
  return index;
}

bool ListBoxItems::Remove(int index) {
  if (!Valid(index)) return false;
  items_.erase(items_.begin() + index);
  if (caret_ == index) caret_ = std::min(index, Count() - 1);
  else Shift(index + 1, -1);
  if (anchor_ == index) anchor_ = caret_;
  else if (anchor_ > index) --anchor_;
  return true;
}

void ListBoxItems::Shift(int from, int by) {
  if (caret_ >= from) caret_ += by;
  if (by > 0 && anchor_ >= from) anchor_ += by;
}

void ListBoxItems::Clear() {
  items_.clear();
  caret_ = anchor_ = -1;
}

void ListBoxItems::SetCount(int count) {
  Clear();
  items_.resize(static_cast<size_t>(std::max(count, 0)));
}

int ListBoxItems::Current() const {
  if (IsSelected(caret_)) return caret_;
  for (int i = 0; i < Count(); ++i)
    if (At(i).selected) return i;
  return -1;
}

int ListBoxItems::SelectedCount() const {
  return static_cast<int>(std::count_if(items_.begin(), items_.end(), [](const ListBoxItem& i) { return i.selected; }));
}

void ListBoxItems::SelectOnly(int index) {
  for (auto& item : items_) item.selected = false;
  if (Valid(index)) items_[static_cast<size_t>(index)].selected = true;
  caret_ = anchor_ = Valid(index) ? index : -1;
}

void ListBoxItems::SetSelected(int index, bool selected) {
  if (index == -1) {
    for (auto& item : items_) item.selected = selected;
  } else if (Valid(index)) {
    items_[static_cast<size_t>(index)].selected = selected;
  }
}

void ListBoxItems::SelectFromAnchor(int caret) {
  if (!Valid(caret)) return;
  if (!Valid(anchor_)) anchor_ = caret;
  int low = std::min(anchor_, caret), high = std::max(anchor_, caret);
  for (int i = 0; i < Count(); ++i) items_[static_cast<size_t>(i)].selected = i >= low && i <= high;
  caret_ = caret;
}

std::vector<bool> ListBoxItems::Selection() const {
  std::vector<bool> selection;
  selection.reserve(items_.size());
  for (auto& item : items_) selection.push_back(item.selected);
  return selection;
}

}  // namespace kvplatform::ui
