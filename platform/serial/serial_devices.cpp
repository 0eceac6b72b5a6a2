// The host's serial devices for a port list: names, stable names, and who
// holds each. Another process holding a device is found through /proc, as
// far as this user may look there; the process holding a pseudo-terminal's
// master side is the device's far end, not a competitor.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include <kvplatform.h>
#include <kvplatform_serial.h>
#include <windows.h>

#include "../core/handle_table.h"
#include "../core/host_errors.h"
#include "serial_open.h"
#include "serial_port.h"

namespace kvplatform {
namespace {

// Bounds on what is read from /proc: a machine has far fewer.
constexpr int kMaxProcesses = 65536;
constexpr int kMaxDescriptorsPerProcess = 4096;

bool IsSerialName(const std::string& name) {
  for (const char* prefix : {"ttyUSB", "ttyACM", "rfcomm"}) {
    size_t length = std::strlen(prefix);
    if (name.size() > length && name.size() <= length + 4 && name.compare(0, length, prefix) == 0 &&
        std::all_of(name.begin() + static_cast<long>(length), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return true;
  }
  return false;
}

std::string Canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

std::string ReadLink(const std::string& path) {
  char target[PATH_MAX];
  ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
  return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

bool IsNumber(const char* text) {
  if (*text == 0) return false;
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

// "/dev/pts/7" -> 7; -1 for anything else.
int PtyIndex(const std::string& canonical) {
  const std::string prefix = "/dev/pts/";
  if (canonical.compare(0, prefix.size(), prefix) != 0 || !IsNumber(canonical.c_str() + prefix.size())) return -1;
  return std::atoi(canonical.c_str() + prefix.size());
}

struct Holder {
  int pid = 0;
  std::string name;
};

std::string CommandName(int pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(file, name);
  return name.substr(0, 64);
}

// For each canonical device path wanted, the first other process seen holding it.
std::map<std::string, Holder> FindHolders(const std::vector<std::string>& wanted) {
  std::map<std::string, Holder> holders;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return holders;
  const int self = static_cast<int>(getpid());
  int seen = 0;
  while (dirent* process = readdir(proc)) {
    if (!IsNumber(process->d_name) || ++seen > kMaxProcesses) continue;
    int pid = std::atoi(process->d_name);
    if (pid == self) continue;
    std::string fdFolder = std::string("/proc/") + process->d_name + "/fd";
    DIR* fds = opendir(fdFolder.c_str());
    if (fds == nullptr) continue;  // another user's process: not ours to see
    std::vector<std::string> held;
    std::vector<int> mastersOf;
    int count = 0;
    while (dirent* fd = readdir(fds)) {
      if (!IsNumber(fd->d_name) || ++count > kMaxDescriptorsPerProcess) continue;
      std::string target = ReadLink(fdFolder + "/" + fd->d_name);
      if (target == "/dev/ptmx" || target == "/dev/pts/ptmx") {
        std::ifstream info(std::string("/proc/") + process->d_name + "/fdinfo/" + fd->d_name);
        std::string line;
        while (std::getline(info, line))
          if (line.compare(0, 10, "tty-index:") == 0) mastersOf.push_back(std::atoi(line.c_str() + 10));
      } else if (std::find(wanted.begin(), wanted.end(), target) != wanted.end()) {
        held.push_back(target);
      }
    }
    closedir(fds);
    for (const std::string& device : held) {
      int index = PtyIndex(device);
      if (index >= 0 && std::find(mastersOf.begin(), mastersOf.end(), index) != mastersOf.end()) continue;
      if (holders.count(device) == 0) holders[device] = Holder{pid, CommandName(pid)};
    }
  }
  closedir(proc);
  return holders;
}

}  // namespace

std::string SerialDeviceFolder() {
  const char* folder = std::getenv("KORVANET_DEV");
  return folder != nullptr && *folder ? std::string(folder) : std::string("/dev");
}

bool SameSerialDevice(const std::string& a, const std::string& b) {
  std::string left = Canonical(a);
  return !left.empty() && left == Canonical(b);
}

std::vector<SerialDevice> ListSerialDevices() {
  const std::string folder = SerialDeviceFolder();
  std::vector<SerialDevice> devices;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (!IsSerialName(entry->d_name)) continue;
      SerialDevice device;
      device.path = folder + "/" + entry->d_name;
      devices.push_back(device);
      if (devices.size() == kMaxSerialDevices) break;
    }
    closedir(dir);
  }
  std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });

  std::vector<std::string> canonical;
  for (const SerialDevice& device : devices) canonical.push_back(Canonical(device.path));

  const std::string byIdFolder = folder + "/serial/by-id";
  if (DIR* dir = opendir(byIdFolder.c_str())) {
    int count = 0;
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.' || ++count > 256) continue;
      std::string link = byIdFolder + "/" + entry->d_name;
      std::string target = Canonical(link);
      for (size_t i = 0; i < devices.size(); ++i)
        if (!target.empty() && target == canonical[i]) devices[i].byIdNames.push_back(link);
    }
    closedir(dir);
  }

  std::map<std::string, Holder> holders = FindHolders(canonical);
  for (size_t i = 0; i < devices.size(); ++i) {
    SerialDevice& device = devices[i];
    std::sort(device.byIdNames.begin(), device.byIdNames.end());
    if (canonical[i].empty()) {
      device.state = SerialDeviceState::Unusable;
      device.problem = "the device is missing";
    } else if (access(device.path.c_str(), R_OK | W_OK) != 0) {
      int error = errno;
      device.state = error == EACCES || error == EPERM ? SerialDeviceState::NotPermitted : SerialDeviceState::Unusable;
      device.problem = std::strerror(error);
    } else if (auto holder = holders.find(canonical[i]); holder != holders.end()) {
      device.state = SerialDeviceState::Busy;
      device.holderPid = holder->second.pid;
      device.holderName = holder->second.name;
    }
  }
  return devices;
}

std::string SerialPortLinkTarget(LPCWSTR name) {
  if (!IsSerialPortName(name)) return {};
  std::string base = "COM";
  for (size_t i = 3; name[i] != u':'; ++i) base += static_cast<char>(name[i]);
  return ReadLink(DeviceRoot() + "/dev/" + base);
}

DWORD SetSerialPortLink(LPCWSTR name, const std::string& device) {
  if (!IsSerialPortName(name) || device.empty() || device.size() >= PATH_MAX) return ERROR_INVALID_PARAMETER;
  std::string base = "COM";
  for (size_t i = 3; name[i] != u':'; ++i) base += static_cast<char>(name[i]);
  std::string folder = DeviceRoot() + "/dev";
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return Win32ErrorFromErrno(errno);
  std::string link = folder + "/" + base;
  std::string fresh = link + ".new";
  unlink(fresh.c_str());
  if (symlink(device.c_str(), fresh.c_str()) != 0) return Win32ErrorFromErrno(errno);
  if (rename(fresh.c_str(), link.c_str()) != 0) {
    DWORD error = Win32ErrorFromErrno(errno);
    unlink(fresh.c_str());
    return error;
  }
  return ERROR_SUCCESS;
}

HANDLE OpenSerialDevice(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(errno == EBUSY ? ERROR_SHARING_VIOLATION : Win32ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  if (!isatty(fd)) {
    close(fd);
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  // The same lock a "COMn:" port takes, so that each keeps the other out.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  ioctl(fd, TIOCEXCL);
  DWORD error = 0;
  auto object = SerialPort::Create(fd, GENERIC_READ | GENERIC_WRITE, path, &error);
  if (!object) {
    SetLastError(error != 0 ? error : ERROR_GEN_FAILURE);
    return INVALID_HANDLE_VALUE;
  }
  uintptr_t value = InsertHandle(object);
  if (value == 0) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return ToHandle(value);
}

}  // namespace kvplatform
