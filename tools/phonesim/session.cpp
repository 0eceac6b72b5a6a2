#include "session.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "at_command.h"
#include "pdu.h"

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

bool Session::Quiet() {
  if (iQuietUntil && std::chrono::steady_clock::now() >= *iQuietUntil) iQuietUntil.reset();
  return iQuietUntil.has_value();
}

void Session::Restart() {
  iModem.Restart();
  iLine.clear();
  iPdu.clear();
  iEcho.clear();
  iOverflow = false;
  iPduFault.reset();
  iHeld.clear();
  iHangup = false;
  iQuietUntil.reset();
}

void Session::Receive(std::string_view bytes) {
  for (char c : bytes) {
    if (iHangup || iSilent || Quiet()) break;
    ReceiveByte(c);
  }
  FlushEcho();
  FlushIndications();
}

void Session::ReceiveByte(char c) {
  bool startsCommand = !iModem.AwaitingPdu() && iLine.empty() && c != '\r' && c != '\n';
  if (startsCommand && !iHeld.empty() && iProfile.quirks.indicationTiming == "before_echo") {
    FlushEcho();
    Send(SendHeld());
  }
  if (iModem.AwaitingPdu()) {
    if (c == kCtrlZ || c == kEsc) {
      FlushEcho();
      std::string reply = c == kCtrlZ ? iModem.HandlePdu(iPdu) : iModem.CancelPdu();
      iPdu.clear();
      ScheduleReports();
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
  if (!iHeld.empty() && iProfile.quirks.indicationTiming == "mid_listing" && normalized.rfind("AT+CMGL", 0) == 0) {
    reply = PutIntoListing(reply);
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
  if (q.silenceAfterCommands > 0 && iCommands >= q.silenceAfterCommands) {
    iQuietUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(q.silenceMs);
    iProfile.quirks.silenceAfterCommands = 0;  // once
  }
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
  if (iHangup) return;  // the line is closed: nothing reaches it any more
  if (!bytes.empty() && !iWrite(bytes)) iHangup = true;
}

bool Session::Busy() const {
  return !iLine.empty() || iModem.AwaitingPdu();
}

std::string Session::SendHeld() {
  std::string out;
  for (const std::string& s : iHeld) out += s;
  iHeld.clear();
  return out;
}

void Session::FlushIndications() {
  for (std::string& s : iModem.TakeIndications()) iHeld.push_back(std::move(s));
  // A phone that has stopped answering loses its announcements.
  if (Quiet()) iHeld.clear();
  if (iHeld.empty() || iSilent || iHangup || iProfile.quirks.indicationTiming != "at_once") return;
  if (Busy()) {
    // Mode 1 drops what comes while the line is busy; mode 2 holds it.
    if (iModem.IndicationMode() == 1) iHeld.clear();
    return;
  }
  Send(SendHeld());
}

// Between the first listed message and the next line; before the reply
// when the list is empty.
std::string Session::PutIntoListing(const std::string& reply) {
  size_t header = reply.find("+CMGL");
  size_t headerEnd = header == std::string::npos ? header : reply.find("\r\n", header);
  size_t pduEnd = headerEnd == std::string::npos ? headerEnd : reply.find("\r\n", headerEnd + 2);
  if (pduEnd == std::string::npos) return SendHeld() + reply;
  size_t at = pduEnd + 2;
  // Each held indication starts with its own line break; the listing's line
  // just ended, so the first one goes without.
  return reply.substr(0, at) + SendHeld().substr(2) + reply.substr(at);
}

void Session::ScheduleReports() {
  auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(iProfile.sms.reportDelayMs);
  for (const Modem::ReportRequest& r : iModem.TakeReportRequests()) {
    iReports.push_back({due, r.reference, r.recipient, NetworkTime()});
  }
}

std::optional<std::chrono::steady_clock::time_point> Session::NextDue() const {
  std::optional<std::chrono::steady_clock::time_point> next;
  for (const PendingReport& r : iReports) {
    if (!next || r.due < *next) next = r.due;
  }
  if (iReplugMs && iQuietUntil && (!next || *iQuietUntil < *next)) next = iQuietUntil;
  return next;
}

void Session::Tick(std::chrono::steady_clock::time_point now) {
  for (auto it = iReports.begin(); it != iReports.end();) {
    if (it->due > now) {
      ++it;
      continue;
    }
    StatusReport report{it->reference, it->recipient, it->sent, NetworkTime(), iProfile.sms.reportStatus};
    std::string pdu, error;
    // A recipient the report cannot name (an alphanumeric one) gets none.
    if (EncodeStatusReport(report, iProfile.sms.smsc, pdu, error)) iModem.ReceiveStatusReport(pdu);
    it = iReports.erase(it);
  }
  FlushIndications();
}

std::string Session::Control(const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  size_t space = line.find(' ');
  std::string verb = line.substr(0, space);
  std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
  std::string error;
  if (verb == "deliver") {
    size_t gap = rest.find(' ');
    if (rest.empty() || gap == 0) return "deliver needs a sender and a text: deliver +447700900123 Hello";
    std::string text = gap == std::string::npos ? "" : rest.substr(gap + 1);
    // "\n" stands for a line break, "\\" for a backslash.
    std::string unescaped;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
        unescaped.push_back(text[++i] == 'n' ? '\n' : '\\');
      } else {
        unescaped.push_back(text[i]);
      }
    }
    error = DeliverText(rest.substr(0, gap), unescaped);
  } else if (verb == "pdu") {
    error = DeliverPdu(rest);
  } else if (verb == "unsolicited") {
    if (rest.empty()) return "unsolicited needs the line to send";
    iHeld.push_back("\r\n" + rest + "\r\n");
  } else if (verb == "silence" || verb == "replug") {
    int ms = -1;
    if (!rest.empty() && rest.size() <= 8 && rest.find_first_not_of("0123456789") == std::string::npos)
      ms = std::stoi(rest);
    if (ms < 0) return verb + " needs a time in milliseconds: " + verb + " 30000";
    if (verb == "silence")
      iQuietUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    else
      iReplugMs = ms;
  } else if (!verb.empty()) {
    return "unknown command \"" + verb + "\" (known: deliver, pdu, unsolicited, silence, replug)";
  }
  FlushIndications();
  return error;
}

std::string Session::DeliverText(const std::string& from, const std::string& text) {
  TextMessage m;
  m.address = from;
  m.time = NetworkTime();
  m.coding = ChooseCoding(text);
  std::vector<std::string> parts = SplitText(text, m.coding, 8);
  if (parts.size() > 255) return "text longer than 255 parts";
  if (parts.size() > 1) {
    m.concat = {iNextConcatReference, static_cast<int>(parts.size()), 0};
    iNextConcatReference = iNextConcatReference % 255 + 1;
  }
  std::vector<std::string> pdus;
  for (size_t i = 0; i < parts.size(); ++i) {
    m.text = parts[i];
    if (m.concat.total > 0) m.concat.part = static_cast<int>(i) + 1;
    std::string pdu, error;
    if (!EncodeTextMessage(m, iProfile.sms.smsc, pdu, error)) return error;
    pdus.push_back(pdu);
  }
  for (const std::string& pdu : pdus) {
    if (!iModem.ReceiveMessage(pdu)) return "the message store is full: message dropped";
  }
  return {};
}

std::string Session::DeliverPdu(const std::string& pdu) {
  int length = TpduLength(pdu);
  if (length < 1) return "pdu needs a hexadecimal PDU with its service centre part in front";
  // The message type in the first octet after the service centre part.
  int first = std::stoi(pdu.substr(pdu.size() - static_cast<size_t>(length) * 2, 2), nullptr, 16);
  bool stored = (first & 0x03) == 0x02 ? iModem.ReceiveStatusReport(pdu) : iModem.ReceiveMessage(pdu);
  return stored ? std::string() : "the message store is full: message dropped";
}

std::string NetworkTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  long minutes = local.tm_gmtoff / 60;
  // Offsets stay within a day; saying so lets the compiler see the text fits.
  int offset = static_cast<int>(std::labs(minutes) % (24 * 60));
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, minutes < 0 ? '-' : '+',
                offset / 60, offset % 60);
  return text;
}

}  // namespace phonesim
