// One session on the line: assembles command lines from the received bytes,
// echoes, answers through the interpreter or the profile's script, and plays
// the profile's quirks (silence, hang-up, unsolicited lines).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modem.h"
#include "profile.h"

namespace phonesim {

class Session {
 public:
  // `write` sends bytes to the line; it returns false when the line is gone.
  Session(Profile& profile, std::function<bool(std::string_view)> write);

  void Receive(std::string_view bytes);

  // A line of the control channel: "deliver FROM TEXT", "pdu HEX" or
  // "unsolicited LINE". Empty when done, else why not.
  std::string Control(const std::string& line);
  // Status reports fall due, or a replug waits for a silence to end: when
  // the next one does, and sending the reports due.
  std::optional<std::chrono::steady_clock::time_point> NextDue() const;
  void Tick(std::chrono::steady_clock::time_point now);

  bool WantsHangup() const { return iHangup; }
  // A "replug MS" from the control channel: how long the port stays away.
  // One asked while the phone is silent comes when the silence ends, as a
  // hung modem's watchdog resets it.
  std::optional<int> TakeReplug() {
    if (Quiet()) return std::nullopt;
    std::optional<int> ms = iReplugMs;
    iReplugMs.reset();
    return ms;
  }
  // The phone starts again on a new line: nothing half typed or waiting
  // survives, and the line's settings are back to their defaults.
  void Restart();
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
  // Indications go out between replies, or at the moment the profile's
  // timing quirk asks for.
  void FlushIndications();
  std::string SendHeld();
  bool Busy() const;
  std::string PutIntoListing(const std::string& reply);
  void ScheduleReports();
  std::string DeliverText(const std::string& from, const std::string& text);
  std::string DeliverPdu(const std::string& pdu);

  struct PendingReport {
    std::chrono::steady_clock::time_point due;
    int reference = 0;
    std::string recipient;
    std::string sent;  // network time of the sending
  };

  Profile& iProfile;
  Modem iModem;
  std::function<bool(std::string_view)> iWrite;
  std::string iLine;
  std::string iPdu;
  std::string iEcho;  // echo not yet written
  bool iOverflow = false;
  std::optional<Fault> iPduFault;  // falls on the reply to the message text
  bool iSilent = false;
  // Silent for a while (no echo, no reply, announcements lost) until then.
  std::optional<std::chrono::steady_clock::time_point> iQuietUntil;
  bool Quiet();
  std::optional<int> iReplugMs;
  bool iHangup = false;
  int iCommands = 0;
  std::vector<std::string> iHeld;  // indications waiting for their moment
  std::vector<PendingReport> iReports;
  int iNextConcatReference = 1;  // for long messages delivered on the control channel
};

// The network's time now, "2024-03-08T18:15:00+01:00", in the local zone.
std::string NetworkTime();

}  // namespace phonesim
