// The control channel: a named pipe (FIFO) through which a test or a user
// hands the running phone new messages and unsolicited lines, a command a
// line (`echo 'deliver +447700900123 Hello' > PATH`).
#pragma once

#include <string>
#include <vector>

namespace phonesim {

class ControlChannel {
 public:
  ControlChannel() = default;
  ControlChannel(const ControlChannel&) = delete;
  ControlChannel& operator=(const ControlChannel&) = delete;
  ~ControlChannel();

  // Makes the FIFO (an existing FIFO is used, any other file refused).
  bool Open(const std::string& path, std::string& error);
  int Fd() const { return iRead; }
  // The complete lines that have arrived; a partial one waits for its end.
  std::vector<std::string> ReadLines();

 private:
  int iRead = -1;
  int iKeepOpen = -1;  // our own writer, so that writers coming and going never end the reads
  std::string iPath;
  bool iMade = false;
  std::string iPartial;
};

}  // namespace phonesim
