#pragma once

namespace kvplatform::ui {

void RegisterListViewClass();

}  // namespace kvplatform::ui
