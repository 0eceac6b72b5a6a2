#include "ui/controls/treeview_view.h"

#include <algorithm>

#include "ui/controls/common_control_support.h"
#include "ui/controls/font_and_focus.h"
#include "ui/controls/row_painter.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"

namespace kvplatform::ui {
namespace {

constexpr int kButtonSize = 9;

DWORD Style(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

// Columns of indent before an item's label (the first holds the root items'
// buttons when lines start at the root).
int Columns(HWND window, const TreeItem* item) {
  return TreeItems::Depth(item) + ((Style(window) & TVS_LINESATROOT) ? 1 : 0);
}

int LabelLeft(HWND window, const TreeItem* item) { return Columns(window, item) * kTreeIndent + 2; }

bool ShowsButton(HWND window, const TreeItem* item) {
  return (Style(window) & TVS_HASBUTTONS) && Columns(window, item) >= 1 && TreeItems::HasChildren(item);
}

void DottedLine(HDC dc, int x0, int y0, int x1, int y1) {
  COLORREF grey = GetSysColor(COLOR_BTNSHADOW);
  for (int x = x0; x <= x1; x += 2)
    for (int y = y0; y <= y1; y += 2) SetPixel(dc, x, y, grey);
}

void PaintLines(HWND window, HDC dc, const TreeItems& items, const TreeItem* item, int y, int height) {
  int columns = Columns(window, item);
  if (columns < 1) return;
  int mid = y + height / 2;
  int cx = (columns - 1) * kTreeIndent + kTreeIndent / 2;
  bool more = items.NextSibling(item) != nullptr;
  DottedLine(dc, cx, y, cx, more ? y + height - 1 : mid);
  DottedLine(dc, cx, mid, LabelLeft(window, item) - 2, mid);
  // The lines of ancestors that have siblings further down pass through this row.
  int column = columns - 2;
  for (const TreeItem* a = item->parent; a && a->parent && column >= 0; a = a->parent, --column)
    if (items.NextSibling(a)) DottedLine(dc, column * kTreeIndent + kTreeIndent / 2, y, column * kTreeIndent + kTreeIndent / 2, y + height - 1);
}

void PaintExpandButton(HDC dc, int cx, int mid, bool expanded) {
  RECT box{cx - kButtonSize / 2, mid - kButtonSize / 2, cx + kButtonSize / 2 + 1, mid + kButtonSize / 2 + 1};
  FillSolid(dc, box, GetSysColor(COLOR_WINDOW));
  PaintFrame(dc, box, GetSysColor(COLOR_BTNSHADOW));
  FillSolid(dc, RECT{cx - 2, mid, cx + 3, mid + 1}, RGB(0, 0, 0));
  if (!expanded) FillSolid(dc, RECT{cx, mid - 2, cx + 1, mid + 3}, RGB(0, 0, 0));
}

}  // namespace

int TreeRowHeight(HWND window, const TreeViewState& s) {
  return LineHeight(FontDc(window, s.font).Get());
}

int TreeRowsPerPage(HWND window, const TreeViewState& s) {
  RECT client;
  GetClientRect(window, &client);
  return std::max(1, (client.bottom - client.top) / TreeRowHeight(window, s));
}

UINT TreeHitTest(HWND window, const TreeViewState& s, POINT p, TreeItem*& item) {
  item = nullptr;
  RECT client;
  GetClientRect(window, &client);
  UINT outside = 0;
  if (p.y < client.top) outside |= TVHT_ABOVE;
  if (p.y >= client.bottom) outside |= TVHT_BELOW;
  if (p.x < client.left) outside |= TVHT_TOLEFT;
  if (p.x >= client.right) outside |= TVHT_TORIGHT;
  if (outside) return outside;
  std::vector<TreeItem*> rows = s.items.VisibleRows();
  int row = s.top + p.y / TreeRowHeight(window, s);
  if (row < 0 || row >= static_cast<int>(rows.size())) return TVHT_NOWHERE;
  item = rows[static_cast<size_t>(row)];
  int label = LabelLeft(window, item);
  int buttonColumn = (Columns(window, item) - 1) * kTreeIndent;
  if (p.x < label - 2) {
    bool onButton = ShowsButton(window, item) && p.x >= buttonColumn;
    return onButton ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
  }
  return p.x < label + TextWidth(FontDc(window, s.font).Get(), item->text) + 4 ? TVHT_ONITEMLABEL : TVHT_ONITEMRIGHT;
}

void PaintTreeView(HWND window, const TreeViewState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  SelectObject(dc, FontToDraw(s.font));
  RECT client;
  GetClientRect(window, &client);
  PaintListGround(dc, client);
  int height = LineHeight(dc);
  bool enabled = IsWindowEnabled(window) != FALSE;
  std::vector<TreeItem*> rows = s.items.VisibleRows();
  for (int row = s.top, y = 0; row < static_cast<int>(rows.size()) && y < client.bottom; ++row, y += height) {
    const TreeItem* item = rows[static_cast<size_t>(row)];
    if (Style(window) & TVS_HASLINES) PaintLines(window, dc, s.items, item, y, height);
    if (ShowsButton(window, item))
      PaintExpandButton(dc, (Columns(window, item) - 1) * kTreeIndent + kTreeIndent / 2, y + height / 2, item->expanded);
    int left = LabelLeft(window, item);
    RECT label{left, y, left + TextWidth(dc, item->text) + 4, y + height};
    bool highlighted = s.dropHilite ? item == s.dropHilite : (item == s.caret && s.focused);
    PaintRow(dc, label, highlighted ? RowLook::kSelected : item == s.caret ? RowLook::kOutlined : RowLook::kPlain,
             enabled);
    RECT text = label;
    text.left += 2;
    DrawTextW(dc, item->text.c_str(), static_cast<int>(item->text.size()), &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  EndPaint(window, &ps);
}

}  // namespace kvplatform::ui
