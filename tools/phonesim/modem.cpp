#include "modem.h"

namespace phonesim {
namespace {

const char* CmeText(int code) {
  switch (code) {
    case 3: return "operation not allowed";
    case 10: return "SIM not inserted";
    case 11: return "SIM PIN required";
    case 12: return "SIM PUK required";
    case 13: return "SIM failure";
    case 16: return "incorrect password";
    case 4: return "operation not supported";
    case 20: return "memory full";
    case 21: return "invalid index";
    case 22: return "not found";
    case 24: return "text string too long";
    case 25: return "invalid characters in text string";
    case 26: return "dial string too long";
    default: return "unknown";
  }
}

// The command as a client would write it, for the profile's "refuse" list.
std::string Spelled(const AtCommand& cmd) {
  std::string s = "AT" + cmd.name;
  switch (cmd.kind) {
    case AtCommand::kExecute: return s + cmd.args;
    case AtCommand::kRead: return s + "?";
    case AtCommand::kTest: return s + "=?";
    case AtCommand::kSet: return s + "=" + cmd.args;
  }
  return s;
}

}  // namespace

Modem::Modem(Profile& profile) : iProfile(profile) {
  Reset();
  iPhoneBook = "SM";
  for (const char* name : {"FD", "ME", "SM"}) {  // the first one available, SIM preferred
    auto it = iProfile.phonebooks.find(name);
    if (it != iProfile.phonebooks.end() && it->second) iPhoneBook = name;
  }
  std::string store = iProfile.sms.stores.count("ME") || iProfile.sms.stores.empty() ? "ME" : "SM";
  for (std::string& s : iMessageStores) s = store;
  // References go on from the last message sent, also across a reloaded state.
  if (!iProfile.sms.sent.empty()) iNextReference = iProfile.sms.sent.back().reference % 255 + 1;
}

void Modem::Reset() {
  iEcho = iProfile.quirks.echo;
  iCmee = 0;
  iMessageFormat = 0;
  iCharset = iProfile.charsets.empty() ? "GSM" : iProfile.charsets.front();
  for (int& v : iCnmi) v = 0;
  iBuffered.clear();
}

std::string Modem::Colon() const {
  return iProfile.quirks.spaceAfterColon ? ": " : ":";
}

void Modem::Info(const std::string& prefix, const std::string& body) {
  iInfo.push_back(prefix + Colon() + body);
}

void Modem::InfoText(const std::string& line) {
  iInfo.push_back(line);
}

bool Modem::Refused(const AtCommand& cmd) const {
  std::string spelled = NormalizeCommand(Spelled(cmd));
  for (const std::string& r : iProfile.quirks.refuse) {
    if (NormalizeCommand(r) == spelled) return true;
  }
  return false;
}

Modem::Outcome Modem::Dispatch(const AtCommand& cmd) {
  if (Refused(cmd)) return Outcome::Error();
  if (Handled h = HandleStatus(cmd)) return *h;
  if (Handled h = HandleSim(cmd)) return *h;
  if (Handled h = SimLocked(cmd)) return *h;
  if (Handled h = HandleUssd(cmd)) return *h;
  if (Handled h = HandleGeneral(cmd)) return *h;
  if (Handled h = HandlePhoneBook(cmd)) return *h;
  if (Handled h = HandleSms(cmd)) return *h;
  return Outcome::Error();
}

std::string Modem::Frame(const Outcome& outcome) {
  std::string out;
  if (!iInfo.empty()) {
    out += "\r\n";
    for (const std::string& line : iInfo) out += line + "\r\n";
  }
  iInfo.clear();
  switch (outcome.kind) {
    case Outcome::kOk:
      return out + "\r\nOK\r\n";
    case Outcome::kError:
      return out + "\r\nERROR\r\n";
    case Outcome::kCme:
      if (iCmee == 0) return out + "\r\nERROR\r\n";
      if (iCmee == 2) return out + "\r\n+CME ERROR" + Colon() + CmeText(outcome.code) + "\r\n";
      return out + "\r\n+CME ERROR" + Colon() + std::to_string(outcome.code) + "\r\n";
    case Outcome::kCms:
      return out + "\r\n+CMS ERROR" + Colon() + std::to_string(outcome.code) + "\r\n";
    case Outcome::kPrompt:
      return out + "\r\n> ";
    case Outcome::kLiteral:
      return out + "\r\n" + outcome.literal + "\r\n";
  }
  return out;
}

std::string Modem::HandleLine(const std::string& line) {
  std::vector<AtCommand> commands;
  if (!SplitCommandLine(line, commands)) return Frame(Outcome::Error());
  Outcome outcome = Outcome::Ok();
  for (size_t i = 0; i < commands.size(); ++i) {
    outcome = Dispatch(commands[i]);
    if (outcome.kind == Outcome::kPrompt && i + 1 < commands.size()) {
      iPendingPduLength = -1;  // the message text must be the line's last command
      outcome = Outcome::Error();
    }
    if (outcome.kind != Outcome::kOk) break;
  }
  return Frame(outcome);
}

}  // namespace phonesim
