#include "tools/cli/pin_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/cli/cli_text.h"
#include "tools/cli/command_line.h"

namespace kvcli {
namespace {

// A PIN, a line end and some white space; anything longer is not a PIN file.
const size_t KMaxPinFileBytes = 64;

std::string Named(const std::string& aPath) { return "the PIN file '" + Printable(aPath) + "'"; }

bool IsSpace(char aChar) { return aChar == ' ' || aChar == '\t' || aChar == '\r' || aChar == '\n'; }

}  // namespace

std::optional<std::string> PinFilePath(const std::optional<std::string>& aOption) {
  if (aOption) return aOption;
  const char* variable = getenv(KPinFileVariable);
  if (variable != nullptr && variable[0] != 0) return std::string(variable);
  return std::nullopt;
}

std::string ReadPinFile(const std::string& aPath) {
  int fd = open(aPath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw TCommandError("cannot open " + Named(aPath) + ": " + std::strerror(errno));
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    throw TCommandError(Named(aPath) + " is not a plain file");
  }
  if (status.st_uid != geteuid()) {
    close(fd);
    throw TCommandError(Named(aPath) + " belongs to another user");
  }
  if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    close(fd);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    throw TCommandError(Named(aPath) + " can be read by others (mode " + mode + "): make it private with chmod 600");
  }
  char buffer[KMaxPinFileBytes + 1];
  size_t length = 0;
  for (;;) {
    ssize_t got = read(fd, buffer + length, sizeof buffer - length);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      int error = errno;
      close(fd);
      throw TCommandError("cannot read " + Named(aPath) + ": " + std::strerror(error));
    }
    if (got == 0) break;
    length += static_cast<size_t>(got);
    if (length > KMaxPinFileBytes) break;
  }
  close(fd);
  std::string pin(buffer, length);
  explicit_bzero(buffer, sizeof buffer);
  if (length > KMaxPinFileBytes) throw TCommandError(Named(aPath) + " is too long for a PIN");
  size_t first = 0;
  while (first < pin.size() && IsSpace(pin[first])) ++first;
  size_t last = pin.size();
  while (last > first && IsSpace(pin[last - 1])) --last;
  std::string trimmed = pin.substr(first, last - first);
  explicit_bzero(pin.data(), pin.size());
  bool digits = trimmed.size() >= 4 && trimmed.size() <= 8;
  for (char c : trimmed) digits = digits && c >= '0' && c <= '9';
  if (!digits) {
    explicit_bzero(trimmed.data(), trimmed.size());
    throw TCommandError(Named(aPath) + " holds no PIN (4 to 8 digits)");
  }
  return trimmed;
}

}  // namespace kvcli
