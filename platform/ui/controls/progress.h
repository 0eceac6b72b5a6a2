#pragma once

namespace kvplatform::ui {

void RegisterProgressClass();

}  // namespace kvplatform::ui
