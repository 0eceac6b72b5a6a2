#include "tools/cli/message_command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "kernel/log.h"
#include "tools/cli/cli_text.h"

extern char** environ;

namespace kvcli {
namespace {

using TClock = std::chrono::steady_clock;

// A command that does not end on SIGTERM gets this long before SIGKILL.
const auto KKillGrace = std::chrono::seconds(2);
const int KPollMs = 10;

const char* const KMessageVariables[] = {"KORVANET_ID=", "KORVANET_NUMBER=", "KORVANET_NAME=", "KORVANET_TEXT=",
                                         "KORVANET_DATE="};

bool IsMessageVariable(const char* aEntry) {
  for (const char* name : KMessageVariables)
    if (strncmp(aEntry, name, strlen(name)) == 0) return true;
  return false;
}

// An environment variable ends at its first zero byte, so a U+0000 goes as
// the two bytes C0 80 (as modified UTF-8 writes it): no UTF-8 text holds
// them, and every other text is given byte for byte.
std::string VariableValue(const std::string& aText) {
  std::string out;
  out.reserve(aText.size());
  for (char c : aText) {
    if (c == '\0')
      out += "\xC0\x80";
    else
      out += c;
  }
  return out;
}

// Ours first, then the rest of the environment without stale values of ours.
std::vector<std::string> Environment(const TStoredMessage& aMessage) {
  std::vector<std::string> entries = {std::string(KMessageVariables[0]) + std::to_string(aMessage.iId),
                                      KMessageVariables[1] + VariableValue(aMessage.iNumber),
                                      KMessageVariables[2] + VariableValue(aMessage.iName),
                                      KMessageVariables[3] + VariableValue(aMessage.iText),
                                      KMessageVariables[4] + VariableValue(aMessage.iDate)};
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (!IsMessageVariable(*entry)) entries.emplace_back(*entry);
  return entries;
}

void Report(const TStoredMessage& aMessage, const std::string& aWhat) {
  std::string line = "korvanet-cli: listen: the command for message " + std::to_string(aMessage.iId) + " " + aWhat;
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  std::u16string text = Utf16(line);
  LogMessage(KLogFilePath, u"%1!s!", reinterpret_cast<LPCWSTR>(text.c_str()));
}

std::string Outcome(int aStatus) {
  if (WIFEXITED(aStatus)) return "exited with status " + std::to_string(WEXITSTATUS(aStatus));
  if (WIFSIGNALED(aStatus)) return std::string("ended by signal ") + strsignal(WTERMSIG(aStatus));
  return "ended";
}

}  // namespace

TMessageCommandRunner::TMessageCommandRunner(const std::string& aCommand, int aTimeLimitSeconds,
                                             bool aOutputToStandardError)
    : iCommand(aCommand), iTimeLimitSeconds(aTimeLimitSeconds), iOutputToStandardError(aOutputToStandardError) {
  // What a command leaves behind when its shell ends becomes our child, so
  // that it can be waited for and ended with the rest of its group.
  if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) LogMessage(KLogFilePath, u"TMessageCommandRunner - no subreaper");
  iThread = std::thread([this] { Work(); });
}

TMessageCommandRunner::~TMessageCommandRunner() { Finish(); }

void TMessageCommandRunner::Push(const TStoredMessage& aMessage) {
  std::lock_guard<std::mutex> hold(iLock);
  if (iEnding) return;
  iQueue.push_back(aMessage);
  iWake.notify_one();
}

void TMessageCommandRunner::Finish() {
  {
    std::lock_guard<std::mutex> hold(iLock);
    iEnding = true;
    iWake.notify_one();
  }
  if (iThread.joinable()) iThread.join();
}

void TMessageCommandRunner::Abandon() {
  std::deque<TStoredMessage> left;
  {
    std::lock_guard<std::mutex> hold(iLock);
    iEnding = true;
    left.swap(iQueue);
    iWake.notify_one();
  }
  for (const TStoredMessage& message : left)
    Report(message, "was not started: listening was stopped; the message stays stored");
  if (iThread.joinable()) iThread.join();
}

void TMessageCommandRunner::Work() {
  for (;;) {
    TStoredMessage message;
    {
      std::unique_lock<std::mutex> hold(iLock);
      iWake.wait(hold, [this] { return iEnding || !iQueue.empty(); });
      if (iQueue.empty()) return;
      message = std::move(iQueue.front());
      iQueue.pop_front();
    }
    Run(message);
  }
}

void TMessageCommandRunner::Run(const TStoredMessage& aMessage) {
  int input[2];
  if (pipe2(input, O_CLOEXEC) != 0) {
    Report(aMessage, std::string("could not start: ") + strerror(errno));
    return;
  }
  fcntl(input[1], F_SETFL, O_NONBLOCK);

  std::vector<std::string> environment = Environment(aMessage);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string shell = "/bin/sh";
  std::string flag = "-c";
  std::string command = iCommand;
  char* argv[] = {shell.data(), flag.data(), command.data(), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  if (iOutputToStandardError) posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group, so that a time-out ends whatever it started;
  // the signals this program keeps for itself are the command's again.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGUSR1}) sigaddset(&defaults, signal);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, shell.c_str(), &actions, &attributes, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(input[0]);
  if (spawned != 0) {
    close(input[1]);
    Report(aMessage, std::string("could not start: ") + strerror(spawned));
    return;
  }

  // The JSON goes in as the command takes it; one that never reads it is
  // not waited for beyond the time limit. The run lasts while anything of
  // the command's process group is left: a child it left behind, or one
  // that ignores SIGTERM, is ended with the rest of the group.
  std::string json = aMessage.iJson + "\n";
  size_t written = 0;
  int inputFd = input[1];
  const auto deadline = TClock::now() + std::chrono::seconds(iTimeLimitSeconds);
  bool terminated = false;
  bool killed = false;
  bool shellEnded = false;
  int status = 0;
  for (;;) {
    // The shell, and what came to us as its orphans: also those that left
    // the group, so that none stays a zombie for as long as we listen. This
    // thread starts the program's only child processes.
    for (;;) {
      int each = 0;
      pid_t ended = waitpid(-1, &each, WNOHANG);
      if (ended <= 0) break;
      if (ended == pid) {
        shellEnded = true;
        status = each;
      }
    }
    if (shellEnded && kill(-pid, 0) != 0 && errno == ESRCH) break;
    auto now = TClock::now();
    if (!terminated && now >= deadline) {
      kill(-pid, SIGTERM);
      terminated = true;
    } else if (terminated && !killed && now >= deadline + KKillGrace) {
      kill(-pid, SIGKILL);
      killed = true;
    } else if (killed && shellEnded && now >= deadline + 2 * KKillGrace) {
      // Only zombies left, which another process must reap.
      break;
    }
    if (inputFd >= 0 && written < json.size() && !shellEnded) {
      pollfd ready = {inputFd, POLLOUT, 0};
      if (poll(&ready, 1, KPollMs) > 0) {
        ssize_t n = write(inputFd, json.data() + written, json.size() - written);
        if (n > 0) written += static_cast<size_t>(n);
        if (n < 0 && errno != EAGAIN && errno != EINTR) written = json.size();  // it closed its input
      }
      if (written == json.size()) {
        close(inputFd);
        inputFd = -1;
      }
    } else {
      poll(nullptr, 0, KPollMs);
    }
  }
  if (inputFd >= 0) close(inputFd);
  if (terminated)
    Report(aMessage, "took longer than " + std::to_string(iTimeLimitSeconds) + " s and was stopped");
  else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    Report(aMessage, Outcome(status));
}

}  // namespace kvcli
