#include "sim_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace phonesim::testing {

using namespace std::chrono;

std::string MakeTempDir() {
  std::string pattern = (std::getenv("TMPDIR") ? std::string(std::getenv("TMPDIR")) : "/tmp") + "/phonesim-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  return ::mkdtemp(buf.data()) ? std::string(buf.data()) : std::string();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool HasFinal(const std::string& r) {
  auto endsWith = [&](const std::string& t) { return r.size() >= t.size() && r.compare(r.size() - t.size(), t.size(), t) == 0; };
  if (endsWith("\r\nOK\r\n") || endsWith("\r\nERROR\r\n") || endsWith("\r\n> ")) return true;
  for (const char* error : {"\r\n+CME ERROR", "\r\n+CMS ERROR"}) {
    size_t p = r.rfind(error);
    if (p != std::string::npos && r.find("\r\n", p + 2) != std::string::npos) return true;
  }
  return false;
}

SimProcess::~SimProcess() {
  if (iPid > 0) Stop();
  if (iFd >= 0) ::close(iFd);
  if (!iDir.empty()) std::system(("rm -rf '" + iDir + "'").c_str());
}

bool SimProcess::Start(const std::string& profileJson, const std::string& extraArgs) {
  iDir = MakeTempDir();
  WriteFile(iDir + "/profile.json", profileJson);
  return Launch(iDir + "/profile.json", extraArgs);
}

bool SimProcess::StartFile(const std::string& profilePath, const std::string& extraArgs) {
  iDir = MakeTempDir();
  return Launch(profilePath, extraArgs);
}

bool SimProcess::Launch(const std::string& profilePath, const std::string& extraArgs) {
  iLink = iDir + "/phone";
  std::string args = extraArgs;
  for (size_t at; (at = args.find("{dir}")) != std::string::npos;) args.replace(at, 5, iDir);
  std::string command = std::string("exec ") + PHONESIM_BINARY + " --profile '" + profilePath + "' --link '" + iLink +
                        "' " + args + " > '" + iDir + "/stdout' 2> '" + iDir + "/stderr'";
  iPid = ::fork();
  if (iPid == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  auto deadline = steady_clock::now() + seconds(20);
  while (steady_clock::now() < deadline) {
    if (ReadFile(iDir + "/stdout").find("ready\n") != std::string::npos) break;
    int status;
    if (::waitpid(iPid, &status, WNOHANG) == iPid) {
      iExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      iPid = -1;
      return false;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
  iFd = ::open(iLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (iFd < 0) return false;
  termios t{};
  ::tcgetattr(iFd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(iFd, TCSANOW, &t);
  return true;
}

std::string SimProcess::Errors() const {
  return ReadFile(iDir + "/stderr");
}

void SimProcess::Send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(iFd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    } else {
      pollfd p{iFd, POLLOUT, 0};
      ::poll(&p, 1, 100);
    }
  }
}

std::string SimProcess::ReadUntilFinal(milliseconds timeout) {
  std::string reply;
  auto deadline = steady_clock::now() + timeout;
  while (!HasFinal(reply)) {
    auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{iFd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[4096];
    ssize_t n = ::read(iFd, buf, sizeof buf);
    if (n > 0) reply.append(buf, static_cast<size_t>(n));
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
  }
  return reply;
}

std::string SimProcess::Command(const std::string& line, milliseconds timeout) {
  Send(line + "\r");
  return ReadUntilFinal(timeout);
}

std::string SimProcess::ReadSome(milliseconds timeout) {
  pollfd p{iFd, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return {};
  char buf[4096];
  ssize_t n = ::read(iFd, buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string SimProcess::ReadFor(milliseconds time, int* reads) {
  std::string out;
  auto deadline = steady_clock::now() + time;
  if (reads) *reads = 0;
  while (true) {
    auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{iFd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[4096];
    ssize_t n = ::read(iFd, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<size_t>(n));
      if (reads) ++*reads;
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      break;
    }
  }
  return out;
}

std::string SimProcess::ReadUntil(const std::string& text, milliseconds timeout) {
  std::string out;
  auto deadline = steady_clock::now() + timeout;
  auto done = [&] {
    size_t at = out.find(text);
    return at != std::string::npos && out.find("\r\n", at + text.size()) != std::string::npos;
  };
  while (!done()) {
    auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{iFd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[4096];
    ssize_t n = ::read(iFd, buf, sizeof buf);
    if (n > 0) out.append(buf, static_cast<size_t>(n));
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
  }
  return out;
}

bool SimProcess::Control(const std::string& line) {
  int fd = ::open((iDir + "/control").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  std::string bytes = line + "\n";
  bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  return ok;
}

bool SimProcess::LineClosed(milliseconds timeout) {
  auto deadline = steady_clock::now() + timeout;
  while (steady_clock::now() < deadline) {
    pollfd p{iFd, POLLIN, 0};
    ::poll(&p, 1, 50);
    if (p.revents & (POLLHUP | POLLERR)) return true;
    if (p.revents & POLLIN) {
      char buf[256];
      ssize_t n = ::read(iFd, buf, sizeof buf);
      if (n == 0 || (n < 0 && errno == EIO)) return true;
    }
  }
  return false;
}

int SimProcess::WaitExit(milliseconds timeout) {
  auto deadline = steady_clock::now() + timeout;
  while (steady_clock::now() < deadline) {
    int status;
    if (::waitpid(iPid, &status, WNOHANG) == iPid) {
      iPid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
  ::kill(iPid, SIGKILL);
  ::waitpid(iPid, nullptr, 0);
  iPid = -1;
  return -1;
}

int SimProcess::Stop() {
  if (iPid <= 0) return iExitCode;
  ::kill(iPid, SIGTERM);
  iExitCode = WaitExit(seconds(10));
  return iExitCode;
}

}  // namespace phonesim::testing
