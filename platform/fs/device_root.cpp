// The device's file system root "\" as a host folder, and the mapping of
// device paths below it.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

// Empty when there is none: a shared folder such as /tmp is never a default,
// since anyone could have put a folder or links there first.
std::string DefaultRoot() {
  if (const char* root = std::getenv("KORVANET_ROOT"); root && *root) return root;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/korvanet";
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.local/share/korvanet" : std::string();
}

std::string RootLocked() { return gRootOverride.empty() ? DefaultRoot() : gRootOverride; }

std::string OctalMode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Why the folder cannot hold the user's data; empty when it can. Another user
// who may write in it could swap the files, or put links where they will be
// written.
std::string ProblemOf(const std::string& root) {
  if (root.empty())
    return "there is no data folder: HOME is not set (set HOME or KORVANET_ROOT, or give one with --root)";
  struct stat info;
  if (lstat(root.c_str(), &info) != 0) return std::string();  // made private when first needed
  if (!S_ISDIR(info.st_mode))
    return "the data folder " + root + " is not a folder" + (S_ISLNK(info.st_mode) ? " (it is a symbolic link)" : "");
  if (info.st_uid != geteuid())
    return "the data folder " + root + " belongs to another user (uid " + std::to_string(info.st_uid) + ")";
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return "the data folder " + root + " may be written by others (mode " + OctalMode(info.st_mode) +
           "); make it private (chmod 700) or choose another";
  return std::string();
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
  std::string root = RootLocked();
  if (!ProblemOf(root).empty()) return root;  // nothing is made in a folder refused
  if (!IsDirectory(root)) MakeFolders(root);
  // Every handheld has these; the program writes its log there.
  std::string documents = root + "/My Documents";
  if (!IsDirectory(documents)) mkdir(documents.c_str(), 0700);
  return root;
}

std::string DeviceRootProblem() {
  std::lock_guard guard(gRootLock);
  return ProblemOf(RootLocked());
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
  if (!DeviceRootProblem().empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
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
