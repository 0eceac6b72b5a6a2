// One session on the line: assembles command lines from the received bytes,
// echoes, answers through the interpreter or the profile's script, and plays
// the profile's quirks (silence, hang-up, unsolicited lines).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "modem.h"
#include "profile.h"

namespace phonesim {

class Session {
 public:
  // `write` sends bytes to the line; it returns false when the line is gone.
  Session(Profile& profile, std::function<bool(std::string_view)> write);

  void Receive(std::string_view bytes);

  bool WantsHangup() const { return iHangup; }
  bool IsSilent() const { return iSilent; }
  int CommandCount() const { return iCommands; }

 private:
  void ReceiveByte(char c);
  void CompleteLine();
  void Send(const std::string& bytes);
  void FlushEcho();
  // The profile's fault that this command line sets off, taken out of the
  // profile; counts the line against the faults still waiting for it.
  std::optional<Fault> TakeFault(const std::string& normalized);
  // Sends what the fault lets through of the reply, then falls silent or hangs up.
  void SendCut(const std::string& reply, const Fault& fault);

  Profile& iProfile;
  Modem iModem;
  std::function<bool(std::string_view)> iWrite;
  std::string iLine;
  std::string iPdu;
  std::string iEcho;  // echo not yet written
  bool iOverflow = false;
  std::optional<Fault> iPduFault;  // falls on the reply to the message text
  bool iSilent = false;
  bool iHangup = false;
  int iCommands = 0;
};

}  // namespace phonesim
