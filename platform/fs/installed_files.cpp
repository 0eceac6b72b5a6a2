// Data files that come with the program, found from the program's own
// location: <prefix>/bin/korvanet reads <prefix>/share/..., whatever the
// prefix, so that a package unpacked anywhere uses its own files. A program
// in the build folder (build/app/korvanet) finds the build's staged copy in
// build/share the same way.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include <kvplatform.h>

namespace kvplatform {

std::string InstalledDataFile(const std::string& relativePath) {
  char self[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  std::string exe(self, static_cast<size_t>(n));
  std::string bin = exe.substr(0, exe.rfind('/'));
  std::string path = bin.substr(0, bin.rfind('/')) + "/share/" + relativePath;
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? path : std::string();
}

}  // namespace kvplatform
