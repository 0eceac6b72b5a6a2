#include "ui/windows/message_point.h"

namespace kvplatform::ui {

POINT PointFromParam(LPARAM lParam) {
  return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
}

LPARAM ParamFromPoint(POINT p) { return MAKELPARAM(static_cast<SHORT>(p.x), static_cast<SHORT>(p.y)); }

}  // namespace kvplatform::ui
