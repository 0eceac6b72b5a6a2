#include "tools/cli/tests/cli_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

CliTest::CliTest(const std::string& aParent) : iDir("kv-cli", aParent), iRoot(iDir.Path()) {
  std::filesystem::create_directories(iRoot + "/dev");
}

CliTest::~CliTest() { iPhone.Stop(); }

void CliTest::StartPhone(const nlohmann::json& aProfile, const std::vector<std::string>& aExtraArgs) {
  ASSERT_TRUE(iPhone.Start(aProfile, iRoot, iRoot + "/dev/COM3", aExtraArgs)) << iPhone.Errors();
}

nlohmann::json CliTest::StopPhone() {
  iPhone.Stop();
  return iPhone.State();
}

TChildResult CliTest::Cli(const std::vector<std::string>& aArgs, TChildOptions aOptions) {
  std::vector<std::string> argv = {KORVANET_CLI_BINARY, "--root", iRoot};
  argv.insert(argv.end(), aArgs.begin(), aArgs.end());
  // Only the test's root and link count, whatever the caller's environment says.
  aOptions.iEnvironment.emplace("KORVANET_COM3", std::nullopt);
  aOptions.iEnvironment.emplace("KORVANET_ROOT", std::nullopt);
  return RunChild(argv, aOptions);
}

nlohmann::json CliTest::CliJson(const std::vector<std::string>& aArgs) {
  std::vector<std::string> args = {"--json"};
  args.insert(args.end(), aArgs.begin(), aArgs.end());
  TChildResult result = Cli(args);
  EXPECT_EQ(result.iStatus, 0) << result.iErr;
  return nlohmann::json::parse(result.iOut, nullptr, false);
}

TChildResult CliTest::CliOnTerminal(const std::vector<std::string>& aArgs) {
  TChildResult result;
  int terminal = -1, side = -1;
  termios raw;
  cfmakeraw(&raw);
  if (openpty(&terminal, &side, nullptr, &raw, nullptr) != 0) {
    result.iErr = "openpty failed";
    return result;
  }
  std::vector<std::string> args = {KORVANET_CLI_BINARY, "--root", iRoot};
  args.insert(args.end(), aArgs.begin(), aArgs.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string errors = iDir.Path() + "/terminal.err";
  const pid_t child = fork();
  if (child == 0) {
    const int nothing = open("/dev/null", O_RDONLY);
    const int error = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(nothing, STDIN_FILENO);
    dup2(side, STDOUT_FILENO);
    dup2(error, STDERR_FILENO);
    close(terminal);
    unsetenv("KORVANET_COM3");
    unsetenv("KORVANET_ROOT");
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(side);
  // Read until the child's side closes (EIO); one generous deadline for a hang.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  bool killed = false;
  char buffer[4096];
  for (;;) {
    if (!killed && std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      killed = true;
    }
    pollfd ready = {terminal, POLLIN, 0};
    if (poll(&ready, 1, 100) == 0) continue;
    const ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got > 0)
      result.iOut.append(buffer, static_cast<size_t>(got));
    else if (got < 0 && errno == EINTR)
      continue;
    else
      break;
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(terminal);
  result.iStatus = killed ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::ifstream error(errors, std::ios::binary);
  std::ostringstream text;
  text << error.rdbuf();
  result.iErr = text.str();
  return result;
}

std::string LastLine(const std::string& aText) {
  size_t end = aText.find_last_not_of("\r\n");
  if (end == std::string::npos) return {};
  size_t start = aText.find_last_of('\n', end);
  return aText.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}
