// A list's rows drawn the parent's way (NM_CUSTOMDRAW): once per paint the
// parent says whether it wants to hear of each row; then, per row, it may
// select a font of its own into the device context.
#pragma once

#include <commctrl.h>

namespace kvplatform::ui {

class RowCustomDraw {
 public:
  // Asks the parent at the start of a paint; `dc` holds the list's font.
  RowCustomDraw(HWND list, HDC dc);
  // Before row `row` (with its data) is written into `r`: the parent's font
  // when it chose one, the list's font again when it did not.
  void BeforeRow(int row, LPARAM data, const RECT& r);

 private:
  HWND list_;
  HDC dc_;
  HGDIOBJ listFont_;
  bool perRow_ = false;
};

}  // namespace kvplatform::ui
