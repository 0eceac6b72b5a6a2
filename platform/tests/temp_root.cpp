#include "temp_root.h"

#include <stdlib.h>

#include <filesystem>

#include <kvplatform.h>

TempRoot::TempRoot() {
  char pattern[] = "/tmp/kv-platform-XXXXXX";
  path_ = mkdtemp(pattern);
  kvplatform::SetDeviceRoot(path_);
  kvplatform::ReloadRegistry();
}

TempRoot::~TempRoot() {
  kvplatform::SetDeviceRoot("");
  std::filesystem::remove_all(path_);
}
