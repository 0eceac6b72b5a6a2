#include "testing/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "testing/files.h"
#include "testing/wait_until.h"

namespace {

std::vector<char*> ArgvPointers(const std::vector<std::string>& aArgv) {
  std::vector<char*> pointers;
  for (const std::string& arg : aArgv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

int DecodeStatus(int aStatus) {
  if (WIFEXITED(aStatus)) return WEXITSTATUS(aStatus);
  if (WIFSIGNALED(aStatus)) return 128 + WTERMSIG(aStatus);
  return -1;
}

}  // namespace

TChildResult RunChild(const std::vector<std::string>& aArgv, const TChildOptions& aOptions) {
  int in[2], out[2], err[2];
  // Close-on-exec: a child another thread of the test forks meanwhile (a
  // gateway started in the background) must not hold these pipes open, or
  // this run would wait for an end of file that never comes.
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return {};
  std::vector<char*> argv = ArgvPointers(aArgv);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    for (const auto& [name, value] : aOptions.iEnvironment) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // Small inputs only: the answer to a prompt.
  if (!aOptions.iStdin.empty()) {
    ssize_t written = write(in[1], aOptions.iStdin.data(), aOptions.iStdin.size());
    (void)written;
  }
  if (!aOptions.iHoldStdin) close(in[1]);

  TChildResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aOptions.iTimeoutMs);
  bool outOpen = true, errOpen = true, killed = false;
  while (outOpen || errOpen) {
    if (std::chrono::steady_clock::now() > deadline && !killed) {
      kill(pid, SIGKILL);
      killed = true;
    }
    pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
    poll(fds, 2, 100);
    char buffer[4096];
    if (outOpen && (fds[0].revents & (POLLIN | POLLHUP))) {
      ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n > 0) result.iOut.append(buffer, static_cast<size_t>(n));
      else outOpen = false;
    }
    if (errOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
      ssize_t n = read(err[0], buffer, sizeof buffer);
      if (n > 0) {
        result.iErr.append(buffer, static_cast<size_t>(n));
        if (aOptions.iOnError) aOptions.iOnError(pid, result.iErr);
      } else {
        errOpen = false;
      }
    }
  }
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (aOptions.iHoldStdin) close(in[1]);
  result.iStatus = killed ? -1 : DecodeStatus(status);
  return result;
}

bool TBackgroundChild::Start(const std::vector<std::string>& aArgv, const std::string& aOutFile,
                             const std::string& aErrFile, const std::string& aReadyText) {
  std::vector<char*> argv = ArgvPointers(aArgv);
  // A ready text left by an earlier child in the same file must not count for this one.
  WriteFile(aOutFile, "");
  iPid = fork();
  if (iPid == 0) {
    int o = open(aOutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = open(aErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(o, 1);
    dup2(e, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  bool ready = false;
  kvtest::WaitUntil([&] {
    ready = ReadFile(aOutFile).find(aReadyText) != std::string::npos;
    if (ready) return true;
    int status = 0;
    if (waitpid(iPid, &status, WNOHANG) != iPid) return false;
    iExitStatus = DecodeStatus(status);
    iPid = -1;
    return true;
  });
  return ready;
}

int TBackgroundChild::Stop() {
  if (iPid <= 0) return iExitStatus;
  kill(iPid, SIGTERM);
  int status = 0;
  waitpid(iPid, &status, 0);
  iPid = -1;
  iExitStatus = DecodeStatus(status);
  return iExitStatus;
}
