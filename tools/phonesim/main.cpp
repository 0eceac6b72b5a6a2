// phonesim --profile FILE|NAME [--link PATH] [--transcript FILE] [--state-out FILE]
//          [--control FIFO]
//
// Serves a simulated GSM phone on a pseudo-terminal until SIGINT or SIGTERM,
// then writes the phone's state (when asked) and exits 0. The control FIFO
// takes new messages and unsolicited lines while it runs.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>

#include "control_channel.h"
#include "line_writer.h"
#include "profile.h"
#include "profile_find.h"
#include "pty_link.h"
#include "session.h"
#include "transcript.h"

namespace {

int gSignalPipe[2] = {-1, -1};
volatile sig_atomic_t gStop = 0;

void OnSignal(int) {
  gStop = 1;
  char b = 1;
  [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &b, 1);
}

struct Options {
  std::string profile, link, transcript, stateOut, control;
  bool help = false;
};

constexpr const char* kUsage =
    "usage: phonesim --profile FILE|NAME [--link PATH] [--transcript FILE] [--state-out FILE]\n"
    "                [--control FIFO]\n";

int Usage(const char* why) {
  std::fprintf(stderr, "phonesim: %s\n%s", why, kUsage);
  return 2;
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      return true;
    }
    std::string* target = arg == "--profile"      ? &o.profile
                          : arg == "--link"       ? &o.link
                          : arg == "--transcript" ? &o.transcript
                          : arg == "--state-out"  ? &o.stateOut
                          : arg == "--control"    ? &o.control
                                                  : nullptr;
    if (!target) {
      error = "unknown option " + arg;
      return false;
    }
    if (i + 1 >= argc) {
      error = arg + " needs a value";
      return false;
    }
    *target = argv[++i];
  }
  if (o.profile.empty()) {
    error = "--profile is required";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) return Usage(error.c_str());
  if (options.help) {
    std::fputs(kUsage, stdout);
    std::puts("NAME is a bundled profile: demo, generic, ericsson, minimal or full. See phonesim(1).");
    return 0;
  }

  phonesim::Profile profile;
  if (!phonesim::LoadProfile(phonesim::FindProfile(options.profile), profile, error)) {
    std::fprintf(stderr, "phonesim: %s\n", error.c_str());
    return 2;
  }
  phonesim::Transcript transcript;
  if (!options.transcript.empty() && !transcript.Open(options.transcript, error)) {
    std::fprintf(stderr, "phonesim: %s\n", error.c_str());
    return 1;
  }

  if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("phonesim: pipe");
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  phonesim::ControlChannel control;
  if (!options.control.empty() && !control.Open(options.control, error)) {
    std::fprintf(stderr, "phonesim: %s\n", error.c_str());
    return 1;
  }

  auto line = std::make_unique<phonesim::PtyLink>();
  if (!line->Open(options.link, error)) {
    std::fprintf(stderr, "phonesim: %s\n", error.c_str());
    return 1;
  }
  // While the port is away after a "replug": the line it comes back on, and when.
  std::unique_ptr<phonesim::PtyLink> comingBack;
  std::chrono::steady_clock::time_point backAt;
  phonesim::LineWriter writer(line->Fd(), profile.quirks.baud, profile.quirks.chunkMin, profile.quirks.chunkMax,
                              transcript, [] { return gStop != 0; });
  phonesim::Session session(profile, [&](std::string_view bytes) { return writer.Write(bytes); });

  std::printf("%s\nready\n", line->DevicePath().c_str());
  std::fflush(stdout);

  while (!gStop) {
    pollfd fds[3] = {{gSignalPipe[0], POLLIN, 0}, {control.Fd(), POLLIN, 0}, {line->Fd(), POLLIN, 0}};
    int count = line->IsOpen() ? 3 : 2;
    // Until the next status report falls due, or for good.
    int timeout = -1;
    std::optional<std::chrono::steady_clock::time_point> due = session.NextDue();
    if (comingBack && (!due || backAt < *due)) due = backAt;
    if (due) {
      auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now());
      timeout = static_cast<int>(std::clamp<long long>(wait.count() + 1, 0, 60000));
    }
    if (::poll(fds, count, timeout) < 0) {
      if (errno == EINTR) continue;
      std::perror("phonesim: poll");
      break;
    }
    if (count == 3 && (fds[2].revents & POLLIN)) {
      char buffer[4096];
      ssize_t n = ::read(line->Fd(), buffer, sizeof buffer);
      if (n > 0) {
        std::string_view bytes(buffer, static_cast<size_t>(n));
        transcript.Record("in", bytes);
        session.Receive(bytes);
      }
    }
    if (fds[1].revents & POLLIN) {
      for (const std::string& command : control.ReadLines()) {
        std::string why = session.Control(command);
        if (!why.empty()) std::fprintf(stderr, "phonesim: control: %s\n", why.c_str());
      }
    }
    // A USB reset: the device node goes, and comes back later under another
    // name (the new line is made first, so it cannot get the old one's), the
    // link moved to it as a stable device name would be.
    if (std::optional<int> away = session.TakeReplug(); away && !comingBack) {
      comingBack = std::make_unique<phonesim::PtyLink>();
      if (!comingBack->Open("", error)) {
        std::fprintf(stderr, "phonesim: %s\n", error.c_str());
        break;
      }
      std::fprintf(stderr, "phonesim: port gone for %d ms\n", *away);
      line->Close();
      writer.SetFd(-1);
      backAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(*away);
    }
    if (comingBack && std::chrono::steady_clock::now() >= backAt) {
      if (!options.link.empty() && !comingBack->LinkAt(options.link, error)) {
        std::fprintf(stderr, "phonesim: %s\n", error.c_str());
        break;
      }
      line = std::move(comingBack);
      writer.SetFd(line->Fd());
      session.Restart();
      std::fprintf(stderr, "phonesim: port back as %s\n", line->DevicePath().c_str());
    }
    session.Tick(std::chrono::steady_clock::now());
    if (line->IsOpen() && session.WantsHangup() && !gStop) {
      std::fprintf(stderr, "phonesim: line closed after %d commands\n", session.CommandCount());
      line->Close();
    }
  }

  line->Close();
  if (!options.stateOut.empty() && !phonesim::SaveProfile(options.stateOut, profile, error)) {
    std::fprintf(stderr, "phonesim: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
