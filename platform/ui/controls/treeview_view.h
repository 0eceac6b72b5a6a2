// A tree view's state, and how its rows are laid out, hit-tested and drawn.
#pragma once

#include "ui/controls/treeview_items.h"

namespace kvplatform::ui {

struct TreeViewState {
  TreeItems items;
  TreeItem* caret = nullptr;       // the selected item
  TreeItem* dropHilite = nullptr;  // the item shown as a drop target
  int top = 0;                     // index of the first visible row shown
  HFONT font = nullptr;
  bool focused = false;
  // A press in progress: where it began, cleared when the hold gesture takes over.
  bool pressing = false;
  POINT pressPoint{};
};

constexpr int kTreeIndent = 16;

int TreeRowHeight(HWND window, const TreeViewState& s);
int TreeRowsPerPage(HWND window, const TreeViewState& s);

// TVHT_* flags for a point in client coordinates; `item` is the row's item
// (null outside the rows).
UINT TreeHitTest(HWND window, const TreeViewState& s, POINT p, TreeItem*& item);

void PaintTreeView(HWND window, const TreeViewState& s);

}  // namespace kvplatform::ui
