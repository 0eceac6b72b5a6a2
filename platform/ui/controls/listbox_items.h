// The rows of a list box and which of them are selected: sorted insertion
// (case-insensitive, as the system sorts list boxes), item data, single or
// extended selection with its anchor and caret. No windows here.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace kvplatform::ui {

class ListBoxItems {
 public:
  // With holdsTexts false (a list whose parent holds the rows' lines and
  // data) only the rows' selection is kept: a list of many thousands of rows
  // costs a byte a row.
  ListBoxItems(bool sorted, bool extended, bool holdsTexts = true)
      : sorted_(sorted), extended_(extended), holdsTexts_(holdsTexts) {}

  int Count() const { return static_cast<int>(selected_.size()); }
  bool Valid(int index) const { return index >= 0 && index < Count(); }
  // Empty, and 0, for a list that holds no texts.
  const std::u16string& Text(int index) const;
  LPARAM Data(int index) const;
  void SetData(int index, LPARAM data) {
    if (holdsTexts_) data_[static_cast<size_t>(index)] = data;
  }
  bool Extended() const { return extended_; }

  // At its sorted place (after equal texts) or at the end; the index.
  int Add(std::u16string text);
  // Before `index` (-1: at the end), never sorted. -1 when out of range.
  int Insert(int index, std::u16string text);
  bool Remove(int index);
  void Clear();
  // `count` rows without text, none selected (a list whose rows the parent holds).
  void SetCount(int count);

  // Single selection: the selected row. Extended: the caret row when it is
  // selected, else the first selected row. -1 when nothing is selected.
  int Current() const;
  int Caret() const { return caret_; }
  int Anchor() const { return anchor_; }
  bool IsSelected(int index) const { return Valid(index) && selected_[static_cast<size_t>(index)] != 0; }
  int SelectedCount() const;

  // Only this row selected (-1: none); caret and anchor move to it.
  void SelectOnly(int index);
  // Extended: sets one row (-1: every row) without touching the others.
  void SetSelected(int index, bool selected);
  // Extended: exactly the rows from the anchor to `caret` are selected.
  void SelectFromAnchor(int caret);
  void SetCaret(int caret) { caret_ = caret; }
  void SetAnchor(int anchor) { anchor_ = anchor; }

  // A fingerprint of the selection, to tell whether an action changed it.
  std::vector<bool> Selection() const;

 private:
  void Shift(int from, int by);

  bool sorted_;
  bool extended_;
  bool holdsTexts_;
  // One entry a row; texts and data only when the list holds them.
  std::vector<std::u16string> texts_;
  std::vector<LPARAM> data_;
  std::vector<unsigned char> selected_;
  int caret_ = -1;
  int anchor_ = -1;
};

}  // namespace kvplatform::ui
