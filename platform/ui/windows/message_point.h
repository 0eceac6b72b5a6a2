// The point a mouse or stylus message carries in its lParam: x in the low
// word, y in the high word, both signed so that points left of or above a
// window (while it holds the capture) come out negative.
#pragma once

#include <windows.h>

namespace kvplatform::ui {

POINT PointFromParam(LPARAM lParam);
LPARAM ParamFromPoint(POINT p);

}  // namespace kvplatform::ui
