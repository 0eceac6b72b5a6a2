// Files under the device root: CreateFileW with the device's sharing rules,
// and reading, writing and seeking them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include <kvplatform.h>
#include <windows.h>

#include "../core/host_errors.h"
#include "../core/io_object.h"
#include "../serial/serial_open.h"

namespace kvplatform {
namespace {

class FileObject : public IoObject {
 public:
  FileObject(int fd, DWORD access, DWORD share, dev_t device, ino_t inode)
      : fd_(fd), access_(access), share_(share), device_(device), inode_(inode) {}
  ~FileObject() override { close(fd_); }

  BOOL Read(void* buffer, DWORD toRead, DWORD& read) override {
    if (!(access_ & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
    ssize_t n;
    do n = ::read(fd_, buffer, toRead);
    while (n < 0 && errno == EINTR);
    if (n < 0) return FailErrno();
    read = static_cast<DWORD>(n);
    return TRUE;
  }

  BOOL Write(const void* buffer, DWORD toWrite, DWORD& written) override {
    if (!(access_ & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    const auto* bytes = static_cast<const BYTE*>(buffer);
    written = 0;
    while (written < toWrite) {
      ssize_t n = ::write(fd_, bytes + written, toWrite - written);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return FailErrno();
      written += static_cast<DWORD>(n);
    }
    return TRUE;
  }

  BOOL Flush() override { return fsync(fd_) == 0 ? TRUE : FailErrno(); }

  int fd() const { return fd_; }
  DWORD access() const { return access_; }
  DWORD share() const { return share_; }
  bool SameFile(dev_t device, ino_t inode) const { return device_ == device && inode_ == inode; }

 private:
  static BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
  }
  static BOOL FailErrno() {
    SetLastErrorFromErrno();
    return FALSE;
  }

  int fd_;
  DWORD access_;
  DWORD share_;
  dev_t device_;
  ino_t inode_;
};

// Open files of this process, for the sharing check.
std::mutex gOpenLock;
std::vector<std::weak_ptr<FileObject>> gOpenFiles;

bool SharingAllows(dev_t device, ino_t inode, DWORD access, DWORD share) {
  std::erase_if(gOpenFiles, [](const auto& w) { return w.expired(); });
  for (auto& weak : gOpenFiles) {
    auto open = weak.lock();
    if (!open || !open->SameFile(device, inode)) continue;
    if ((access & GENERIC_READ) && !(open->share() & FILE_SHARE_READ)) return false;
    if ((access & GENERIC_WRITE) && !(open->share() & FILE_SHARE_WRITE)) return false;
    if ((open->access() & GENERIC_READ) && !(share & FILE_SHARE_READ)) return false;
    if ((open->access() & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return false;
  }
  return true;
}

std::shared_ptr<FileObject> FileFromHandle(HANDLE handle) { return LookupAs<FileObject>(handle); }

}  // namespace
}  // namespace kvplatform

using namespace kvplatform;

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD,
                   HANDLE) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (IsSerialPortName(name)) return OpenSerialPort(name, access, shareMode);

  std::string path;
  if (!DevicePathToHost(name, path)) return INVALID_HANDLE_VALUE;
  int flags = O_CLOEXEC;
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
    flags |= O_RDWR;
  else if (access & GENERIC_WRITE)
    flags |= O_WRONLY;
  else
    flags |= O_RDONLY;
  struct stat before;
  bool existed = stat(path.c_str(), &before) == 0;
  if (existed && S_ISDIR(before.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  switch (creation) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
      if (!(access & GENERIC_WRITE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }

  std::lock_guard guard(gOpenLock);
  int fd = open(path.c_str(), flags, 0600);
  if (fd < 0) {
    int error = errno;
    // A missing folder on the way is a path error, a missing file a file error.
    std::string folder = path.substr(0, path.rfind('/'));
    struct stat info;
    if (error == ENOENT && stat(folder.c_str(), &info) != 0)
      SetLastError(ERROR_PATH_NOT_FOUND);
    else if (error == EEXIST)
      SetLastError(ERROR_FILE_EXISTS);
    else
      SetLastError(Win32ErrorFromErrno(error));
    return INVALID_HANDLE_VALUE;
  }
  struct stat info;
  fstat(fd, &info);
  if (!SharingAllows(info.st_dev, info.st_ino, access, shareMode)) {
    close(fd);
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  if (creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING) {
    if (ftruncate(fd, 0) != 0) {
      SetLastErrorFromErrno();
      close(fd);
      return INVALID_HANDLE_VALUE;
    }
  }
  auto file = std::make_shared<FileObject>(fd, access, shareMode, info.st_dev, info.st_ino);
  uintptr_t value = InsertHandle(file);
  if (value == 0) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return INVALID_HANDLE_VALUE;
  }
  gOpenFiles.push_back(file);
  // Win32 reports an existing file this way for the creating dispositions.
  SetLastError((existed && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS)) ? ERROR_ALREADY_EXISTS
                                                                                  : ERROR_SUCCESS);
  return ToHandle(value);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
  auto io = LookupAs<IoObject>(handle);
  if (!io || (buffer == nullptr && toRead > 0)) {
    SetLastError(io ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD count = 0;
  BOOL ok = io->Read(buffer, toRead, count);
  if (read) *read = count;
  return ok;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
  auto io = LookupAs<IoObject>(handle);
  if (!io || (buffer == nullptr && toWrite > 0)) {
    SetLastError(io ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD count = 0;
  BOOL ok = io->Write(buffer, toWrite, count);
  if (written) *written = count;
  return ok;
}

BOOL FlushFileBuffers(HANDLE handle) {
  auto io = LookupAs<IoObject>(handle);
  if (!io) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return io->Flush();
}

DWORD SetFilePointer(HANDLE handle, LONG distance, PLONG distanceHigh, DWORD method) {
  auto file = FileFromHandle(handle);
  if (!file || method > FILE_END) {
    SetLastError(file ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t offset = distanceHigh ? (static_cast<int64_t>(*distanceHigh) << 32) | static_cast<uint32_t>(distance)
                                : static_cast<int64_t>(distance);
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  off_t position = lseek(file->fd(), offset, whence);
  if (position < 0) {
    SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : Win32ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position);
}

DWORD GetFileSize(HANDLE handle, LPDWORD sizeHigh) {
  auto file = FileFromHandle(handle);
  struct stat info;
  if (!file || fstat(file->fd(), &info) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(static_cast<uint64_t>(info.st_size) >> 32);
  return static_cast<DWORD>(info.st_size);
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  std::string host;
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!DevicePathToHost(path, host)) return FALSE;
  if (mkdir(host.c_str(), 0700) != 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
  std::string host;
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!DevicePathToHost(path, host)) return FALSE;
  if (unlink(host.c_str()) != 0) {
    SetLastErrorFromErrno();
    return FALSE;
  }
  return TRUE;
}
