// "SysListView32" in report view: rows of column texts under clickable
// headers, selected by taps (Ctrl and Shift for several) and the keyboard.
// With LVS_OWNERDATA the parent keeps the rows and is asked only for those
// being painted; the control keeps their count and selected ranges.
#include "ui/controls/listview.h"

#include <algorithm>

#include "ui/controls/common_control_support.h"
#include "ui/controls/font_and_focus.h"
#include "ui/controls/listview_rows.h"
#include "ui/controls/listview_view.h"
#include "ui/controls/vertical_scroll.h"
#include "ui/windows/message_point.h"

namespace kvplatform::ui {
namespace {

using State = ListViewState;

bool SingleSelection(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & LVS_SINGLESEL) != 0; }

RowScroll ScrollOf(HWND window, const State& s) { return RowScroll{RowCount(s), ListRowsPerPage(window, s)}; }

void UpdateScrollBar(HWND window, State& s) {
  RowScroll scroll = ScrollOf(window, s);
  s.top = scroll.Clamp(s.top);
  ShowOnScrollBar(window, scroll, s.top);
}

void Changed(HWND window, State& s) {
  UpdateScrollBar(window, s);
  InvalidateRect(window, nullptr, TRUE);
}

void EnsureVisible(HWND window, State& s, int index) {
  s.top = ScrollOf(window, s).TopShowing(index, s.top);
  Changed(window, s);
}

// Every state change goes through here: the parent may refuse it
// (LVN_ITEMCHANGING), then hears of it. False when the control went away.
bool SetRowState(HWND window, State& s, int index, UINT state, UINT mask) {
  mask &= LVIS_SELECTED | LVIS_FOCUSED;
  if (!ValidRow(s, index)) return true;
  UINT old = RowState(s, index), updated = (old & ~mask) | (state & mask);
  if (updated == old) return true;
  if ((updated & LVIS_FOCUSED) && s.focusItem != index && ValidRow(s, s.focusItem))
    if (!SetRowState(window, s, s.focusItem, 0, LVIS_FOCUSED)) return false;
  if ((updated & ~old & LVIS_SELECTED) && SingleSelection(window))
    for (int i = NextRow(s, -1, LVNI_SELECTED); i != -1; i = NextRow(s, i, LVNI_SELECTED))
      if (i != index && !SetRowState(window, s, i, 0, LVIS_SELECTED)) return false;
  NMLISTVIEW change{};
  change.iItem = index;
  change.uNewState = updated;
  change.uOldState = old;
  change.uChanged = LVIF_STATE;
  change.lParam = RowParam(s, index);
  bool alive = true;
  if (NotifyParent(window, change.hdr, LVN_ITEMCHANGING, alive) != 0 || !alive) return alive;
  if (!ValidRow(s, index)) return true;  // the parent deleted it meanwhile
  StoreRowState(s, index, updated);
  if (updated & LVIS_FOCUSED) s.focusItem = index;
  else if (s.focusItem == index) s.focusItem = -1;
  InvalidateRect(window, nullptr, TRUE);
  NotifyParent(window, change.hdr, LVN_ITEMCHANGED, alive);
  return alive;
}

// Owner data: many rows change at once, told in one LVN_ITEMCHANGED for
// item -1 when `first` is -1 (every row), else in LVN_ODSTATECHANGED.
bool TellRangeChanged(HWND window, int first, int last, UINT updated, UINT old) {
  bool alive = true;
  InvalidateRect(window, nullptr, TRUE);
  if (first < 0) {
    NMLISTVIEW change{};
    change.iItem = -1;
    change.uNewState = updated;
    change.uOldState = old;
    change.uChanged = LVIF_STATE;
    NotifyParent(window, change.hdr, LVN_ITEMCHANGED, alive);
    return alive;
  }
  NMLVODSTATECHANGE change{};
  change.iFrom = first;
  change.iTo = last;
  change.uNewState = updated;
  change.uOldState = old;
  NotifyParent(window, change.hdr, LVN_ODSTATECHANGED, alive);
  return alive;
}

bool DeselectAllBut(HWND window, State& s, int keep) {
  if (s.ownerData) {
    bool keepIt = keep >= 0 && s.ownerSelected.Contains(keep);
    if (s.ownerSelected.Count() == (keepIt ? 1 : 0)) return true;
    s.ownerSelected.Clear();
    if (keepIt) s.ownerSelected.Set(keep, keep, true);
    return TellRangeChanged(window, -1, -1, 0, LVIS_SELECTED);
  }
  for (int i = NextRow(s, -1, LVNI_SELECTED); i != -1; i = NextRow(s, i, LVNI_SELECTED))
    if (i != keep && !SetRowState(window, s, i, 0, LVIS_SELECTED)) return false;
  return true;
}

// Exactly the rows from `from` to `to` selected.
bool SelectOnlyRange(HWND window, State& s, int from, int to) {
  if (!s.ownerData) {
    for (int i = 0; i < s.items.Count(); ++i)
      if (!SetRowState(window, s, i, (i >= from && i <= to) ? LVIS_SELECTED : 0, LVIS_SELECTED)) return false;
    return true;
  }
  if (!DeselectAllBut(window, s, -1)) return false;
  s.ownerSelected.Set(from, to, true);
  return TellRangeChanged(window, from, to, LVIS_SELECTED, 0);
}

LRESULT OnInsertColumn(HWND window, State& s, int index, const LVCOLUMNW* in) {
  if (!in || index < 0) return -1;
  ListColumn column;
  if (in->mask & LVCF_FMT) column.format = in->fmt;
  if (in->mask & LVCF_WIDTH) column.width = std::max(0, in->cx);
  if (in->mask & LVCF_TEXT) column.text = TextFrom(in->pszText);
  auto& columns = s.items.columns;
  index = std::min(index, static_cast<int>(columns.size()));
  columns.insert(columns.begin() + index, std::move(column));
  InvalidateRect(window, nullptr, TRUE);
  return index;
}

// Owner data: a row of the parent's went in at the index; later rows move
// down with their states, so the parent need not reselect them.
LRESULT OnInsertOwnerRow(HWND window, State& s, int index) {
  index = std::clamp(index, 0, s.ownerCount);
  ++s.ownerCount;
  s.ownerSelected.InsertAt(index);
  if (s.focusItem >= index) ++s.focusItem;
  if (s.items.selectionMark >= index) ++s.items.selectionMark;
  Changed(window, s);
  return index;
}

LRESULT OnInsertItem(HWND window, State& s, const LVITEMW* in) {
  if (!in || in->iSubItem != 0 || in->iItem < 0) return -1;
  if (s.ownerData) return OnInsertOwnerRow(window, s, in->iItem);
  ListRow row;
  row.texts.resize(1);
  if (in->mask & LVIF_TEXT) row.texts[0] = TextFrom(in->pszText);
  if (in->mask & LVIF_PARAM) row.param = in->lParam;
  UINT state = (in->mask & LVIF_STATE) ? in->state & in->stateMask & (LVIS_SELECTED | LVIS_FOCUSED) : 0;
  int index = s.items.Insert(in->iItem, std::move(row));
  if (s.focusItem >= index) ++s.focusItem;
  Changed(window, s);
  if (state && !SetRowState(window, s, index, state, state)) return -1;
  return index;
}

LRESULT OnSetItem(HWND window, State& s, const LVITEMW* in) {
  if (!in || !ValidRow(s, in->iItem) || in->iSubItem < 0) return FALSE;
  if (s.ownerData) {  // only the state is the control's to keep
    if (in->iSubItem == 0 && (in->mask & LVIF_STATE)) SetRowState(window, s, in->iItem, in->state, in->stateMask);
    return TRUE;
  }
  if (in->mask & LVIF_TEXT) s.items.SetText(in->iItem, in->iSubItem, TextFrom(in->pszText));
  if (in->iSubItem == 0 && (in->mask & LVIF_PARAM)) s.items.At(in->iItem).param = in->lParam;
  InvalidateRect(window, nullptr, TRUE);
  if (in->iSubItem == 0 && (in->mask & LVIF_STATE)) SetRowState(window, s, in->iItem, in->state, in->stateMask);
  return TRUE;
}

LRESULT OnSetItemText(HWND window, State& s, int index, const LVITEMW* in) {
  if (!in || s.ownerData || !s.items.Valid(index) || in->iSubItem < 0) return FALSE;
  s.items.SetText(index, in->iSubItem, TextFrom(in->pszText));
  InvalidateRect(window, nullptr, TRUE);
  return TRUE;
}

LRESULT OnGetItem(HWND window, const State& s, LVITEMW* out) {
  if (!out || !ValidRow(s, out->iItem)) return FALSE;
  if (s.ownerData) {
    if (out->mask & LVIF_STATE) out->state = RowState(s, out->iItem) & out->stateMask;
    AskRowFields(window, *out);
    return TRUE;
  }
  const ListRow& row = s.items.At(out->iItem);
  if (out->mask & LVIF_TEXT) CopyTextTo(s.items.Text(out->iItem, out->iSubItem), out->pszText, out->cchTextMax);
  if (out->mask & LVIF_PARAM) out->lParam = row.param;
  if (out->mask & LVIF_STATE) out->state = row.state & out->stateMask;
  return TRUE;
}

LRESULT OnGetItemText(HWND window, const State& s, int index, LVITEMW* out) {
  if (!out || !ValidRow(s, index)) return 0;
  if (s.ownerData) {
    LVITEMW item = *out;
    item.mask = LVIF_TEXT;
    item.iItem = index;
    AskRowFields(window, item);
    return item.pszText ? lstrlenW(item.pszText) : 0;
  }
  return CopyTextTo(s.items.Text(index, out->iSubItem), out->pszText, out->cchTextMax);
}

LRESULT OnSetItemState(HWND window, State& s, int index, const LVITEMW* in) {
  if (!in) return FALSE;
  if (index != -1) {
    if (!ValidRow(s, index)) return FALSE;
    bool markIt = s.items.selectionMark == -1 && (in->stateMask & in->state & LVIS_SELECTED);
    if (!SetRowState(window, s, index, in->state, in->stateMask)) return TRUE;
    if (markIt && (RowState(s, index) & LVIS_SELECTED)) s.items.selectionMark = index;
    return TRUE;
  }
  if (s.ownerData) {  // every row at once, as one range; focus is one row's
    if (!(in->stateMask & LVIS_SELECTED) || s.ownerCount == 0) return TRUE;
    bool on = (in->state & LVIS_SELECTED) && !SingleSelection(window);
    if (on) s.ownerSelected.Set(0, s.ownerCount - 1, true);
    else s.ownerSelected.Clear();
    TellRangeChanged(window, -1, -1, on ? LVIS_SELECTED : 0, on ? 0 : LVIS_SELECTED);
    return TRUE;
  }
  for (int i = 0; i < s.items.Count(); ++i)
    if (!SetRowState(window, s, i, in->state, in->stateMask)) break;
  return TRUE;
}

LRESULT OnDeleteItem(HWND window, State& s, int index) {
  if (!ValidRow(s, index)) return FALSE;
  if (s.ownerData) {
    --s.ownerCount;
    s.ownerSelected.RemoveAt(index);
    s.items.selectionMark = MarkAfterDelete(s.items.selectionMark, index, s.ownerCount);
  } else {
    s.items.Delete(index);
  }
  if (s.focusItem == index) s.focusItem = -1;
  else if (s.focusItem > index) --s.focusItem;
  Changed(window, s);
  return TRUE;
}

LRESULT OnDeleteAll(HWND window, State& s) {
  s.items.Clear();
  s.ownerCount = 0;
  s.ownerSelected.Clear();
  s.focusItem = -1;
  s.top = 0;
  Changed(window, s);
  return TRUE;
}

// Owner data: the parent's rows now number `count`; states of rows past the
// end go. The view stays where it is unless it would show nothing.
LRESULT OnSetItemCount(HWND window, State& s, int count, DWORD flags) {
  if (!s.ownerData) return FALSE;
  s.ownerCount = std::max(count, 0);
  s.ownerSelected.Truncate(s.ownerCount);
  if (s.focusItem >= s.ownerCount) s.focusItem = -1;
  if (s.items.selectionMark >= s.ownerCount) s.items.selectionMark = -1;
  UpdateScrollBar(window, s);
  if (!(flags & LVSICF_NOINVALIDATEALL)) InvalidateRect(window, nullptr, TRUE);
  return TRUE;
}

LRESULT OnSortItems(HWND window, State& s, LPARAM context, PFNLVCOMPARE compare) {
  if (!compare || s.ownerData) return FALSE;  // the parent orders its own rows
  s.items.Sort(compare, context);
  if (!IsWindow(window)) return FALSE;
  s.focusItem = s.items.Next(-1, LVNI_FOCUSED);
  InvalidateRect(window, nullptr, TRUE);
  return TRUE;
}

LRESULT OnFindItem(HWND window, const State& s, int start, const LVFINDINFOW* find) {
  if (!find) return -1;
  if (s.ownerData) {  // only the parent knows its rows
    NMLVFINDITEMW ask{};
    ask.iStart = start + 1;
    ask.lvfi = *find;
    bool alive = true;
    LRESULT found = NotifyParent(window, ask.hdr, LVN_ODFINDITEMW, alive);
    return alive && ValidRow(s, static_cast<int>(found)) ? found : -1;
  }
  if (!(find->flags & LVFI_PARAM)) return -1;
  return s.items.FindParam(find->lParam, start);
}

LRESULT OnHitTest(HWND window, const State& s, LVHITTESTINFO* info) {
  if (!info) return -1;
  info->flags = ListHitTest(window, s, info->pt, info->iItem, info->iSubItem);
  return info->iItem;
}

LRESULT OnSetExtendedStyle(HWND window, State& s, DWORD mask, DWORD styles) {
  DWORD old = s.extendedStyle;
  if (mask == 0) mask = 0xFFFFFFFF;
  s.extendedStyle = (old & ~mask) | (styles & mask);
  InvalidateRect(window, nullptr, TRUE);
  return old;
}

// ---- input -----------------------------------------------------------------------

bool Notify(HWND window, UINT code, int index, int subItem, POINT p) {
  NMITEMACTIVATE info{};
  info.iItem = index;
  info.iSubItem = subItem;
  info.ptAction = p;
  if (GetKeyState(VK_CONTROL) < 0) info.uKeyFlags |= LVKF_CONTROL;
  if (GetKeyState(VK_SHIFT) < 0) info.uKeyFlags |= LVKF_SHIFT;
  bool alive = true;
  NotifyParent(window, info.hdr, code, alive);
  return alive;
}

// A tap on a row: alone it selects just that row; with Ctrl it toggles the
// row; with Shift it selects from the selection mark to the row.
bool SelectByTap(HWND window, State& s, int index, WPARAM keys) {
  bool several = !SingleSelection(window);
  if (several && (keys & MK_CONTROL)) {
    UINT selected = RowState(s, index) & LVIS_SELECTED;
    if (!SetRowState(window, s, index, (selected ^ LVIS_SELECTED) | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED)) return false;
    s.items.selectionMark = index;
    return true;
  }
  if (several && (keys & MK_SHIFT) && ValidRow(s, s.items.selectionMark)) {
    int from = std::min(s.items.selectionMark, index), to = std::max(s.items.selectionMark, index);
    if (!SelectOnlyRange(window, s, from, to)) return false;
    return SetRowState(window, s, index, LVIS_FOCUSED, LVIS_FOCUSED);
  }
  if (!DeselectAllBut(window, s, index)) return false;
  if (!SetRowState(window, s, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED)) return false;
  s.items.selectionMark = index;
  return true;
}

void OnButtonDown(HWND window, State& s, POINT p, WPARAM keys) {
  if (GetFocus() != window) SetFocus(window);
  if (!IsWindow(window)) return;
  if (p.y < ListHeaderHeight(window, s)) {
    s.pressedColumn = ListColumnAt(s, p.x);
    if (s.pressedColumn >= 0) SetCapture(window);
    InvalidateRect(window, nullptr, TRUE);
    return;
  }
  int index, subItem;
  ListHitTest(window, s, p, index, subItem);
  if (index >= 0 ? !SelectByTap(window, s, index, keys) : !DeselectAllBut(window, s, -1)) return;
  s.pressingRow = true;
  s.pressPoint = p;
}

void OnButtonUp(HWND window, State& s, POINT p) {
  if (s.pressedColumn >= 0) {
    int column = s.pressedColumn;
    s.pressedColumn = -1;
    ReleaseCapture();
    InvalidateRect(window, nullptr, TRUE);
    if (p.y >= 0 && p.y < ListHeaderHeight(window, s) && ListColumnAt(s, p.x) == column)
      Notify(window, LVN_COLUMNCLICK, -1, column, p);
    return;
  }
  if (!s.pressingRow) return;
  s.pressingRow = false;
  int index, subItem;
  ListHitTest(window, s, s.pressPoint, index, subItem);
  Notify(window, NM_CLICK, index, subItem, s.pressPoint);
}

// The second tap of a double tap opens the item.
void OnDoubleTap(HWND window, State& s, POINT p) {
  if (p.y < ListHeaderHeight(window, s)) return;
  int index, subItem;
  ListHitTest(window, s, p, index, subItem);
  if (!Notify(window, NM_DBLCLK, index, subItem, p)) return;
  if (index >= 0) Notify(window, LVN_ITEMACTIVATE, index, subItem, p);
}

void OnCancelMode(HWND window, State& s) {
  s.pressingRow = false;
  if (s.pressedColumn >= 0) {
    s.pressedColumn = -1;
    InvalidateRect(window, nullptr, TRUE);
  }
  if (GetCapture() == window) ReleaseCapture();
}

void OnKeyDown(HWND window, State& s, UINT key) {
  int count = RowCount(s);
  if (count == 0) return;
  int current = s.focusItem, page = ListRowsPerPage(window, s), target;
  switch (key) {
    case VK_UP: target = current < 0 ? 0 : current - 1; break;
    case VK_DOWN: target = current < 0 ? 0 : current + 1; break;
    case VK_PRIOR: target = current - page; break;
    case VK_NEXT: target = current + page; break;
    case VK_HOME: target = 0; break;
    case VK_END: target = count - 1; break;
    case VK_RETURN:
      if (current >= 0) Notify(window, LVN_ITEMACTIVATE, current, 0, POINT{});
      return;
    default: return;
  }
  target = std::clamp(target, 0, count - 1);
  if (!SelectByTap(window, s, target, 0)) return;
  EnsureVisible(window, s, target);
}

void OnVScroll(HWND window, State& s, WPARAM wParam) {
  std::optional<int> top = ScrolledTop(window, wParam, s.top, ScrollOf(window, s));
  if (!top) return;
  s.top = *top;
  Changed(window, s);
}

void Paint(HWND window, const State& s) {
  if (!s.ownerData) {
    PaintListView(window, s, [&](int row, int column) { return s.items.Text(row, column); }, nullptr);
    return;
  }
  PaintListView(window, s, [&](int row, int column) { return AskCellText(window, row, column); },
                [&](int first, int last) { HintRows(window, first, last); });
}

LRESULT CALLBACK ListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = ControlState<State>(window);
  if (message == WM_NCCREATE) {
    auto* state = new State;
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    state->ownerData = create != nullptr && (create->style & LVS_OWNERDATA) != 0;
    AttachState(window, state);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (!s) return DefWindowProcW(window, message, wParam, lParam);
  int index = static_cast<int>(static_cast<INT_PTR>(wParam));
  switch (message) {
    case LVM_INSERTCOLUMNW: return OnInsertColumn(window, *s, index, reinterpret_cast<const LVCOLUMNW*>(lParam));
    case LVM_INSERTITEMW: return OnInsertItem(window, *s, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_SETITEMW: return OnSetItem(window, *s, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_SETITEMTEXTW: return OnSetItemText(window, *s, index, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMW: return OnGetItem(window, *s, reinterpret_cast<LVITEMW*>(lParam));
    case LVM_GETITEMTEXTW: return OnGetItemText(window, *s, index, reinterpret_cast<LVITEMW*>(lParam));
    case LVM_SETITEMSTATE: return OnSetItemState(window, *s, index, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMSTATE: return ValidRow(*s, index) ? RowState(*s, index) & static_cast<UINT>(lParam) : 0;
    case LVM_DELETEITEM: return OnDeleteItem(window, *s, index);
    case LVM_DELETEALLITEMS: return OnDeleteAll(window, *s);
    case LVM_GETITEMCOUNT: return RowCount(*s);
    case LVM_SETITEMCOUNT: return OnSetItemCount(window, *s, index, static_cast<DWORD>(lParam));
    case LVM_GETNEXTITEM: return NextRow(*s, index, static_cast<UINT>(lParam));
    case LVM_GETSELECTEDCOUNT: return SelectedRowCount(*s);
    case LVM_GETSELECTIONMARK: return s->items.selectionMark;
    case LVM_SETSELECTIONMARK: {
      int old = s->items.selectionMark;
      s->items.selectionMark = ValidRow(*s, static_cast<int>(lParam)) ? static_cast<int>(lParam) : -1;
      return old;
    }
    case LVM_FINDITEMW: return OnFindItem(window, *s, index, reinterpret_cast<const LVFINDINFOW*>(lParam));
    case LVM_SORTITEMS: return OnSortItems(window, *s, static_cast<LPARAM>(wParam), reinterpret_cast<PFNLVCOMPARE>(lParam));
    case LVM_HITTEST: return OnHitTest(window, *s, reinterpret_cast<LVHITTESTINFO*>(lParam));
    case LVM_SETEXTENDEDLISTVIEWSTYLE:
      return OnSetExtendedStyle(window, *s, static_cast<DWORD>(wParam), static_cast<DWORD>(lParam));
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return s->extendedStyle;
    case WM_LBUTTONDOWN: OnButtonDown(window, *s, PointFromParam(lParam), wParam); return 0;
    case WM_LBUTTONUP: OnButtonUp(window, *s, PointFromParam(lParam)); return 0;
    case WM_LBUTTONDBLCLK: OnDoubleTap(window, *s, PointFromParam(lParam)); return 0;
    case WM_CANCELMODE: OnCancelMode(window, *s); return 0;
    case WM_KEYDOWN: OnKeyDown(window, *s, static_cast<UINT>(wParam)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_VSCROLL: OnVScroll(window, *s, wParam); return 0;
    case WM_SIZE: UpdateScrollBar(window, *s); return 0;
    case WM_SETFONT:
    case WM_GETFONT:
    case WM_SETFOCUS:
    case WM_KILLFOCUS: return OnFontOrFocus(window, message, wParam, s->font, s->focused, [&] { Changed(window, *s); });
    case WM_PAINT: Paint(window, *s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_DESTROY: DetachState<State>(window); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

void RegisterListViewClass() {
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ListViewProc;
  wc.cbWndExtra = kStateBytes;
  wc.lpszClassName = WC_LISTVIEWW;
  RegisterClassW(&wc);
}

}  // namespace kvplatform::ui
