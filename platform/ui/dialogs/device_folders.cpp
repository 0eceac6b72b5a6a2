#include "ui/dialogs/device_folders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include <kvplatform.h>
#include <windows.h>

namespace kvplatform::ui {
namespace {

std::vector<std::u16string> Parts(const std::u16string& path) {
  std::vector<std::u16string> parts;
  std::u16string part;
  auto flush = [&] {
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    part.clear();
  };
  for (char16_t c : path) {
    if (c == u'\\' || c == u'/')
      flush();
    else
      part += c;
  }
  flush();
  return parts;
}

bool HostPathOf(const std::u16string& devicePath, std::string& host) {
  std::u16string path = NormalDevicePath(devicePath);
  if (path == u"\\") {
    host = DeviceRoot();
    return true;
  }
  return DevicePathToHost(path, host);
}

bool StatOf(const std::u16string& devicePath, struct stat& info) {
  std::string host;
  return HostPathOf(devicePath, host) && stat(host.c_str(), &info) == 0;
}

bool LessIgnoringCase(const std::u16string& a, const std::u16string& b) {
  int order = lstrcmpiW(a.c_str(), b.c_str());
  return order != 0 ? order < 0 : a < b;
}

}  // namespace

std::u16string NormalDevicePath(const std::u16string& path) {
  std::u16string normal;
  for (const std::u16string& part : Parts(path)) normal += u"\\" + part;
  return normal.empty() ? u"\\" : normal;
}

std::u16string ResolveDevicePath(const std::u16string& folder, const std::u16string& name) {
  bool absolute = !name.empty() && (name[0] == u'\\' || name[0] == u'/');
  return NormalDevicePath(absolute ? name : folder + u"\\" + name);
}

std::u16string ParentFolder(const std::u16string& path) {
  std::u16string normal = NormalDevicePath(path);
  size_t slash = normal.rfind(u'\\');
  return slash == 0 ? u"\\" : normal.substr(0, slash);
}

std::u16string LastPart(const std::u16string& path) {
  std::u16string normal = NormalDevicePath(path);
  return normal.substr(normal.rfind(u'\\') + 1);
}

bool IsValidFileName(const std::u16string& name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  return std::none_of(name.begin(), name.end(), [](char16_t c) {
    return c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos;
  });
}

bool IsDeviceFolder(const std::u16string& path) {
  struct stat info;
  return StatOf(path, info) && S_ISDIR(info.st_mode);
}

bool IsDeviceFile(const std::u16string& path) {
  struct stat info;
  return StatOf(path, info) && S_ISREG(info.st_mode);
}

FolderListing ListDeviceFolder(const std::u16string& path) {
  FolderListing listing;
  std::string host;
  if (!HostPathOf(path, host)) return listing;
  DIR* dir = opendir(host.c_str());
  if (dir == nullptr) return listing;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::u16string name = FromUtf8(entry->d_name);
    if (!IsValidFileName(name)) continue;
    struct stat info;
    if (stat((host + "/" + entry->d_name).c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) listing.folders.push_back(name);
    if (S_ISREG(info.st_mode)) listing.files.push_back(name);
  }
  closedir(dir);
  std::sort(listing.folders.begin(), listing.folders.end(), LessIgnoringCase);
  std::sort(listing.files.begin(), listing.files.end(), LessIgnoringCase);
  return listing;
}

}  // namespace kvplatform::ui
