// The rows as the list view's code sees them: kept by the control, or with
// LVS_OWNERDATA kept by the parent, which is asked for a row's fields only
// when they are wanted (painting, LVM_GETITEM) while the control keeps the
// count, the selected ranges and the focus.
#pragma once

#include <string>

#include "ui/controls/listview_view.h"

namespace kvplatform::ui {

int RowCount(const ListViewState& s);
bool ValidRow(const ListViewState& s, int index);
UINT RowState(const ListViewState& s, int index);
// Records the selected bit (and for the control's own rows the focus bit);
// the caller keeps focusItem.
void StoreRowState(ListViewState& s, int index, UINT state);
// The row's parameter for notifications; owner data has none of its own.
LPARAM RowParam(const ListViewState& s, int index);
int SelectedRowCount(const ListViewState& s);
// LVM_GETNEXTITEM: after `start` (-1: from the first), LVNI_ABOVE upwards.
int NextRow(const ListViewState& s, int start, UINT flags);

// Owner data: LVN_GETDISPINFO for the fields of `item` other than its state;
// the parent may fill the buffer or point pszText at its own text, which is
// then copied into the caller's buffer. False when the control went away.
bool AskRowFields(HWND window, LVITEMW& item);
std::u16string AskCellText(HWND window, int row, int column);
void HintRows(HWND window, int first, int last);

}  // namespace kvplatform::ui
