// How a row of a list is drawn, the same in the list box, the combo box,
// the list view and the tree view: the list's ground, a chosen row's band or
// outline, and the colour of its text. The text itself is the control's.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

enum class RowLook {
  kPlain,
  kSelected,           // chosen while the control has the focus (or shows a drop target)
  kSelectedUnfocused,  // chosen, the focus elsewhere: kept visible in a quieter colour
  kOutlined,           // the caret while another row is highlighted: a thin outline
};

// The colours a row is drawn in; `band` is CLR_INVALID when nothing is filled
// and `outline` is CLR_INVALID when no outline is drawn.
struct RowColors {
  COLORREF band;
  COLORREF outline;
  COLORREF text;
};

// A disabled control's rows keep their band and write grey.
RowColors ColorsOfRow(RowLook look, bool enabled);

// The ground of a list over its client area; text is then drawn without a
// background of its own.
void PaintListGround(HDC dc, const RECT& client);

// Draws the row's band or outline over `r` and selects its text colour.
void PaintRow(HDC dc, const RECT& r, RowLook look, bool enabled);

}  // namespace kvplatform::ui
