// The "LISTBOX" window class: rows kept by ListBoxItems, drawn one line
// each (tab stops for columns), chosen by tapping, dragging or the arrow
// keys, scrolled with the scroll bar and the keyboard.
#include "ui/controls/listbox_window.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls/command_notify.h"
#include "ui/controls/control_state.h"
#include "ui/controls/custom_draw.h"
#include "ui/controls/font_and_focus.h"
#include "ui/controls/listbox_items.h"
#include "ui/controls/listbox_owner_data.h"
#include "ui/controls/row_painter.h"
#include "ui/controls/vertical_scroll.h"
#include "ui/windows/message_point.h"
#include "ui/gdi/shaped_text.h"

namespace kvplatform::ui {
namespace {

constexpr int kTextMargin = 2;
constexpr int kDefaultTabDialogUnits = 32;

struct ListBoxState {
  HWND self = nullptr;
  HFONT font = nullptr;
  ListBoxItems items;
  int top = 0;                // first row shown
  int itemHeight = 15;
  std::vector<int> tabStops;  // pixels from the text's left edge
  bool focused = false;
  bool tracking = false;      // the stylus is down on the list
  bool noData = false;        // the parent holds the rows' lines and data

  ListBoxState(HWND window, DWORD style)
      : self(window),
        items((style & LBS_SORT) != 0 && (style & LBS_NODATA) == 0, (style & LBS_EXTENDEDSEL) != 0,
              (style & LBS_NODATA) == 0),
        noData((style & LBS_NODATA) != 0) {}
};

DWORD StyleOf(const ListBoxState& s) { return static_cast<DWORD>(GetWindowLongW(s.self, GWL_STYLE)); }

// LBN_* to the parent (for a drop-down list, the combo box owning it) when
// the list asks for notifications; false when the parent destroyed the list.
bool NotifyIfAsked(const ListBoxState& s, WORD code) {
  if (!(StyleOf(s) & LBS_NOTIFY)) return true;
  return NotifyCommand(s.self, code);
}

std::u16string RowText(const ListBoxState& s, int index) {
  return s.noData ? AskParentForRow(s.self, index).text : s.items.Text(index);
}

LPARAM RowData(const ListBoxState& s, int index) {
  return s.noData ? AskParentForRow(s.self, index).data : s.items.Data(index);
}

RECT ClientOf(const ListBoxState& s) {
  RECT r{};
  GetClientRect(s.self, &r);
  return r;
}

int VisibleRows(const ListBoxState& s) { return std::max(1, static_cast<int>(ClientOf(s).bottom) / s.itemHeight); }
RowScroll ScrollOf(const ListBoxState& s) { return RowScroll{s.items.Count(), VisibleRows(s)}; }

void UpdateScrollBar(ListBoxState& s) { ShowOnScrollBar(s.self, ScrollOf(s), s.top); }

void Redraw(ListBoxState& s) { InvalidateRect(s.self, nullptr, FALSE); }

void SetTop(ListBoxState& s, int top) {
  s.top = ScrollOf(s).Clamp(top);
  UpdateScrollBar(s);
  Redraw(s);
}

void EnsureVisible(ListBoxState& s, int index) {
  if (!s.items.Valid(index)) return;
  int top = ScrollOf(s).TopShowing(index, s.top);
  if (top != s.top) SetTop(s, top);
}

void MeasureRows(ListBoxState& s) {
  TEXTMETRICW metrics{};
  GetTextMetricsW(FontDc(s.self, s.font).Get(), &metrics);
  s.itemHeight = std::max(1, static_cast<int>(metrics.tmHeight) + 2);
}

// The row under a client point; `outside` when the point is on no row.
int RowAt(const ListBoxState& s, int x, int y, bool& outside) {
  RECT client = ClientOf(s);
  outside = x < 0 || y < 0 || x >= client.right || y >= client.bottom;
  int row = s.top + (y < 0 ? -1 : y / s.itemHeight);
  if (row >= s.items.Count()) {
    outside = true;
    row = s.items.Count() - 1;
  }
  return std::max(row, 0);
}

// ---- drawing ----

int NextTabStop(const ListBoxState& s, int x, int spaceWidth) {
  for (int stop : s.tabStops)
    if (stop > x) return stop;
  if (s.tabStops.size() == 1 && s.tabStops[0] > 0) return (x / s.tabStops[0] + 1) * s.tabStops[0];
  return x + spaceWidth;
}

void DrawRowText(const ListBoxState& s, HDC dc, const std::u16string& text, const RECT& row) {
  bool tabs = (StyleOf(s) & LBS_USETABSTOPS) != 0;
  SIZE space{};
  GetTextExtentPoint32W(dc, u" ", 1, &space);
  int x = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\t', start);
    if (end == std::u16string::npos) end = text.size();
    UINT count = static_cast<UINT>(end - start);
    // A column written wider than it was fitted (in a parent's bold font)
    // is cut at the next stop, so that the columns after it stay in place.
    RECT clip = row;
    int stop = tabs && end != text.size() ? NextTabStop(s, x, space.cx) : -1;
    if (stop > x) clip.right = std::min(clip.right, static_cast<LONG>(row.left + kTextMargin + stop - space.cx / 2));
    int left = row.left + kTextMargin + x;
    // A right-to-left column starts at its right edge, as its readers
    // expect: what does not fit is cut on the left, where it ends.
    std::u16string_view piece(text.data() + start, count);
    if (NeedsShaping(piece)) {
      auto shaped = ShapeOnDc(dc, piece);
      int right = clip.right == row.right ? clip.right - kTextMargin : clip.right;
      if (shaped && shaped->rightToLeft) left = right - shaped->width;
    }
    ExtTextOutW(dc, left, row.top + 1, ETO_CLIPPED, &clip, text.data() + start, count, nullptr);
    if (end == text.size()) break;
    if (stop > x) {
      x = stop;
    } else {
      SIZE size{};
      GetTextExtentPoint32W(dc, text.data() + start, static_cast<int>(count), &size);
      x += size.cx + space.cx;
    }
    start = end + 1;
  }
}

LRESULT OnPaint(ListBoxState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(s.self, &ps);
  RECT client = ClientOf(s);
  PaintListGround(dc, client);
  HGDIOBJ old = SelectObject(dc, FontToDraw(s.font));
  bool enabled = IsWindowEnabled(s.self) != FALSE;
  RowCustomDraw custom(s.self, dc);
  for (int i = s.top; i < s.items.Count(); ++i) {
    RECT row{0, (i - s.top) * s.itemHeight, client.right, (i - s.top + 1) * s.itemHeight};
    if (row.top >= client.bottom) break;
    PaintRow(dc, row, s.items.IsSelected(i) ? RowLook::kSelected : RowLook::kPlain, enabled);
    OwnerDataRow shown = s.noData ? AskParentForRow(s.self, i) : OwnerDataRow{s.items.Text(i), s.items.Data(i)};
    custom.BeforeRow(i, shown.data, row);
    DrawRowText(s, dc, shown.text, row);
    if (s.focused && s.items.Extended() && i == s.items.Caret()) DrawFocusRect(dc, &row);
  }
  SelectObject(dc, old);
  EndPaint(s.self, &ps);
  return 0;
}

// ---- selection by the user ----

// Runs a change of selection and tells the parent when it changed anything.
template <typename Change>
bool UserSelect(ListBoxState& s, Change change) {
  std::vector<bool> before = s.items.Selection();
  change();
  EnsureVisible(s, s.items.Caret());
  Redraw(s);
  if (s.items.Selection() == before) return true;
  return NotifyIfAsked(s, LBN_SELCHANGE);
}

bool SelectByStylus(ListBoxState& s, int row, WPARAM keys, bool first) {
  return UserSelect(s, [&] {
    if (!s.items.Extended()) return s.items.SelectOnly(row);
    if (!first || (keys & MK_SHIFT)) return s.items.SelectFromAnchor(row);
    if (keys & MK_CONTROL) {
      s.items.SetSelected(row, !s.items.IsSelected(row));
      s.items.SetAnchor(row);
      s.items.SetCaret(row);
      return;
    }
    s.items.SelectOnly(row);
  });
}

LRESULT OnStylusDown(ListBoxState& s, int x, int y, WPARAM keys, bool doubleTap) {
  if (GetFocus() != s.self) SetFocus(s.self);
  if (!IsWindow(s.self)) return 0;
  bool outside;
  int row = RowAt(s, x, y, outside);
  if (outside) return 0;
  s.tracking = true;
  SetCapture(s.self);
  HWND self = s.self;
  if (!SelectByStylus(s, row, keys, true)) return 0;
  if (doubleTap && IsWindow(self)) NotifyIfAsked(s, LBN_DBLCLK);
  return 0;
}

LRESULT OnStylusMove(ListBoxState& s, int x, int y) {
  if (!s.tracking || s.items.Count() == 0) return 0;
  // Dragging past the top or bottom edge scrolls the list.
  RECT client = ClientOf(s);
  if (y < 0) SetTop(s, s.top - 1);
  if (y >= client.bottom) SetTop(s, s.top + 1);
  y = std::clamp(y, 0, std::max(0, static_cast<int>(client.bottom) - 1));
  bool outside;
  int row = RowAt(s, std::clamp(x, 0, std::max(0, static_cast<int>(client.right) - 1)), y, outside);
  SelectByStylus(s, row, MK_LBUTTON, false);
  return 0;
}

LRESULT OnStylusUp(ListBoxState& s) {
  s.tracking = false;
  if (GetCapture() == s.self) ReleaseCapture();
  return 0;
}

LRESULT OnKeyDown(ListBoxState& s, UINT key) {
  int count = s.items.Count();
  if (count == 0) return 0;
  int from = s.items.Extended() ? s.items.Caret() : s.items.Current();
  int page = VisibleRows(s);
  int to;
  switch (key) {
    case VK_UP: to = from < 0 ? 0 : from - 1; break;
    case VK_DOWN: to = from + 1; break;
    case VK_PRIOR: to = from - page + 1; break;
    case VK_NEXT: to = from < 0 ? page - 1 : from + page - 1; break;
    case VK_HOME: to = 0; break;
    case VK_END: to = count - 1; break;
    default: return 0;
  }
  to = std::clamp(to, 0, count - 1);
  bool extend = s.items.Extended() && GetKeyState(VK_SHIFT) < 0;
  UserSelect(s, [&] { extend ? s.items.SelectFromAnchor(to) : s.items.SelectOnly(to); });
  return 0;
}

LRESULT OnVScroll(ListBoxState& s, WPARAM wParam) {
  if (std::optional<int> top = ScrolledTop(s.self, wParam, s.top, ScrollOf(s))) SetTop(s, *top);
  return 0;
}

// ---- messages of the program ----

LRESULT OnSetTabStops(ListBoxState& s, int count, const int* stops) {
  int baseX = LOWORD(GetDialogBaseUnits());
  s.tabStops.clear();
  if (count <= 0 || !stops) {
    s.tabStops.push_back(kDefaultTabDialogUnits * baseX / 4);
  } else {
    for (int i = 0; i < count; ++i) s.tabStops.push_back(stops[i] * baseX / 4);
    std::sort(s.tabStops.begin(), s.tabStops.end());
  }
  Redraw(s);
  return TRUE;
}

LRESULT AfterRowsChanged(ListBoxState& s, LRESULT result) {
  s.top = ScrollOf(s).Clamp(s.top);
  UpdateScrollBar(s);
  Redraw(s);
  return result;
}

LRESULT OnGetText(const ListBoxState& s, int index, LPWSTR buffer) {
  if (!s.items.Valid(index) || !buffer) return LB_ERR;
  const std::u16string text = RowText(s, index);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return static_cast<LRESULT>(text.size());
}

LRESULT OnSetCurSel(ListBoxState& s, int index) {
  if (!s.items.Valid(index)) {
    s.items.SelectOnly(-1);
    Redraw(s);
    return LB_ERR;
  }
  s.items.SelectOnly(index);
  EnsureVisible(s, index);
  Redraw(s);
  return index;
}

LRESULT OnSetSel(ListBoxState& s, bool select, int index) {
  if (!s.items.Extended() || (index != -1 && !s.items.Valid(index))) return LB_ERR;
  s.items.SetSelected(index, select);
  if (index != -1) {
    s.items.SetCaret(index);
    s.items.SetAnchor(index);
  }
  Redraw(s);
  return LB_OKAY;
}

LRESULT OnItemFromPoint(const ListBoxState& s, int x, int y) {
  bool outside;
  int row = RowAt(s, x, y, outside);
  return MAKELONG(row, outside ? 1 : 0);
}

LRESULT OnGetItemRect(const ListBoxState& s, int index, RECT* rect) {
  if (!rect || (!s.items.Valid(index) && index != 0)) return LB_ERR;
  RECT client = ClientOf(s);
  *rect = RECT{0, (index - s.top) * s.itemHeight, client.right, (index - s.top + 1) * s.itemHeight};
  return 1;
}

LRESULT OnFocus(ListBoxState& s, bool gained) {
  s.focused = gained;
  if (!gained) OnStylusUp(s);
  Redraw(s);
  return 0;
}

}  // namespace

LRESULT CALLBACK ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    AttachState(window, new ListBoxState(window, static_cast<DWORD>(create->style)));
    return DefWindowProcW(window, message, wParam, lParam);
  }
  auto* s = ControlState<ListBoxState>(window);
  if (!s) return DefWindowProcW(window, message, wParam, lParam);
  auto [x, y] = PointFromParam(lParam);
  int index = static_cast<int>(wParam);
  switch (message) {
    case WM_CREATE:
      MeasureRows(*s);
      OnSetTabStops(*s, 0, nullptr);
      UpdateScrollBar(*s);
      return 0;
    case WM_NCDESTROY:
      DetachState<ListBoxState>(window);
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT: return OnPaint(*s);
    case WM_ERASEBKGND: return 1;
    case WM_SIZE: return AfterRowsChanged(*s, 0);
    case WM_ENABLE: Redraw(*s); return 0;
    case WM_SETFONT:
      s->font = reinterpret_cast<HFONT>(wParam);
      MeasureRows(*s);
      return AfterRowsChanged(*s, 0);
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SETFOCUS: return OnFocus(*s, true);
    case WM_KILLFOCUS: return OnFocus(*s, false);
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN: return OnStylusDown(*s, x, y, wParam, false);
    case WM_LBUTTONDBLCLK: return OnStylusDown(*s, x, y, wParam, true);
    case WM_MOUSEMOVE: return OnStylusMove(*s, x, y);
    case WM_LBUTTONUP:
    case WM_CANCELMODE: return OnStylusUp(*s);
    case WM_CAPTURECHANGED: s->tracking = false; return 0;
    case WM_KEYDOWN: return OnKeyDown(*s, static_cast<UINT>(wParam));
    case WM_VSCROLL: return OnVScroll(*s, wParam);
    case LB_ADDSTRING: {
      auto* text = reinterpret_cast<LPCWSTR>(lParam);
      return AfterRowsChanged(*s, s->items.Add(text && !s->noData ? text : u""));
    }
    case LB_INSERTSTRING: {
      auto* text = reinterpret_cast<LPCWSTR>(lParam);
      return AfterRowsChanged(*s, s->items.Insert(index, text && !s->noData ? text : u""));
    }
    case LB_DELETESTRING:
      return AfterRowsChanged(*s, s->items.Remove(index) ? s->items.Count() : LB_ERR);
    case LB_RESETCONTENT:
      s->items.Clear();
      return AfterRowsChanged(*s, TRUE);
    case LB_SETCOUNT:
      if (!s->noData) return LB_ERR;
      s->items.SetCount(index);
      return AfterRowsChanged(*s, LB_OKAY);
    case LB_GETCOUNT: return s->items.Count();
    case LB_GETTEXT: return OnGetText(*s, index, reinterpret_cast<LPWSTR>(lParam));
    case LB_GETTEXTLEN:
      return s->items.Valid(index) ? static_cast<LRESULT>(RowText(*s, index).size()) : LB_ERR;
    case LB_SETITEMDATA:
      if (!s->items.Valid(index)) return LB_ERR;
      s->items.SetData(index, lParam);
      return TRUE;
    case LB_GETITEMDATA: return s->items.Valid(index) ? RowData(*s, index) : LB_ERR;
    case LB_GETCURSEL: return s->items.Current();
    case LB_SETCURSEL: return OnSetCurSel(*s, index);
    case LB_GETSEL: return s->items.Valid(index) ? (s->items.IsSelected(index) ? 1 : 0) : LB_ERR;
    case LB_SETSEL: return OnSetSel(*s, wParam != 0, static_cast<int>(lParam));
    case LB_GETSELCOUNT: return s->items.Extended() ? s->items.SelectedCount() : LB_ERR;
    case LB_SETTABSTOPS: return OnSetTabStops(*s, index, reinterpret_cast<const int*>(lParam));
    case LB_GETTOPINDEX: return s->top;
    case LB_SETTOPINDEX:
      if (!s->items.Valid(index) && index != 0) return LB_ERR;
      SetTop(*s, index);
      return LB_OKAY;
    case LB_GETITEMHEIGHT: return s->itemHeight;
    case LB_GETITEMRECT: return OnGetItemRect(*s, index, reinterpret_cast<RECT*>(lParam));
    case LB_ITEMFROMPOINT: return OnItemFromPoint(*s, x, y);
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kvplatform::ui
