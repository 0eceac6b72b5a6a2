// A rectangle filled with one colour, for drawing code that picks colours
// rather than keeping brushes.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

void FillSolid(HDC dc, const RECT& r, COLORREF color);

}  // namespace kvplatform::ui
