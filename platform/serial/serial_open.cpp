// Port names and opening the host device behind one. A port is opened
// exclusively whatever share mode is asked for: a phone answers one program.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include <kvplatform.h>
#include <kvplatform_serial.h>
#include <windows.h>

#include "../core/host_errors.h"
#include "serial_open.h"
#include "serial_port.h"

namespace kvplatform {
namespace {

// "COM3:" -> "COM3"
std::string PortBaseName(LPCWSTR name) {
  std::string base = "COM";
  for (size_t i = 3; name[i] != u':'; ++i) base += static_cast<char>(name[i]);
  return base;
}

// A port in use is tried again for a moment before the open is refused: the
// program's previous connection may still be closing it on another thread,
// and a modem manager probes a freshly plugged phone for a while.
constexpr int kBusyRetries = 20;
constexpr useconds_t kBusyRetryDelayUs = 100'000;

HANDLE Refuse(const std::string& port, DWORD error, const std::string& why) {
  std::fprintf(stderr, "korvanet: cannot open %s: %s\n", port.c_str(), why.c_str());
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

// Where the system keeps a name per USB device that stays the same when the
// device comes back after a reset, whatever ttyUSBn it gets then.
std::string StableNameFolder() { return SerialDeviceFolder() + "/serial/by-id"; }

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string result(real);
  std::free(real);
  return result;
}

// The stable name of the device path leads to: the path itself when it is
// one, else the link in the stable-name folder that leads to the same device;
// empty when there is none.
std::string StableNameOf(const std::string& path) {
  const std::string folder = StableNameFolder();
  if (path.rfind(folder + "/", 0) == 0) return path;
  const std::string device = RealPath(path);
  if (device.empty()) return {};
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::string candidate = folder + "/" + entry->d_name;
    if (RealPath(candidate) == device) {
      found = candidate;
      break;
    }
  }
  closedir(dir);
  return found;
}

// Once a port has opened, it is opened again by its stable name: after a USB
// reset the configured /dev/ttyUSB2 may be another device, or gone.
std::mutex gStableNamesLock;
std::map<std::string, std::string> gStableNames;  // port and configured path -> stable name

std::string RememberedStableName(const std::string& key) {
  std::lock_guard<std::mutex> hold(gStableNamesLock);
  auto it = gStableNames.find(key);
  return it == gStableNames.end() ? std::string() : it->second;
}

void RememberStableName(const std::string& key, const std::string& name) {
  std::lock_guard<std::mutex> hold(gStableNamesLock);
  gStableNames.emplace(key, name);
}

}  // namespace

bool IsSerialPortName(LPCWSTR name) {
  if (name == nullptr || (name[0] != u'C' && name[0] != u'c') || (name[1] != u'O' && name[1] != u'o') ||
      (name[2] != u'M' && name[2] != u'm'))
    return false;
  size_t i = 3;
  if (name[i] < u'0' || name[i] > u'9') return false;
  while (name[i] >= u'0' && name[i] <= u'9') ++i;
  return name[i] == u':' && name[i + 1] == 0 && i <= 5;
}

std::string SerialPortDevice(LPCWSTR name, std::string* source) {
  std::string base = PortBaseName(name);
  std::string variable = "KORVANET_" + base;
  if (const char* device = std::getenv(variable.c_str()); device && *device) {
    if (source) *source = variable;
    return device;
  }
  std::string path = DeviceRoot() + "/dev/" + base;
  if (source) *source = path;
  return path;
}

HANDLE OpenSerialPort(LPCWSTR name, DWORD access, DWORD) {
  std::string port = PortBaseName(name);
  std::string source;
  std::string configured = SerialPortDevice(name, &source);
  bool fromVariable = source.rfind("KORVANET_", 0) == 0;
  const std::string key = port + "=" + configured;
  std::string path = RememberedStableName(key);
  const bool stable = !path.empty() && path != configured;
  if (path.empty()) path = configured;
  std::string device = fromVariable ? path + " (from " + source + ")" : path;
  if (stable) device = path + " (the stable name of " + configured + ")";

  int flags = O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
    flags |= O_RDWR;
  else if (access & GENERIC_WRITE)
    flags |= O_WRONLY;
  else
    flags |= O_RDONLY;
  int fd = -1;
  bool locked = false;
  for (int attempt = 0;; ++attempt) {
    fd = open(path.c_str(), flags);
    // The lock keeps out other openers that lock too, root included; the
    // exclusive flag set below keeps out every later opener that is not root.
    locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    bool busy = fd < 0 ? errno == EBUSY : !locked;
    if (!busy || attempt == kBusyRetries) break;
    if (fd >= 0) close(fd);
    usleep(kBusyRetryDelayUs);
  }
  if (fd < 0) {
    int error = errno;
    switch (error) {
      case ENOENT:
        if (!fromVariable && !stable) {
          struct stat link;
          if (lstat(path.c_str(), &link) != 0)
            return Refuse(port, ERROR_FILE_NOT_FOUND,
                          "no device configured: set KORVANET_" + port + "=/dev/ttyUSB0 (for example) or make " +
                              path + " a link to the device");
        }
        return Refuse(port, ERROR_FILE_NOT_FOUND, device + " is missing: is the phone plugged in and switched on?");
      case EACCES:
      case EPERM:
        return Refuse(port, ERROR_ACCESS_DENIED,
                      "permission denied on " + device +
                          ": join the 'dialout' group (sudo usermod -aG dialout $USER, then log in again)");
      case EBUSY:
        return Refuse(port, ERROR_SHARING_VIOLATION,
                      device + " is busy: another program holds it (often ModemManager)");
      case ENXIO:
      case ENODEV:
      case EIO:
        return Refuse(port, ERROR_DEVICE_NOT_CONNECTED, device + " is not connected");
      default:
        return Refuse(port, Win32ErrorFromErrno(error), device + ": " + std::strerror(error));
    }
  }
  if (!isatty(fd)) {
    close(fd);
    return Refuse(port, ERROR_NOT_SUPPORTED, device + " is not a serial device");
  }
  if (!locked) {
    close(fd);
    return Refuse(port, ERROR_SHARING_VIOLATION, device + " is busy: another program or connection holds it");
  }
  ioctl(fd, TIOCEXCL);
  if (!stable && RememberedStableName(key).empty()) {
    std::string stableName = StableNameOf(path);
    if (!stableName.empty()) RememberStableName(key, stableName);
  }

  DWORD error = 0;
  auto object = SerialPort::Create(fd, access, path, &error);
  if (!object) return Refuse(port, error, device + " cannot be set up as a serial line");
  uintptr_t value = InsertHandle(object);
  if (value == 0) return Refuse(port, ERROR_TOO_MANY_OPEN_FILES, "too many open handles");
  SetLastError(ERROR_SUCCESS);
  return ToHandle(value);
}

}  // namespace kvplatform
