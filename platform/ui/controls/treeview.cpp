// "SysTreeView32": items in a tree with lines and expand buttons; a tap on a
// label selects it, a tap on a button opens or closes it.
#include "ui/controls/treeview.h"

#include <algorithm>

#include "ui/controls/common_control_support.h"
#include "ui/controls/font_and_focus.h"
#include "ui/controls/treeview_view.h"
#include "ui/controls/vertical_scroll.h"
#include "ui/windows/message_point.h"

namespace kvplatform::ui {
namespace {

using State = TreeViewState;

RowScroll ScrollOf(HWND window, const State& s) {
  return RowScroll{static_cast<int>(s.items.VisibleRows().size()), TreeRowsPerPage(window, s)};
}

void UpdateScrollBar(HWND window, State& s) {
  RowScroll scroll = ScrollOf(window, s);
  s.top = scroll.Clamp(s.top);
  ShowOnScrollBar(window, scroll, s.top);
}

void Changed(HWND window, State& s) {
  UpdateScrollBar(window, s);
  InvalidateRect(window, nullptr, TRUE);
}

// Opens every ancestor and scrolls so that the item's row is shown.
void Reveal(HWND window, State& s, TreeItem* item) {
  if (!item) return;
  for (TreeItem* a = item->parent; a && !s.items.IsRoot(a); a = a->parent) a->expanded = true;
  std::vector<TreeItem*> rows = s.items.VisibleRows();
  int row = static_cast<int>(std::find(rows.begin(), rows.end(), item) - rows.begin());
  s.top = ScrollOf(window, s).TopShowing(row, s.top);
  Changed(window, s);
}

TVITEMW Describe(const State& s, TreeItem* item) {
  TVITEMW out{};
  if (!item) return out;
  out.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
  out.hItem = TreeItems::HandleOf(item);
  out.state = (item == s.caret ? TVIS_SELECTED : 0) | (item->expanded ? TVIS_EXPANDED : 0);
  out.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
  out.lParam = item->param;
  return out;
}

// Moves the selection, letting the parent refuse first; false when the
// control went away during a notification.
bool SelectCaret(HWND window, State& s, TreeItem* item, UINT action) {
  if (item == s.caret) return true;
  NMTREEVIEWW change{};
  change.action = action;
  change.itemOld = Describe(s, s.caret);
  change.itemNew = Describe(s, item);
  bool alive = true;
  if (NotifyParent(window, change.hdr, TVN_SELCHANGINGW, alive) != 0 || !alive) return alive;
  s.caret = item;
  Reveal(window, s, item);
  change.itemOld = Describe(s, s.items.Find(change.itemOld.hItem));  // the parent may have deleted it
  change.itemNew = Describe(s, item);
  NotifyParent(window, change.hdr, TVN_SELCHANGEDW, alive);
  return alive;
}

LRESULT OnInsertItem(HWND window, State& s, const TVINSERTSTRUCTW* insert) {
  if (!insert) return 0;
  TreeItem* parent = (insert->hParent == TVI_ROOT || !insert->hParent) ? s.items.Root() : s.items.Find(insert->hParent);
  if (!parent) return 0;
  const TVITEMW& in = insert->item;
  auto item = std::make_unique<TreeItem>();
  if (in.mask & TVIF_TEXT) item->text = TextFrom(in.pszText);
  if (in.mask & TVIF_IMAGE) item->image = in.iImage;
  if (in.mask & TVIF_SELECTEDIMAGE) item->selectedImage = in.iSelectedImage;
  if (in.mask & TVIF_PARAM) item->param = in.lParam;
  if (in.mask & TVIF_CHILDREN) item->childrenFlag = in.cChildren;
  if ((in.mask & TVIF_STATE) && (in.stateMask & TVIS_EXPANDED)) item->expanded = (in.state & TVIS_EXPANDED) != 0;
  TreeItem* added = s.items.Insert(parent, insert->hInsertAfter, std::move(item));
  if (added) Changed(window, s);
  return reinterpret_cast<LRESULT>(TreeItems::HandleOf(added));
}

LRESULT OnDeleteItem(HWND window, State& s, HTREEITEM handle) {
  TreeItem* item = (handle == TVI_ROOT || !handle) ? s.items.Root() : s.items.Find(handle);
  if (!item) return FALSE;
  if (TreeItems::IsWithin(s.caret, item)) s.caret = nullptr;
  if (TreeItems::IsWithin(s.dropHilite, item)) s.dropHilite = nullptr;
  s.items.Delete(item);
  Changed(window, s);
  return TRUE;
}

LRESULT OnExpand(HWND window, State& s, UINT code, HTREEITEM handle) {
  TreeItem* item = s.items.Find(handle);
  if (!item || !TreeItems::HasChildren(item)) return FALSE;
  UINT action = code & TVE_TOGGLE;
  if (action == 0) return FALSE;
  bool expand = action == TVE_TOGGLE ? !item->expanded : action == TVE_EXPAND;
  item->expanded = expand;
  // A selection hidden by closing its parent moves up to the parent.
  if (!expand && s.caret != item && TreeItems::IsWithin(s.caret, item)) s.caret = item;
  Changed(window, s);
  return TRUE;
}

LRESULT OnSelectItem(HWND window, State& s, UINT code, HTREEITEM handle) {
  TreeItem* item = s.items.Find(handle);
  if (handle && !item) return FALSE;
  if (code == TVGN_CARET) return SelectCaret(window, s, item, TVC_UNKNOWN) ? TRUE : FALSE;
  if (code != TVGN_DROPHILITE) return FALSE;
  s.dropHilite = item;
  if (item) Reveal(window, s, item);  // the program shows the tree to point at this item
  InvalidateRect(window, nullptr, TRUE);
  return TRUE;
}

TreeItem* NextVisible(const State& s, TreeItem* item, int delta) {
  std::vector<TreeItem*> rows = s.items.VisibleRows();
  auto it = std::find(rows.begin(), rows.end(), item);
  if (it == rows.end()) return nullptr;
  long index = (it - rows.begin()) + delta;
  return index >= 0 && index < static_cast<long>(rows.size()) ? rows[static_cast<size_t>(index)] : nullptr;
}

LRESULT OnGetNextItem(const State& s, UINT code, HTREEITEM handle) {
  TreeItem* item = s.items.Find(handle);
  TreeItem* found = nullptr;
  switch (code) {
    case TVGN_ROOT: found = s.items.FirstChild(const_cast<State&>(s).items.Root()); break;
    case TVGN_CARET: found = s.caret; break;
    case TVGN_DROPHILITE: found = s.dropHilite; break;
    case TVGN_FIRSTVISIBLE: {
      std::vector<TreeItem*> rows = s.items.VisibleRows();
      found = s.top < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(s.top)] : nullptr;
      break;
    }
    default:
      if (!item) return 0;
      if (code == TVGN_NEXT) found = s.items.NextSibling(item);
      if (code == TVGN_PREVIOUS) found = s.items.PreviousSibling(item);
      if (code == TVGN_PARENT) found = s.items.IsRoot(item->parent) ? nullptr : item->parent;
      if (code == TVGN_CHILD) found = s.items.FirstChild(item);
      if (code == TVGN_NEXTVISIBLE) found = NextVisible(s, item, 1);
      if (code == TVGN_PREVIOUSVISIBLE) found = NextVisible(s, item, -1);
      break;
  }
  return reinterpret_cast<LRESULT>(TreeItems::HandleOf(found));
}

LRESULT OnGetItem(const State& s, TVITEMW* out) {
  TreeItem* item = out ? s.items.Find(out->hItem) : nullptr;
  if (!item) return FALSE;
  if (out->mask & TVIF_TEXT) CopyTextTo(item->text, out->pszText, out->cchTextMax);
  if (out->mask & TVIF_IMAGE) out->iImage = item->image;
  if (out->mask & TVIF_SELECTEDIMAGE) out->iSelectedImage = item->selectedImage;
  if (out->mask & TVIF_PARAM) out->lParam = item->param;
  if (out->mask & TVIF_CHILDREN) out->cChildren = TreeItems::HasChildren(item) ? 1 : 0;
  if (out->mask & TVIF_STATE) {
    UINT state = (item == s.caret ? TVIS_SELECTED : 0) | (item == s.dropHilite ? TVIS_DROPHILITED : 0) |
                 (item->expanded ? TVIS_EXPANDED : 0);
    out->state = state & out->stateMask;
  }
  return TRUE;
}

LRESULT OnHitTest(HWND window, const State& s, TVHITTESTINFO* info) {
  if (!info) return 0;
  TreeItem* item = nullptr;
  info->flags = TreeHitTest(window, s, info->pt, item);
  info->hItem = TreeItems::HandleOf(item);
  return reinterpret_cast<LRESULT>(info->hItem);
}

void OnButtonDown(HWND window, State& s, POINT p) {
  if (GetFocus() != window) SetFocus(window);
  if (!IsWindow(window)) return;
  s.pressing = true;
  s.pressPoint = p;
}

// The parent hears of the click first; unless it answers non-zero, the tap
// opens or closes a button, or selects a label.
void OnButtonUp(HWND window, State& s) {
  if (!s.pressing) return;
  s.pressing = false;
  NMHDR header{};
  bool alive = true;
  if (NotifyParent(window, header, NM_CLICK, alive) != 0 || !alive) return;
  TreeItem* item = nullptr;
  UINT flags = TreeHitTest(window, s, s.pressPoint, item);
  if (flags & TVHT_ONITEMBUTTON) OnExpand(window, s, TVE_TOGGLE, TreeItems::HandleOf(item));
  else if (flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT)) SelectCaret(window, s, item, TVC_BYMOUSE);
}

void OnDoubleTap(HWND window, State& s, POINT p) {
  TreeItem* item = nullptr;
  UINT flags = TreeHitTest(window, s, p, item);
  if (flags & (TVHT_ONITEM | TVHT_ONITEMBUTTON)) OnExpand(window, s, TVE_TOGGLE, TreeItems::HandleOf(item));
}

void OnKeyDown(HWND window, State& s, UINT key) {
  TreeItem* caret = s.caret;
  std::vector<TreeItem*> rows = s.items.VisibleRows();
  if (rows.empty()) return;
  TreeItem* target = nullptr;
  switch (key) {
    case VK_UP: target = caret ? NextVisible(s, caret, -1) : rows.front(); break;
    case VK_DOWN: target = caret ? NextVisible(s, caret, 1) : rows.front(); break;
    case VK_HOME: target = rows.front(); break;
    case VK_END: target = rows.back(); break;
    case VK_LEFT:
      if (caret && caret->expanded) OnExpand(window, s, TVE_COLLAPSE, TreeItems::HandleOf(caret));
      else if (caret && !s.items.IsRoot(caret->parent)) target = caret->parent;
      break;
    case VK_RIGHT:
      if (caret && !caret->expanded && TreeItems::HasChildren(caret)) OnExpand(window, s, TVE_EXPAND, TreeItems::HandleOf(caret));
      else if (caret) target = s.items.FirstChild(caret);
      break;
    default: break;
  }
  if (target) SelectCaret(window, s, target, TVC_BYKEYBOARD);
}

void OnVScroll(HWND window, State& s, WPARAM wParam) {
  std::optional<int> top = ScrolledTop(window, wParam, s.top, ScrollOf(window, s));
  if (!top) return;
  s.top = *top;
  Changed(window, s);
}

LRESULT CALLBACK TreeViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = ControlState<State>(window);
  if (message == WM_NCCREATE) {
    AttachState(window, new State);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (!s) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case TVM_INSERTITEMW: return OnInsertItem(window, *s, reinterpret_cast<const TVINSERTSTRUCTW*>(lParam));
    case TVM_DELETEITEM: return OnDeleteItem(window, *s, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_EXPAND: return OnExpand(window, *s, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_SELECTITEM: return OnSelectItem(window, *s, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETNEXTITEM: return OnGetNextItem(*s, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETITEMW: return OnGetItem(*s, reinterpret_cast<TVITEMW*>(lParam));
    case TVM_HITTEST: return OnHitTest(window, *s, reinterpret_cast<TVHITTESTINFO*>(lParam));
    case WM_LBUTTONDOWN: OnButtonDown(window, *s, PointFromParam(lParam)); return 0;
    case WM_LBUTTONUP: OnButtonUp(window, *s); return 0;
    case WM_LBUTTONDBLCLK: OnDoubleTap(window, *s, PointFromParam(lParam)); return 0;
    case WM_CANCELMODE:
      s->pressing = false;  // a tap-and-hold is no click
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_KEYDOWN: OnKeyDown(window, *s, static_cast<UINT>(wParam)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_VSCROLL: OnVScroll(window, *s, wParam); return 0;
    case WM_SIZE: UpdateScrollBar(window, *s); return 0;
    case WM_SETFONT:
    case WM_GETFONT:
    case WM_SETFOCUS:
    case WM_KILLFOCUS: return OnFontOrFocus(window, message, wParam, s->font, s->focused, [&] { Changed(window, *s); });
    case WM_PAINT: PaintTreeView(window, *s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_DESTROY: DetachState<State>(window); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

void RegisterTreeViewClass() {
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = TreeViewProc;
  wc.cbWndExtra = kStateBytes;
  wc.lpszClassName = WC_TREEVIEWW;
  RegisterClassW(&wc);
}

}  // namespace kvplatform::ui
