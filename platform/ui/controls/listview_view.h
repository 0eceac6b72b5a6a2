// A list view's state, and how its header and rows are laid out,
// hit-tested and drawn.
#pragma once

#include "ui/controls/listview_items.h"

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
};

int ListRowHeight(HWND window, const ListViewState& s);
int ListHeaderHeight(HWND window, const ListViewState& s);
int ListRowsPerPage(HWND window, const ListViewState& s);
// The column whose header is at x, or -1.
int ListColumnAt(const ListViewState& s, int x);

// LVHT_* flags for a point in client coordinates; the row index or -1.
UINT ListHitTest(HWND window, const ListViewState& s, POINT p, int& index, int& subItem);

void PaintListView(HWND window, const ListViewState& s);

}  // namespace kvplatform::ui
