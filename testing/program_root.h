// A device root for the program's own layers (kernel and up): the log file is
// closed at each switch, so that no line goes to another test's root.
#pragma once

#include <string>
#include <vector>

#include "kernel/log.h"
#include "testing/device_root.h"

class TProgramRoot : public TDeviceRoot {
 public:
  explicit TProgramRoot(const std::string& aTag = "kv-test", const std::vector<std::string>& aFolders = {})
      : TDeviceRoot(aTag, aFolders) {
    LogCloseFile();
  }
  ~TProgramRoot() { LogCloseFile(); }
};
