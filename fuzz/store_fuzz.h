// What the import and backup targets share: a device root with the
// program's data folder, emptied for each input, so that every input starts
// from a volume of its own.
#pragma once

#include <sys/stat.h>

#include <string>

#include <kvplatform.h>

#include "fuzz/fuzz_root.h"
#include "fuzz/fuzz_util.h"

// The program's data folder under aRoot, emptied: no volume, no settings.
inline void StartAfresh(const std::string& aRoot) {
  EmptyFolder(aRoot);
  std::string path = aRoot;
  for (const char* folder : {"/Program Files", "/Korvanet", "/Data"}) {
    path += folder;
    FUZZ_CHECK(mkdir(path.c_str(), 0700) == 0, "cannot make %s", path.c_str());
  }
  mkdir((aRoot + "/My Documents").c_str(), 0700);
  kvplatform::SetDeviceRoot(aRoot);
  kvplatform::ReloadRegistry();
}

// Whole seconds since 1970, rounded down as the files' dates are.
inline long long UnixSeconds(long long aMillis) { return aMillis >= 0 ? aMillis / 1000 : -((-aMillis + 999) / 1000); }
