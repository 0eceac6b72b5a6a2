#include "registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include <kvplatform.h>
#include <winbase.h>

#include "registry_file.h"

namespace kvplatform {
namespace {

// Holds an exclusive lock on a file beside the registry for a whole
// read-change-write, so two processes never lose each other's changes.
class CrossProcessLock {
 public:
  explicit CrossProcessLock(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~CrossProcessLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }

 private:
  int fd_;
};

bool WriteWhole(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::u16string FoldRegistryName(const std::u16string& name) {
  std::u16string folded = name;
  CharLowerBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  return folded;
}

RegistryStore& RegistryStore::Instance() {
  static auto* store = new RegistryStore;
  return *store;
}

std::string RegistryStore::FilePath() const { return DeviceRoot() + "/registry.reg"; }

RegistryStore::FileStamp RegistryStore::StampLocked() const {
  struct stat info;
  FileStamp stamp;
  if (stat(FilePath().c_str(), &info) != 0) return stamp;
  stamp.exists = true;
  stamp.mtimeNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
  stamp.size = info.st_size;
  stamp.inode = info.st_ino;
  return stamp;
}

void RegistryStore::RefreshLocked() {
  if (loaded_ && loadedRoot_ == DeviceRoot() && StampLocked() == stamp_) return;
  LoadLocked();
}

void RegistryStore::LoadLocked() {
  keys_.clear();
  loaded_ = true;
  loadedRoot_ = DeviceRoot();
  std::string path = FilePath();
  stamp_ = StampLocked();
  // Settings from a folder that others may write are not the user's own.
  if (!stamp_.exists || !DeviceRootProblem().empty()) return;
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string error;
  if (in.bad()) error = "cannot be read";
  std::map<std::u16string, RegistryKey> parsed;
  if (error.empty() && ParseRegistry(text.str(), parsed, error)) {
    keys_ = std::move(parsed);
    return;
  }
  // A damaged file is kept for the user to look at, never trusted and never
  // overwritten: it moves aside and the settings start empty.
  std::string aside = path + ".damaged-" + std::to_string(std::time(nullptr));
  bool moved = rename(path.c_str(), aside.c_str()) == 0;
  std::fprintf(stderr, "korvanet: the settings file %s is damaged (%s); %s; starting with empty settings\n",
               path.c_str(), error.c_str(), moved ? ("moved aside to " + aside).c_str() : "it could not be moved aside");
  stamp_ = StampLocked();
}

bool RegistryStore::SaveLocked() {
  if (!DeviceRootProblem().empty()) return false;
  std::string path = FilePath();
  std::string temporary = path + ".tmp-" + std::to_string(getpid());
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Temp file, fsync, rename: a crash leaves the old file or the new one.
  bool ok = WriteWhole(fd, SerializeRegistry(keys_)) && fsync(fd) == 0;
  close(fd);
  if (!ok || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  int dir = open(DeviceRoot().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  stamp_ = StampLocked();
  return true;
}

DWORD RegistryStore::ChangeLocked(const std::function<DWORD()>& change) {
  CrossProcessLock crossProcess(FilePath() + ".lock");
  RefreshLocked();
  auto before = keys_;
  DWORD result = change();
  if (result == ERROR_SUCCESS && !SaveLocked()) {
    keys_ = std::move(before);
    return ERROR_CANTWRITE;
  }
  return result;
}

bool RegistryStore::KeyExists(const std::u16string& path) {
  std::lock_guard guard(lock_);
  RefreshLocked();
  return keys_.count(FoldRegistryName(path)) != 0;
}

DWORD RegistryStore::CreateKey(const std::u16string& path, bool& created) {
  std::lock_guard guard(lock_);
  created = false;
  RefreshLocked();
  if (keys_.count(FoldRegistryName(path))) return ERROR_SUCCESS;
  return ChangeLocked([&] {
    // The root of a hive is implicit; every other part is created on the way.
    for (size_t slash = path.find(u'\\'); slash != std::u16string::npos; slash = path.find(u'\\', slash + 1)) {
      std::u16string parent = path.substr(0, slash);
      if (parent.find(u'\\') == std::u16string::npos) continue;
      auto& key = keys_[FoldRegistryName(parent)];
      if (key.path.empty()) key.path = parent;
    }
    auto& key = keys_[FoldRegistryName(path)];
    if (key.path.empty()) {
      key.path = path;
      created = true;
    }
    return static_cast<DWORD>(ERROR_SUCCESS);
  });
}

std::optional<RegistryValue> RegistryStore::QueryValue(const std::u16string& path, const std::u16string& name) {
  std::lock_guard guard(lock_);
  RefreshLocked();
  auto key = keys_.find(FoldRegistryName(path));
  if (key == keys_.end()) return std::nullopt;
  auto value = key->second.values.find(FoldRegistryName(name));
  if (value == key->second.values.end()) return std::nullopt;
  return value->second;
}

DWORD RegistryStore::SetValue(const std::u16string& path, const RegistryValue& value) {
  std::lock_guard guard(lock_);
  return ChangeLocked([&] {
    auto key = keys_.find(FoldRegistryName(path));
    if (key == keys_.end()) return static_cast<DWORD>(ERROR_KEY_DELETED);
    auto folded = FoldRegistryName(value.name);
    auto existing = key->second.values.find(folded);
    RegistryValue stored = value;
    if (existing != key->second.values.end()) stored.name = existing->second.name;
    key->second.values[folded] = stored;
    return static_cast<DWORD>(ERROR_SUCCESS);
  });
}

DWORD RegistryStore::DeleteValue(const std::u16string& path, const std::u16string& name) {
  std::lock_guard guard(lock_);
  return ChangeLocked([&] {
    auto key = keys_.find(FoldRegistryName(path));
    if (key == keys_.end()) return static_cast<DWORD>(ERROR_KEY_DELETED);
    return key->second.values.erase(FoldRegistryName(name)) ? static_cast<DWORD>(ERROR_SUCCESS)
                                                             : static_cast<DWORD>(ERROR_FILE_NOT_FOUND);
  });
}

void RegistryStore::ForceReload() {
  std::lock_guard guard(lock_);
  LoadLocked();
}

bool CheckRegistryText(const std::string& text, std::string& error) {
  std::map<std::u16string, RegistryKey> parsed;
  return ParseRegistry(text, parsed, error);
}

void ReloadRegistry() { RegistryStore::Instance().ForceReload(); }
std::string RegistryFilePath() { return RegistryStore::Instance().FilePath(); }

}  // namespace kvplatform
