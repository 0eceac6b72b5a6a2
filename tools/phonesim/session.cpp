#include "session.h"

#include "at_command.h"

namespace phonesim {
namespace {

constexpr char kCtrlZ = 26;
constexpr char kEsc = 27;
constexpr size_t kMaxLine = 4096;  // longer lines are refused whole, as modems do

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
      Send(c == kCtrlZ ? iModem.HandlePdu(iPdu) : iModem.CancelPdu());
      iPdu.clear();
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
  std::string reply;
  if (overflow) {
    reply = "\r\nERROR\r\n";
  } else if (!iProfile.script.empty() && NormalizeCommand(iProfile.script.front().expect) == normalized) {
    reply = iProfile.script.front().reply;
    iProfile.script.erase(iProfile.script.begin());
  } else {
    reply = iModem.HandleLine(line);
  }
  Send(reply);
  for (const Unsolicited& u : q.unsolicited) {
    if (NormalizeCommand(u.after) == normalized) Send("\r\n" + u.line + "\r\n");
  }
  if (q.hangupAfterCommands > 0 && iCommands >= q.hangupAfterCommands) iHangup = true;
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
