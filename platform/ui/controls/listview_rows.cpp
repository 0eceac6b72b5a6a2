#include "ui/controls/listview_rows.h"

#include <algorithm>

#include "ui/controls/common_control_support.h"

namespace kvplatform::ui {

int RowCount(const ListViewState& s) { return s.ownerData ? s.ownerCount : s.items.Count(); }
bool ValidRow(const ListViewState& s, int index) { return index >= 0 && index < RowCount(s); }

UINT RowState(const ListViewState& s, int index) {
  if (!s.ownerData) return s.items.At(index).state;
  return (s.ownerSelected.Contains(index) ? LVIS_SELECTED : 0) | (s.focusItem == index ? LVIS_FOCUSED : 0);
}

void StoreRowState(ListViewState& s, int index, UINT state) {
  if (s.ownerData) s.ownerSelected.Set(index, index, (state & LVIS_SELECTED) != 0);
  else s.items.At(index).state = state;
}

LPARAM RowParam(const ListViewState& s, int index) { return s.ownerData ? 0 : s.items.At(index).param; }

int SelectedRowCount(const ListViewState& s) {
  return s.ownerData ? s.ownerSelected.Count() : s.items.SelectedCount();
}

int NextRow(const ListViewState& s, int start, UINT flags) {
  if (!s.ownerData) return s.items.Next(start, flags);
  bool above = (flags & LVNI_ABOVE) != 0;
  if (flags & LVNI_FOCUSED) {
    int f = s.focusItem;
    bool ahead = above ? (start >= 0 && f < start) : f > start;
    if (f < 0 || !ahead) return -1;
    return (flags & LVNI_SELECTED) && !s.ownerSelected.Contains(f) ? -1 : f;
  }
  if (flags & LVNI_SELECTED) return s.ownerSelected.Next(start, above);
  int next = start < 0 ? (above ? -1 : 0) : start + (above ? -1 : 1);
  return ValidRow(s, next) ? next : -1;
}

bool AskRowFields(HWND window, LVITEMW& item) {
  NMLVDISPINFOW info{};
  info.item = item;
  info.item.mask &= ~static_cast<UINT>(LVIF_STATE);
  if (info.item.mask == 0) return true;
  if ((info.item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) item.pszText[0] = 0;
  bool alive = true;
  NotifyParent(window, info.hdr, LVN_GETDISPINFOW, alive);
  if (item.mask & LVIF_TEXT) {
    // The parent may answer with its own text instead of filling ours.
    if (info.item.pszText != item.pszText) CopyTextTo(TextFrom(info.item.pszText), item.pszText, item.cchTextMax);
  }
  if (item.mask & LVIF_PARAM) item.lParam = info.item.lParam;
  if (item.mask & LVIF_IMAGE) item.iImage = info.item.iImage;
  return alive;
}

std::u16string AskCellText(HWND window, int row, int column) {
  constexpr int kCellChars = 260;
  char16_t buffer[kCellChars] = {};
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = kCellChars;
  AskRowFields(window, item);
  return std::u16string(buffer);
}

void HintRows(HWND window, int first, int last) {
  NMLVCACHEHINT hint{};
  hint.iFrom = first;
  hint.iTo = last;
  bool alive = true;
  NotifyParent(window, hint.hdr, LVN_ODCACHEHINT, alive);
}

}  // namespace kvplatform::ui
