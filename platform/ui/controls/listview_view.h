// A list view's state, and how its header and rows are laid out,
// hit-tested and drawn.
#pragma once

#include <functional>
#include <string>

#include "ui/controls/listview_items.h"
#include "ui/controls/listview_ranges.h"

namespace kvplatform::ui {

struct ListViewState {
  ListItems items;
  DWORD extendedStyle = 0;
  int top = 0;           // index of the first row shown
  int focusItem = -1;    // the row with LVIS_FOCUSED
  HFONT font = nullptr;
  bool focused = false;
  int pressedColumn = -1;  // a header button held down
  bool pressingRow = false;
  POINT pressPoint{};
  // LVS_OWNERDATA: `items` holds only the columns and the selection mark;
  // the parent keeps the rows, the control their count and selection.
  bool ownerData = false;
  int ownerCount = 0;
  IndexRanges ownerSelected;
};

// A cell's text as the painter shows it: the control's own, or the parent's.
using CellText = std::function<std::u16string(int row, int column)>;

int ListRowHeight(HWND window, const ListViewState& s);
int ListHeaderHeight(HWND window, const ListViewState& s);
int ListRowsPerPage(HWND window, const ListViewState& s);
// The column whose header is at x, or -1.
int ListColumnAt(const ListViewState& s, int x);

// LVHT_* flags for a point in client coordinates; the row index or -1.
UINT ListHitTest(HWND window, const ListViewState& s, POINT p, int& index, int& subItem);

// `firstShown`, when given, hears the rows about to be drawn before any text is asked for.
void PaintListView(HWND window, const ListViewState& s, const CellText& text,
                   const std::function<void(int first, int last)>& firstShown);

}  // namespace kvplatform::ui
