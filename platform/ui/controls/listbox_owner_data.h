// A list box with LBS_NODATA keeps only how many rows it has and which are
// selected; each row's line and data stay with the parent, asked for with
// LBN_GETDISPINFOW when the row is painted or read.
#pragma once

#include <string>

#include <windows.h>

namespace kvplatform::ui {

struct OwnerDataRow {
  std::u16string text;
  LPARAM data = 0;
};

// What the parent says of row `index`; an empty row when it says nothing.
OwnerDataRow AskParentForRow(HWND list, int index);

}  // namespace kvplatform::ui
