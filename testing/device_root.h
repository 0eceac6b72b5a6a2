// A private device root for one test: a fresh temporary folder made the
// device's root (with its own registry), with the folders the program
// expects, removed afterwards. Header-only: the tests that use it link the
// platform library, and the phone simulator's tests, which link none of ours,
// never include it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <kvplatform.h>

#include "testing/files.h"

class TDeviceRoot {
 public:
  // aFolders: device folders to make, relative to the root ("My Documents", "dev", ...).
  explicit TDeviceRoot(const std::string& aTag, const std::vector<std::string>& aFolders = {}) : iDir(aTag) {
    kvplatform::SetDeviceRoot(iDir.Path());
    kvplatform::ReloadRegistry();
    for (const std::string& folder : aFolders) std::filesystem::create_directories(iDir.Path() + "/" + folder);
  }
  // Roots do not nest: the end of any of them leaves the device without one.
  ~TDeviceRoot() { kvplatform::SetDeviceRoot(""); }
  TDeviceRoot(const TDeviceRoot&) = delete;
  TDeviceRoot& operator=(const TDeviceRoot&) = delete;

  const std::string& Path() const { return iDir.Path(); }

 private:
  TTempDir iDir;
};

// The folders the program's data lives in.
inline const std::vector<std::string> KProgramFolders = {"My Documents", "dev", "Program Files/Korvanet/Data"};
