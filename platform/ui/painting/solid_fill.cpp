#include "ui/painting/solid_fill.h"

namespace kvplatform::ui {

void FillSolid(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

}  // namespace kvplatform::ui
