#include "pty_link.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <termios.h>
#include <unistd.h>

namespace phonesim {

PtyLink::~PtyLink() {
  Close();
}

bool PtyLink::Open(const std::string& linkPath, std::string& error) {
  auto fail = [&](const std::string& what) {
    error = what + ": " + std::strerror(errno);
    Close();
    return false;
  };
  iMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (iMaster < 0) return fail("cannot open a pseudo-terminal");
  if (::grantpt(iMaster) != 0 || ::unlockpt(iMaster) != 0) return fail("cannot unlock the pseudo-terminal");
  char name[128];
  if (::ptsname_r(iMaster, name, sizeof name) != 0) return fail("cannot name the pseudo-terminal");
  iDevice = name;
  iSlave = ::open(name, O_RDWR | O_NOCTTY);
  if (iSlave < 0) return fail("cannot open " + iDevice);
  // Raw, so that the line discipline neither echoes nor edits what passes.
  termios t{};
  if (::tcgetattr(iSlave, &t) == 0) {
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(iSlave, TCSANOW, &t);
  }
  ::fcntl(iMaster, F_SETFL, ::fcntl(iMaster, F_GETFL) | O_NONBLOCK);

  if (!linkPath.empty() && !LinkAt(linkPath, error)) {
    Close();
    return false;
  }
  return true;
}

bool PtyLink::LinkAt(const std::string& linkPath, std::string& error) {
  struct stat st {};
  if (::lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = linkPath + " exists and is not a symbolic link";
      return false;
    }
    ::unlink(linkPath.c_str());
  }
  if (::symlink(iDevice.c_str(), linkPath.c_str()) != 0) {
    error = "cannot create the link " + linkPath + ": " + std::strerror(errno);
    return false;
  }
  iLink = linkPath;
  return true;
}

void PtyLink::Close() {
  // Bytes just written to the master reach the far end's queue a little
  // later, through the kernel's flip buffer, so a queue that reads empty once
  // may not have had them yet: it must stay empty for a while.
  const int kQuietChecks = 20;  // of 5 ms each
  for (int waited = 0, quiet = 0; iSlave >= 0 && waited < 2000 && quiet < kQuietChecks; waited += 5) {
    int pending = 0;
    if (::ioctl(iSlave, FIONREAD, &pending) != 0) break;
    quiet = pending == 0 ? quiet + 1 : 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!iLink.empty()) {
    ::unlink(iLink.c_str());
    iLink.clear();
  }
  if (iMaster >= 0) ::close(iMaster);
  if (iSlave >= 0) ::close(iSlave);
  iMaster = iSlave = -1;
}

}  // namespace phonesim
