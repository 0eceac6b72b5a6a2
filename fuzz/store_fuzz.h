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

// Whether a file may carry a U+0000 into a text: as a byte, or escaped as
// JSON, XML or quoted-printable write it. The stores still cut a text at
// one (a fault being fixed apart), so such files skip the round trip.
inline bool MayCarryNul(const std::string& aText) {
  if (aText.find('\0') != std::string::npos || aText.find("=00") != std::string::npos) return true;
  for (size_t at = aText.find('\\'); at != std::string::npos; at = aText.find('\\', at + 1))
    if (aText.compare(at + 1, 5, "u0000") == 0 || aText.compare(at + 1, 5, "U0000") == 0) return true;
  for (size_t at = aText.find("&#"); at != std::string::npos; at = aText.find("&#", at + 1)) {
    size_t i = at + 2;
    if (i < aText.size() && (aText[i] == 'x' || aText[i] == 'X')) ++i;
    const size_t zeros = i;
    while (i < aText.size() && aText[i] == '0') ++i;
    if (i > zeros && i < aText.size() && aText[i] == ';') return true;
  }
  return false;
}
