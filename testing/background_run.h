// A long-running program (listen, gateway) run to its end on a thread of the
// test, its standard error watched as it grows, so that the test can wait
// for what it says and then signal it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "testing/child_process.h"
#include "testing/wait_until.h"

class TBackgroundRun {
 public:
  // Runs the program with the options it is given (RunChild, or a fixture's
  // own runner that adds its root).
  using TRunner = std::function<TChildResult(const TChildOptions&)>;

  TBackgroundRun() = default;
  TBackgroundRun(const TBackgroundRun&) = delete;
  TBackgroundRun& operator=(const TBackgroundRun&) = delete;
  // A run still going is killed.
  ~TBackgroundRun() { Kill(); }

  // Starts the run (killing one still going); aOptions' error watcher is
  // replaced by ours.
  void Start(TRunner aRunner, TChildOptions aOptions = {});
  // Its standard error so far.
  std::string Err();
  bool Ended();
  // True once the standard error holds aText aCount times; false when the
  // run ended or the deadline passed first.
  bool WaitErr(const std::string& aText, size_t aCount = 1,
               std::chrono::milliseconds aDeadline = kvtest::kHungTest);
  // Sends aSignal once the program is running, and waits for its end.
  TChildResult Signal(int aSignal);
  // Waits for its end.
  TChildResult Wait();
  // SIGKILL, when one is going.
  void Kill();
  pid_t Pid();

 private:
  std::thread iThread;
  std::mutex iLock;
  pid_t iPid = 0;
  std::string iErr;
  bool iEnded = false;
  TChildResult iResult;
};

// How many times aWord occurs in aText.
size_t Occurrences(const std::string& aText, const std::string& aWord);
