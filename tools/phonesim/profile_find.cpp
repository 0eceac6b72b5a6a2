#include "profile_find.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace phonesim {
namespace {

bool Exists(const std::string& path, bool folder) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && (folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode));
}

// <prefix>/bin/phonesim -> <prefix>/share/korvanet/phonesim, whatever the
// prefix, so that a package unpacked anywhere finds its own profiles.
std::string InstalledProfiles() {
  char self[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  std::string exe(self, static_cast<size_t>(n));
  std::string bin = exe.substr(0, exe.rfind('/'));
  return bin.substr(0, bin.rfind('/')) + "/share/korvanet/phonesim";
}

}  // namespace

std::string FindProfile(const std::string& nameOrPath) {
  bool isName = nameOrPath.find('/') == std::string::npos && !nameOrPath.ends_with(".json");
  if (!isName || nameOrPath.empty() || Exists(nameOrPath, false)) return nameOrPath;
  std::string folder = InstalledProfiles();
#ifdef PHONESIM_SOURCE_PROFILES
  // Only when no installed folder exists: an installed phonesim never reads the source tree.
  if (folder.empty() || !Exists(folder, true)) folder = PHONESIM_SOURCE_PROFILES;
#endif
  return folder + "/" + nameOrPath + ".json";
}

}  // namespace phonesim
