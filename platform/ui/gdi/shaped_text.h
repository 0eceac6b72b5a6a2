// The shaped layout of a line in a device context's current font, for
// controls that place a caret or a selection inside text.
#pragma once

#include <memory>
#include <string_view>

#include <windows.h>

#include "ui/text/shaped_line.h"

namespace kvplatform::ui {

// Null for a context that is not (or no longer) there.
std::shared_ptr<const ShapedLine> ShapeOnDc(HDC dc, std::u16string_view text);

}  // namespace kvplatform::ui
