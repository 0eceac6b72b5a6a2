// The user's command for each message 'listen' stores: run by /bin/sh on a
// thread of its own, one message after another, so that a slow command never
// holds up the phone. Each run gets the message as environment variables and
// as one line of JSON on its standard input, and a time limit that covers
// everything the command started; a failure is reported and the next message
// is taken all the same.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kvcli {

struct TStoredMessage {
  unsigned long iId = 0;
  std::string iNumber;
  std::string iName;
  std::string iText;
  std::string iDate;  // ISO 8601, UTC
  std::string iJson;  // one line
};

class TMessageCommandRunner {
 public:
  // With aOutputToStandardError the command's standard output is our
  // standard error, so that it never mixes into what we print.
  TMessageCommandRunner(const std::string& aCommand, int aTimeLimitSeconds, bool aOutputToStandardError);
  // Runs what is still queued, then ends the thread.
  ~TMessageCommandRunner();
  TMessageCommandRunner(const TMessageCommandRunner&) = delete;
  TMessageCommandRunner& operator=(const TMessageCommandRunner&) = delete;

  void Push(const TStoredMessage& aMessage);
  // Runs what is queued and ends the thread; later pushes are not run.
  void Finish();
  // Ends the thread once the command running now has ended; what is queued
  // is not started, each message reported as left stored.
  void Abandon();

 private:
  void Work();
  void Run(const TStoredMessage& aMessage);

  std::string iCommand;
  int iTimeLimitSeconds;
  bool iOutputToStandardError;
  std::mutex iLock;
  std::condition_variable iWake;
  std::deque<TStoredMessage> iQueue;
  bool iEnding = false;
  std::thread iThread;
};

}  // namespace kvcli
