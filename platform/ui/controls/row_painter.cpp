#include "ui/controls/row_painter.h"

#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"

namespace kvplatform::ui {

RowColors ColorsOfRow(RowLook look, bool enabled) {
  RowColors colors{CLR_INVALID, CLR_INVALID, GetSysColor(COLOR_WINDOWTEXT)};
  switch (look) {
    case RowLook::kPlain: break;
    case RowLook::kSelected:
      colors.band = GetSysColor(COLOR_HIGHLIGHT);
      colors.text = GetSysColor(COLOR_HIGHLIGHTTEXT);
      break;
    case RowLook::kSelectedUnfocused: colors.band = GetSysColor(COLOR_BTNFACE); break;
    case RowLook::kOutlined: colors.outline = GetSysColor(COLOR_BTNSHADOW); break;
  }
  if (!enabled) colors.text = GetSysColor(COLOR_GRAYTEXT);
  return colors;
}

void PaintListGround(HDC dc, const RECT& client) {
  FillSolid(dc, client, GetSysColor(COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
}

void PaintRow(HDC dc, const RECT& r, RowLook look, bool enabled) {
  RowColors colors = ColorsOfRow(look, enabled);
  if (colors.band != CLR_INVALID) FillSolid(dc, r, colors.band);
  if (colors.outline != CLR_INVALID) PaintFrame(dc, r, colors.outline);
  SetTextColor(dc, colors.text);
}

}  // namespace kvplatform::ui
