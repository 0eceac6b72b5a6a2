#include "testing/background_run.h"

#include <signal.h>

void TBackgroundRun::Start(TRunner aRunner, TChildOptions aOptions) {
  Kill();
  {
    std::lock_guard<std::mutex> hold(iLock);
    iPid = 0;
    iErr.clear();
    iEnded = false;
    iResult = {};
  }
  aOptions.iOnError = [this](pid_t aPid, const std::string& aErr) {
    std::lock_guard<std::mutex> hold(iLock);
    iPid = aPid;
    iErr = aErr;
  };
  iThread = std::thread([this, runner = std::move(aRunner), options = std::move(aOptions)] {
    TChildResult result = runner(options);
    std::lock_guard<std::mutex> hold(iLock);
    iResult = result;
    iEnded = true;
  });
}

std::string TBackgroundRun::Err() {
  std::lock_guard<std::mutex> hold(iLock);
  return iErr;
}

bool TBackgroundRun::Ended() {
  std::lock_guard<std::mutex> hold(iLock);
  return iEnded;
}

pid_t TBackgroundRun::Pid() {
  std::lock_guard<std::mutex> hold(iLock);
  return iEnded ? 0 : iPid;
}

bool TBackgroundRun::WaitErr(const std::string& aText, size_t aCount, std::chrono::milliseconds aDeadline) {
  kvtest::WaitUntil([&] { return Occurrences(Err(), aText) >= aCount || Ended(); }, aDeadline);
  return Occurrences(Err(), aText) >= aCount;
}

TChildResult TBackgroundRun::Wait() {
  if (iThread.joinable()) iThread.join();
  std::lock_guard<std::mutex> hold(iLock);
  return iResult;
}

TChildResult TBackgroundRun::Signal(int aSignal) {
  if (!iThread.joinable()) return Wait();
  // The process is known once it has written to standard error, which every
  // long-running command does as it starts.
  pid_t pid = 0;
  kvtest::WaitUntil([&] {
    std::lock_guard<std::mutex> hold(iLock);
    pid = iPid;
    return pid > 0 || iEnded;
  });
  {
    std::lock_guard<std::mutex> hold(iLock);
    if (!iEnded && pid > 0) kill(pid, aSignal);
  }
  return Wait();
}

void TBackgroundRun::Kill() {
  if (iThread.joinable()) Signal(SIGKILL);
}

size_t Occurrences(const std::string& aText, const std::string& aWord) {
  size_t count = 0;
  for (size_t at = aText.find(aWord); at != std::string::npos; at = aText.find(aWord, at + aWord.size())) ++count;
  return count;
}
