#include "session.h"

#include "at_command.h"

namespace phonesim {
namespace {

constexpr char kCtrlZ = 26;
constexpr char kEsc = 27;
constexpr size_t kMaxLine = 4096;  // longer lines are refused whole, as modems do

// The bytes of the reply up to the end of its first `lines` lines (blank
// lines not counted); the whole reply when it has no more.
std::string FirstLines(const std::string& reply, int lines) {
  size_t at = 0;
  for (int kept = 0; kept < lines;) {
    size_t end = reply.find("\r\n", at);
    if (end == std::string::npos) return reply;
    if (end > at) ++kept;
    at = end + 2;
  }
  return reply.substr(0, at);
}

}  // namespace

Session::Session(Profile& profile, std::function<bool(std::string_view)> write)
    : iProfile(profile), iModem(profile), iWrite(std::move(write)) {}

void Session::Receive(std::string_view bytes) {
  for (char c : bytes) {
    if (iHangup || iSilent) break;
    ReceiveByte(c);
  }
  FlushEcho();
}

void Session::ReceiveByte(char c) {
  if (iModem.AwaitingPdu()) {
    if (c == kCtrlZ || c == kEsc) {
      FlushEcho();
      std::string reply = c == kCtrlZ ? iModem.HandlePdu(iPdu) : iModem.CancelPdu();
      iPdu.clear();
      if (iPduFault) {
        Fault fault = *iPduFault;
        iPduFault.reset();
        SendCut(reply, fault);
      } else {
        Send(reply);
      }
      return;
    }
    if (iModem.EchoOn()) iEcho.push_back(c);
    if (iPdu.size() < kMaxLine) iPdu.push_back(c);
    return;
  }
  if (iModem.EchoOn()) iEcho.push_back(c);
  if (c == '\r') {
    FlushEcho();
    CompleteLine();
  } else if (c == '\b' || c == 0x7F) {  // typed by hand
    if (!iLine.empty()) iLine.pop_back();
  } else if (c == '\n' && iLine.empty()) {
    // a line feed after the carriage return
  } else if (iLine.size() < kMaxLine) {
    iLine.push_back(c);
  } else {
    iOverflow = true;
  }
}

void Session::CompleteLine() {
  std::string line;
  line.swap(iLine);
  bool overflow = iOverflow;
  iOverflow = false;
  if (line.find_first_not_of(" \t\n") == std::string::npos) return;  // a bare return is ignored
  ++iCommands;
  std::string normalized = NormalizeCommand(line);
  const Quirks& q = iProfile.quirks;
  if (!q.hangAfter.empty() && NormalizeCommand(q.hangAfter) == normalized) {
    iSilent = true;  // falls silent for good: no reply to this or any later command
    return;
  }
  std::optional<Fault> fault = TakeFault(normalized);
  std::string reply;
  if (overflow) {
    reply = "\r\nERROR\r\n";
  } else if (!iProfile.script.empty() && NormalizeCommand(iProfile.script.front().expect) == normalized) {
    reply = iProfile.script.front().reply;
    iProfile.script.erase(iProfile.script.begin());
  } else {
    reply = iModem.HandleLine(line);
  }
  if (fault && fault->pduStage && iModem.AwaitingPdu()) {
    iPduFault = fault;
  } else if (fault) {
    // Also a fault meant for the message text when the command got no prompt.
    SendCut(reply, *fault);
    return;
  }
  Send(reply);
  for (const Unsolicited& u : q.unsolicited) {
    if (NormalizeCommand(u.after) == normalized) Send("\r\n" + u.line + "\r\n");
  }
  if (q.hangupAfterCommands > 0 && iCommands >= q.hangupAfterCommands) iHangup = true;
}

std::optional<Fault> Session::TakeFault(const std::string& normalized) {
  std::vector<Fault>& faults = iProfile.quirks.faults;
  for (auto it = faults.begin(); it != faults.end(); ++it) {
    if (normalized.rfind(NormalizeCommand(it->command), 0) != 0) continue;
    if (it->occurrence > 1) {
      --it->occurrence;
      continue;
    }
    Fault fault = *it;
    faults.erase(it);
    return fault;
  }
  return std::nullopt;
}

void Session::SendCut(const std::string& reply, const Fault& fault) {
  Send(FirstLines(reply, fault.lines));
  if (fault.hangup)
    iHangup = true;
  else
    iSilent = true;
}

void Session::FlushEcho() {
  if (iEcho.empty()) return;
  std::string echo;
  echo.swap(iEcho);
  Send(echo);
}

void Session::Send(const std::string& bytes) {
  if (!bytes.empty() && !iWrite(bytes)) iHangup = true;
}

}  // namespace phonesim
