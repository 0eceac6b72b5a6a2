// A program run to its end with its standard streams captured, or started in
// the background (the simulated phone).
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct TChildResult {
  int iStatus = -1;  // exit status; 128 + n after signal n; -1 when it had to be killed
  std::string iOut;
  std::string iErr;
};

struct TChildOptions {
  std::string iStdin;
  // Variables set (a value) or removed (nullopt) for the child.
  std::map<std::string, std::optional<std::string>> iEnvironment;
  int iTimeoutMs = 120000;
  // Keeps standard input open (after iStdin) until the child has ended.
  bool iHoldStdin = false;
  // Called whenever standard error grows; may signal the child.
  std::function<void(pid_t, const std::string&)> iOnError;
};

TChildResult RunChild(const std::vector<std::string>& aArgv, const TChildOptions& aOptions = {});

// A background process whose output goes to files; stopped with SIGTERM.
class TBackgroundChild {
 public:
  TBackgroundChild() = default;
  TBackgroundChild(const TBackgroundChild&) = delete;
  TBackgroundChild& operator=(const TBackgroundChild&) = delete;
  ~TBackgroundChild() { Stop(); }

  // Starts it and waits until its standard output holds aReadyText; false
  // when it ended first (its status then in ExitStatus()).
  bool Start(const std::vector<std::string>& aArgv, const std::string& aOutFile, const std::string& aErrFile,
             const std::string& aReadyText);
  // SIGTERM and its exit status (128 + n after signal n); the last status when not running.
  int Stop();
  bool Running() const { return iPid > 0; }
  pid_t Pid() const { return iPid; }
  int ExitStatus() const { return iExitStatus; }

 private:
  pid_t iPid = -1;
  int iExitStatus = -1;
};

