#include "exchange/tests/fresh_root.h"

#include <stdlib.h>

#include <filesystem>

#include <kvplatform.h>
#include <windows.h>

#include "kernel/log.h"

TFreshRoot::TFreshRoot() {
  char pattern[] = "/tmp/kv-fresh-XXXXXX";
  iPath = mkdtemp(pattern);
  LogCloseFile();
  kvplatform::SetDeviceRoot(iPath);
  CreateDirectoryW(u"\\Program Files", nullptr);
  CreateDirectoryW(u"\\Program Files\\Korvanet", nullptr);
  CreateDirectoryW(u"\\Program Files\\Korvanet\\Data", nullptr);
}

TFreshRoot::~TFreshRoot() {
  LogCloseFile();
  std::filesystem::remove_all(iPath);
}
