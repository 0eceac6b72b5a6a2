// The rows and columns of a list view in report view: texts per column, the
// program's parameter and the state bits of each row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <commctrl.h>

namespace kvplatform::ui {

struct ListColumn {
  std::u16string text;
  int format = LVCFMT_LEFT;
  int width = 60;
};

struct ListRow {
  std::vector<std::u16string> texts;  // [0] the item, then its sub-items
  LPARAM param = 0;
  UINT state = 0;  // LVIS_SELECTED, LVIS_FOCUSED
};

// Where the selection mark is after the row `deleted` went, `count` rows left.
int MarkAfterDelete(int mark, int deleted, int count);

class ListItems {
 public:
  int Count() const { return static_cast<int>(rows_.size()); }
  bool Valid(int index) const { return index >= 0 && index < Count(); }
  ListRow& At(int index) { return rows_[static_cast<size_t>(index)]; }
  const ListRow& At(int index) const { return rows_[static_cast<size_t>(index)]; }

  // Index clamped to [0, Count()]; returns where the row went.
  int Insert(int index, ListRow row);
  void Delete(int index);
  void Clear();

  const std::u16string& Text(int index, int subItem) const;
  void SetText(int index, int subItem, std::u16string text);

  // The first row after `start` (-1: from the first) whose parameter matches; -1 when none.
  int FindParam(LPARAM param, int start) const;
  int SelectedCount() const;
  // The next row after `start` in the direction asked with all the LVNI_* state bits wanted.
  int Next(int start, UINT flags) const;

  // Orders the rows with the program's comparison of two parameters. A
  // comparison that changes the rows (it may send us messages) cancels the
  // reordering; an inconsistent one still ends.
  void Sort(PFNLVCOMPARE compare, LPARAM context);

  std::vector<ListColumn> columns;
  int selectionMark = -1;

 private:
  std::vector<ListRow> rows_;
  uint64_t generation_ = 0;  // counts insertions and deletions
};

}  // namespace kvplatform::ui
