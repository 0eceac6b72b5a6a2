// Test client: runs the phonesim program on a profile in a temporary folder
// and talks to it over its pseudo-terminal like a serial client would.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "testing/files.h"
#include "testing/phonesim_process.h"
#include "testing/wait_until.h"

namespace phonesim::testing {

// A SUBMIT for AT+CMGS=19: to +447700900123, "hello" in 7 bits.
inline const std::string kSubmit = "0011000C914477000910320000AA05E8329BFD06";

class SimProcess {
 public:
  SimProcess() = default;
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  ~SimProcess();

  // Starts phonesim with the profile text; extra arguments (separated by
  // spaces) are appended, "{dir}" in them standing for the temporary folder.
  // False (with the program's standard error in Errors()) when it does not
  // report "ready"; ExitCode() then holds its exit status.
  bool Start(const std::string& profileJson, const std::string& extraArgs = "");
  bool StartFile(const std::string& profilePath, const std::string& extraArgs = "");

  // Sends raw bytes to the phone.
  void Send(const std::string& bytes);
  // Sends a command line (a carriage return added) and reads up to the final
  // result: OK, ERROR, +CME ERROR, +CMS ERROR or the "> " prompt.
  std::string Command(const std::string& line, std::chrono::milliseconds timeout = kvtest::kHungTest);
  std::string ReadUntilFinal(std::chrono::milliseconds timeout);
  // Waits up to the time for data and returns what one read gives.
  std::string ReadSome(std::chrono::milliseconds timeout);
  // Reads until the text has arrived and the line it is on has ended (or the time is up).
  std::string ReadUntil(const std::string& text, std::chrono::milliseconds timeout);
  // Reads until the line hangs up: what came before it; nothing when the time is up first.
  std::optional<std::string> ReadUntilHangUp(std::chrono::milliseconds timeout = kvtest::kHungTest);
  // What the phone wrote after reading each line but the last (a marker), from
  // its transcript (--transcript {dir}/line.jsonl), earlier replies all in.
  // Each line goes once the phone has read the one before, and the phone says
  // all it has to about a read before it reads again: silence shows, in order.
  std::vector<std::string> RepliesInOrder(const std::vector<std::string>& lines);
  // Writes a line to the control FIFO, {dir}/control (started with --control {dir}/control).
  bool Control(const std::string& line);

  // SIGTERM, then the exit status (-1 on a signal or a time-out).
  int Stop();

  const std::string& Dir() const { return iDir.Path(); }
  const std::string& Link() const { return iLink; }
  std::string Errors() const { return iSim.Errors(); }
  int ExitCode() const { return iSim.ExitStatus(); }

 private:
  bool Launch(const std::string& profilePath, const std::string& extraArgs);
  // Reads until what came satisfies `done`, the line hangs up (`hungUp` set) or the time is up.
  std::string ReadWhile(std::chrono::milliseconds timeout, const std::function<bool(const std::string&)>& done,
                        bool* hungUp = nullptr);

  TTempDir iDir{"phonesim"};
  TPhoneSimProcess iSim;
  std::string iLink;
  int iFd = -1;
};

// True when the reply ends in a final result code.
bool HasFinal(const std::string& reply);

}  // namespace phonesim::testing
