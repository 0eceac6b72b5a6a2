#include "sim_process.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace phonesim::testing {

using namespace std::chrono;

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
  Stop();
  if (iFd >= 0) ::close(iFd);
}

bool SimProcess::Start(const std::string& profileJson, const std::string& extraArgs) {
  WriteFile(Dir() + "/profile.json", profileJson);
  return Launch(Dir() + "/profile.json", extraArgs);
}

bool SimProcess::StartFile(const std::string& profilePath, const std::string& extraArgs) {
  return Launch(profilePath, extraArgs);
}

bool SimProcess::Launch(const std::string& profilePath, const std::string& extraArgs) {
  iLink = Dir() + "/phone";
  std::vector<std::string> args;
  std::istringstream words(extraArgs);
  for (std::string word; words >> word;) {
    for (size_t at; (at = word.find("{dir}")) != std::string::npos;) word.replace(at, 5, Dir());
    args.push_back(word);
  }
  if (!iSim.StartFile(profilePath, Dir(), iLink, args)) return false;
  iFd = ::open(iLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (iFd < 0) return false;
  termios t{};
  ::tcgetattr(iFd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(iFd, TCSANOW, &t);
  return true;
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

std::string SimProcess::ReadWhile(milliseconds timeout, const std::function<bool(const std::string&)>& done,
                                  bool* hungUp) {
  std::string out;
  auto deadline = steady_clock::now() + timeout;
  while (!done(out)) {
    auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{iFd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[4096];
    ssize_t n = ::read(iFd, buf, sizeof buf);
    if (n > 0) out.append(buf, static_cast<size_t>(n));
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
      if (hungUp) *hungUp = true;
      break;
    }
  }
  return out;
}

std::string SimProcess::ReadUntilFinal(milliseconds timeout) { return ReadWhile(timeout, HasFinal); }

std::string SimProcess::ReadUntil(const std::string& text, milliseconds timeout) {
  return ReadWhile(timeout, [&](const std::string& out) {
    size_t at = out.find(text);
    return at != std::string::npos && out.find("\r\n", at + text.size()) != std::string::npos;
  });
}

std::optional<std::string> SimProcess::ReadUntilHangUp(milliseconds timeout) {
  bool hungUp = false;
  std::string out = ReadWhile(timeout, [](const std::string&) { return false; }, &hungUp);
  return hungUp ? std::optional(out) : std::nullopt;
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

bool SimProcess::Control(const std::string& line) {
  int fd = ::open((Dir() + "/control").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  std::string bytes = line + "\n";
  bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  return ok;
}

std::vector<std::string> SimProcess::RepliesInOrder(const std::vector<std::string>& lines) {
  // The transcript's whole lines as they stand now, from the `from`th on: (read, bytes).
  auto transcript = [this](size_t from) {
    std::vector<std::pair<bool, std::string>> entries;
    std::string text = ReadFile(Dir() + "/line.jsonl");
    for (size_t at = 0, end, index = 0; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      if (index++ < from) continue;
      auto entry = nlohmann::json::parse(text.substr(at, end - at));
      entries.emplace_back(entry["dir"] == "in", entry["bytes"]);
    }
    return entries;
  };
  const size_t start = transcript(0).size();
  std::vector<size_t> ends;  // where each line ends among the bytes sent
  std::vector<std::string> replies;
  // Each piece written belongs to the line of the last byte read before it; the bytes read so far.
  auto sortReplies = [&] {
    replies.assign(lines.size(), "");
    size_t read = 0;
    for (const auto& [in, bytes] : transcript(start)) {
      if (in) read += bytes.size();
      else if (read > 0) replies[std::lower_bound(ends.begin(), ends.end() - 1, read) - ends.begin()] += bytes;
    }
    return read;
  };
  for (const std::string& line : lines) {
    Send(line);
    ends.push_back((ends.empty() ? 0 : ends.back()) + line.size());
    kvtest::WaitUntil([&] { return sortReplies() >= ends.back(); });
  }
  replies.pop_back();  // the marker's
  return replies;
}

int SimProcess::Stop() {
  int status = iSim.Stop();
  // A signal is not an exit code.
  return status >= 128 ? -1 : status;
}

}  // namespace phonesim::testing
