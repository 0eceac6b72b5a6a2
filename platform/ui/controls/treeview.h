#pragma once

namespace kvplatform::ui {

void RegisterTreeViewClass();

}  // namespace kvplatform::ui
