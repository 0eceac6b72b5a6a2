#include "ui/controls/listbox_items.h"

#include <algorithm>

namespace kvplatform::ui {

const std::u16string& ListBoxItems::Text(int index) const {
  static const std::u16string kNone;
  return holdsTexts_ ? texts_[static_cast<size_t>(index)] : kNone;
}

LPARAM ListBoxItems::Data(int index) const { return holdsTexts_ ? data_[static_cast<size_t>(index)] : 0; }

int ListBoxItems::Add(std::u16string text) {
  size_t at = selected_.size();
  if (sorted_ && holdsTexts_) {
    auto it = std::upper_bound(texts_.begin(), texts_.end(), text, [](const std::u16string& t, const std::u16string& row) {
      return lstrcmpiW(t.c_str(), row.c_str()) < 0;
    });
    at = static_cast<size_t>(it - texts_.begin());
  }
  return Insert(static_cast<int>(at), std::move(text));
}

int ListBoxItems::Insert(int index, std::u16string text) {
  if (index == -1) index = Count();
  if (index < 0 || index > Count()) return -1;
  if (holdsTexts_) {
    texts_.insert(texts_.begin() + index, std::move(text));
    data_.insert(data_.begin() + index, 0);
  }
  selected_.insert(selected_.begin() + index, 0);
  Shift(index, 1);
  return index;
}

bool ListBoxItems::Remove(int index) {
  if (!Valid(index)) return false;
  if (holdsTexts_) {
    texts_.erase(texts_.begin() + index);
    data_.erase(data_.begin() + index);
  }
  selected_.erase(selected_.begin() + index);
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
  texts_.clear();
  data_.clear();
  selected_.clear();
  caret_ = anchor_ = -1;
}

void ListBoxItems::SetCount(int count) {
  Clear();
  size_t rows = static_cast<size_t>(std::max(count, 0));
  if (holdsTexts_) {
    texts_.resize(rows);
    data_.resize(rows);
  }
  selected_.resize(rows);
}

int ListBoxItems::Current() const {
  if (IsSelected(caret_)) return caret_;
  auto first = std::find(selected_.begin(), selected_.end(), 1);
  return first != selected_.end() ? static_cast<int>(first - selected_.begin()) : -1;
}

int ListBoxItems::SelectedCount() const { return static_cast<int>(std::count(selected_.begin(), selected_.end(), 1)); }

void ListBoxItems::SelectOnly(int index) {
  std::fill(selected_.begin(), selected_.end(), 0);
  if (Valid(index)) selected_[static_cast<size_t>(index)] = 1;
  caret_ = anchor_ = Valid(index) ? index : -1;
}

void ListBoxItems::SetSelected(int index, bool selected) {
  if (index == -1) {
    std::fill(selected_.begin(), selected_.end(), selected ? 1 : 0);
  } else if (Valid(index)) {
    selected_[static_cast<size_t>(index)] = selected ? 1 : 0;
  }
}

void ListBoxItems::SelectFromAnchor(int caret) {
  if (!Valid(caret)) return;
  if (!Valid(anchor_)) anchor_ = caret;
  int low = std::min(anchor_, caret), high = std::max(anchor_, caret);
  for (int i = 0; i < Count(); ++i) selected_[static_cast<size_t>(i)] = i >= low && i <= high ? 1 : 0;
  caret_ = caret;
}

std::vector<bool> ListBoxItems::Selection() const { return std::vector<bool>(selected_.begin(), selected_.end()); }

}  // namespace kvplatform::ui
