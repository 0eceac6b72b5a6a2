#include "control_channel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace phonesim {

ControlChannel::~ControlChannel() {
  if (iRead >= 0) ::close(iRead);
  if (iKeepOpen >= 0) ::close(iKeepOpen);
  if (iMade) ::unlink(iPath.c_str());
}

bool ControlChannel::Open(const std::string& path, std::string& error) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISFIFO(st.st_mode)) {
      error = path + ": exists and is not a FIFO";
      return false;
    }
  } else if (::mkfifo(path.c_str(), 0600) != 0) {
    error = path + ": cannot make the FIFO: " + std::strerror(errno);
    return false;
  } else {
    iMade = true;
  }
  iPath = path;
  iRead = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  iKeepOpen = iRead < 0 ? -1 : ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (iRead < 0 || iKeepOpen < 0) {
    error = path + ": cannot open the FIFO: " + std::strerror(errno);
    return false;
  }
  return true;
}

std::vector<std::string> ControlChannel::ReadLines() {
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(iRead, buffer, sizeof buffer)) > 0) iPartial.append(buffer, static_cast<size_t>(n));
  std::vector<std::string> lines;
  size_t end;
  while ((end = iPartial.find('\n')) != std::string::npos) {
    lines.push_back(iPartial.substr(0, end));
    iPartial.erase(0, end + 1);
  }
  return lines;
}

}  // namespace phonesim
