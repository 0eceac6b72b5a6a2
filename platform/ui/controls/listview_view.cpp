#include "ui/controls/listview_view.h"

#include <algorithm>

#include "ui/controls/common_control_support.h"
#include "ui/controls/custom_draw.h"
#include "ui/controls/font_and_focus.h"
#include "ui/controls/row_painter.h"
#include "ui/controls/listview_rows.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"

namespace kvplatform::ui {
namespace {

constexpr int kCellPadding = 3;

int LineHeightOf(HWND window, HFONT font) { return LineHeight(FontDc(window, font).Get()); }

int ColumnsWidth(const ListViewState& s) {
  int width = 0;
  for (const ListColumn& c : s.items.columns) width += c.width;
  return width;
}

UINT AlignmentOf(int format) {
  switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT: return DT_RIGHT;
    case LVCFMT_CENTER: return DT_CENTER;
    default: return DT_LEFT;
  }
}

void DrawCell(HDC dc, const std::u16string& text, RECT r, int format) {
  InflateRect(&r, -kCellPadding, 0);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            AlignmentOf(format) | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void PaintHeader(HDC dc, const ListViewState& s, int width, int height) {
  FillSolid(dc, RECT{0, 0, width, height}, GetSysColor(COLOR_BTNFACE));
  int x = 0;
  for (size_t i = 0; i < s.items.columns.size(); ++i) {
    const ListColumn& column = s.items.columns[i];
    RECT cell{x, 0, x + column.width, height};
    bool pressed = static_cast<int>(i) == s.pressedColumn;
    if (pressed) FillSolid(dc, cell, GetSysColor(COLOR_HIGHLIGHT));
    SetTextColor(dc, pressed ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_BTNTEXT));
    DrawCell(dc, column.text, cell, column.format);
    FillSolid(dc, RECT{cell.right - 1, 0, cell.right, height}, GetSysColor(COLOR_BTNSHADOW));
    x += column.width;
  }
  FillSolid(dc, RECT{0, height - 1, width, height}, GetSysColor(COLOR_BTNSHADOW));
}

}  // namespace

int ListRowHeight(HWND window, const ListViewState& s) { return LineHeightOf(window, s.font); }
int ListHeaderHeight(HWND window, const ListViewState& s) { return LineHeightOf(window, s.font) + 2; }

int ListRowsPerPage(HWND window, const ListViewState& s) {
  RECT client;
  GetClientRect(window, &client);
  return std::max(1, (client.bottom - ListHeaderHeight(window, s)) / ListRowHeight(window, s));
}

int ListColumnAt(const ListViewState& s, int x) {
  int left = 0;
  for (size_t i = 0; i < s.items.columns.size(); ++i) {
    int right = left + s.items.columns[i].width;
    if (x >= left && x < right) return static_cast<int>(i);
    left = right;
  }
  return -1;
}

UINT ListHitTest(HWND window, const ListViewState& s, POINT p, int& index, int& subItem) {
  index = -1;
  subItem = 0;
  RECT client;
  GetClientRect(window, &client);
  UINT outside = 0;
  if (p.y < client.top) outside |= LVHT_ABOVE;
  if (p.y >= client.bottom) outside |= LVHT_BELOW;
  if (p.x < client.left) outside |= LVHT_TOLEFT;
  if (p.x >= client.right) outside |= LVHT_TORIGHT;
  if (outside) return outside;
  int header = ListHeaderHeight(window, s);
  if (p.y < header) return LVHT_NOWHERE;
  int row = s.top + (p.y - header) / ListRowHeight(window, s);
  int column = ListColumnAt(s, p.x);
  if (!ValidRow(s, row) || column < 0) return LVHT_NOWHERE;
  // Without full-row select only the first column belongs to the item.
  if (column > 0 && !(s.extendedStyle & LVS_EX_FULLROWSELECT)) return LVHT_NOWHERE;
  index = row;
  subItem = column;
  return LVHT_ONITEMLABEL;
}

void PaintListView(HWND window, const ListViewState& s, const CellText& text,
                   const std::function<void(int first, int last)>& firstShown) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  SelectObject(dc, FontToDraw(s.font));
  RECT client;
  GetClientRect(window, &client);
  PaintListGround(dc, client);
  int header = ListHeaderHeight(window, s), height = ListRowHeight(window, s);
  bool showSelection = s.focused || (GetWindowLongW(window, GWL_STYLE) & LVS_SHOWSELALWAYS);
  bool fullRow = (s.extendedStyle & LVS_EX_FULLROWSELECT) != 0;
  bool enabled = IsWindowEnabled(window) != FALSE;
  int last = std::min(RowCount(s) - 1, s.top + (client.bottom - header + height - 1) / height - 1);
  if (firstShown && last >= s.top) firstShown(s.top, last);
  RowCustomDraw custom(window, dc);
  for (int row = s.top, y = header; row <= last; ++row, y += height) {
    custom.BeforeRow(row, s.ownerData ? 0 : s.items.At(row).param, RECT{0, y, client.right, y + height});
    bool selected = showSelection && (RowState(s, row) & LVIS_SELECTED);
    int x = 0;
    for (size_t c = 0; c < s.items.columns.size(); ++c) {
      const ListColumn& column = s.items.columns[c];
      RECT cell{x, y, x + column.width, y + height};
      bool lit = selected && (fullRow || c == 0);
      PaintRow(dc, cell, !lit ? RowLook::kPlain : s.focused ? RowLook::kSelected : RowLook::kSelectedUnfocused,
               enabled);
      DrawCell(dc, text(row, static_cast<int>(c)), cell, c == 0 ? LVCFMT_LEFT : column.format);
      x += column.width;
    }
    if (s.focused && row == s.focusItem) {
      RECT focus{0, y, fullRow ? ColumnsWidth(s) : (s.items.columns.empty() ? 0 : s.items.columns[0].width), y + height};
      DrawFocusRect(dc, &focus);
    }
  }
  PaintHeader(dc, s, client.right, header);
  EndPaint(window, &ps);
}

}  // namespace kvplatform::ui
