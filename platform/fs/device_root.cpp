// The device's file system root "\" as a host folder, and the mapping of
// device paths below it.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include <kvplatform.h>
#include <windows.h>

#include "../core/host_errors.h"

namespace kvplatform {
namespace {

std::mutex gRootLock;
std::string gRootOverride;

std::string DefaultRoot() {
  if (const char* root = std::getenv("KORVANET_ROOT"); root && *root) return root;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/korvanet";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/korvanet";
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes every missing folder of the path; the last one private to the user.
void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    mkdir(path.substr(0, slash).c_str(), 0755);
  mkdir(path.c_str(), 0700);
}

// The device is case-insensitive: an existing entry that differs only in
// case is the one meant.
std::string MatchCase(const std::string& folder, const std::string& name) {
  struct stat info;
  if (lstat((folder + "/" + name).c_str(), &info) == 0) return name;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return name;
  std::string found = name;
  std::u16string wanted = FromUtf8(name);
  while (dirent* entry = readdir(dir)) {
    std::u16string candidate = FromUtf8(entry->d_name);
    if (candidate.size() == wanted.size() && lstrcmpiW(candidate.c_str(), wanted.c_str()) == 0) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

std::string DeviceRoot() {
  std::lock_guard guard(gRootLock);
  std::string root = gRootOverride.empty() ? DefaultRoot() : gRootOverride;
  if (!IsDirectory(root)) MakeFolders(root);
  // Every handheld has these; the program writes its log there.
  std::string documents = root + "/My Documents";
  if (!IsDirectory(documents)) mkdir(documents.c_str(), 0700);
  return root;
}

void SetDeviceRoot(const std::string& hostPath) {
  std::lock_guard guard(gRootLock);
  gRootOverride = hostPath;
}

bool DevicePathToHost(const std::u16string& devicePath, std::string& hostPath) {
  if (devicePath.empty() || devicePath.size() >= MAX_PATH) {
    SetLastError(devicePath.empty() ? ERROR_INVALID_NAME : ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  std::vector<std::string> parts;
  std::u16string part;
  auto flush = [&]() -> bool {
    if (part.empty() || part == u".") {
      part.clear();
      return true;
    }
    if (part == u"..") return false;  // never leave the root
    for (char16_t c : part)
      if (c < 0x20 || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|')
        return false;
    parts.push_back(ToUtf8(part));
    part.clear();
    return true;
  };
  for (char16_t c : devicePath) {
    if (c == u'\\' || c == u'/') {
      if (!flush()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
      }
    } else {
      part += c;
    }
  }
  if (!flush() || parts.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  std::string path = DeviceRoot();
  for (const std::string& name : parts) {
    std::string matched = MatchCase(path, name);
    path.append(1, '/').append(matched);
  }
  hostPath = path;
  return true;
}

}  // namespace kvplatform
