// The simulated phone's end of the line: a pseudo-terminal whose far end a
// client opens like a serial port, optionally reached through a symbolic link.
#pragma once

#include <string>

namespace phonesim {

class PtyLink {
 public:
  PtyLink() = default;
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;
  ~PtyLink();

  // Opens the pseudo-terminal and, when linkPath is not empty, makes it a
  // symbolic link to the far end (replacing an earlier link, never a file).
  bool Open(const std::string& linkPath, std::string& error);
  // Makes linkPath a symbolic link to this line's far end (replacing an
  // earlier link, never a file).
  bool LinkAt(const std::string& linkPath, std::string& error);
  // Hangs up: the client's reads and writes fail from now on. What the
  // client has not read yet is given a moment first, since a hang-up throws
  // it away (a real line would have delivered it before dropping).
  void Close();

  int Fd() const { return iMaster; }
  bool IsOpen() const { return iMaster >= 0; }
  const std::string& DevicePath() const { return iDevice; }

 private:
  int iMaster = -1;
  int iSlave = -1;  // held open so that the line survives clients coming and going
  std::string iDevice;
  std::string iLink;
};

}  // namespace phonesim
