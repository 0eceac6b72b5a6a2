// The SIM's codes: AT+CPIN, the attempts left (AT+CPINR, or AT^CPIN? as some
// USB modem families answer it), and the refusal of SIM commands while the SIM
// is locked, absent or failed.
#include "modem.h"

namespace phonesim {
namespace {

const int KCmeNotAllowed = 3;
const int KCmeSimAbsent = 10;
const int KCmePinRequired = 11;
const int KCmePukRequired = 12;
const int KCmeSimFailure = 13;
const int KCmeWrongPassword = 16;
const int KCmePhSimPinRequired = 5;
const int KPinAttempts = 3;
const int KPukAttempts = 10;

// Commands that need the SIM; a phone answers them with the SIM's state until it is unlocked.
bool NeedsSim(const std::string& name) {
  static const char* const KNames[] = {"+CPMS", "+CMGL", "+CMGR", "+CMGS", "+CMGW", "+CMSS", "+CMGD", "+CPBS",
                                       "+CPBR", "+CPBW", "+CUSD", "+CSCA", "+CNMI", "+CIMI", "+COPS"};
  for (const char* n : KNames)
    if (name == n) return true;
  return false;
}

}  // namespace

Modem::Handled Modem::SimLocked(const AtCommand& cmd) const {
  const std::string& state = iProfile.sim.state;
  if (state == "READY" || !NeedsSim(cmd.name) || cmd.kind == AtCommand::kTest) return std::nullopt;
  if (state == "SIM PIN") return Outcome::Cme(KCmePinRequired);
  if (state == "SIM PUK") return Outcome::Cme(KCmePukRequired);
  if (state == "PH-SIM PIN") return Outcome::Cme(KCmePhSimPinRequired);
  if (state == "absent") return Outcome::Cme(KCmeSimAbsent);
  return Outcome::Cme(KCmeSimFailure);
}

Modem::Handled Modem::HandleSim(const AtCommand& cmd) {
  Sim& sim = iProfile.sim;
  if (cmd.name == "+CPIN") {
    if (cmd.kind == AtCommand::kTest) return Outcome::Ok();
    if (cmd.kind == AtCommand::kSet) return EnterCode(cmd);
    if (cmd.kind != AtCommand::kRead) return Outcome::Error();
    if (sim.state == "absent") return Outcome::Cme(KCmeSimAbsent);
    if (sim.state == "failure") return Outcome::Cme(KCmeSimFailure);
    Info("+CPIN", sim.state);
    return Outcome::Ok();
  }
  if (cmd.name == "+CPINR") {
    if (sim.attemptsQuery != "cpinr") return Outcome::Error();
    if (cmd.kind == AtCommand::kTest) return Outcome::Ok();
    if (cmd.kind != AtCommand::kExecute && cmd.kind != AtCommand::kSet) return Outcome::Error();
    std::string filter;
    if (cmd.kind == AtCommand::kSet) ArgString(SplitArgs(cmd.args)[0], filter);
    bool all = filter.empty() || filter == "SIM*";
    if (all || filter == "SIM PIN") Info("+CPINR", "SIM PIN," + std::to_string(sim.pinAttempts) + ",3");
    if (all || filter == "SIM PUK") Info("+CPINR", "SIM PUK," + std::to_string(sim.pukAttempts) + ",10");
    return Outcome::Ok();
  }
  if (cmd.name == "^CPIN") {
    if (sim.attemptsQuery != "caret" || cmd.kind != AtCommand::kRead) return Outcome::Error();
    if (sim.state == "absent") return Outcome::Cme(KCmeSimAbsent);
    if (sim.state == "failure") return Outcome::Cme(KCmeSimFailure);
    // Code, attempts of that code, PUK, PIN, PUK2 and PIN2 attempts.
    int current = sim.state == "SIM PUK" ? sim.pukAttempts : sim.state == "SIM PIN" ? sim.pinAttempts : 0;
    std::string code = sim.state == "SIM PIN" || sim.state == "SIM PUK" ? sim.state : "READY";
    Info("^CPIN", code + "," + (current > 0 ? std::to_string(current) : "") + "," + std::to_string(sim.pukAttempts) +
                      "," + std::to_string(sim.pinAttempts) + ",10,3");
    return Outcome::Ok();
  }
  return std::nullopt;
}

Modem::Outcome Modem::EnterCode(const AtCommand& cmd) {
  Sim& sim = iProfile.sim;
  std::vector<std::string> args = SplitArgs(cmd.args);
  std::string code;
  std::string newPin;
  if (!ArgString(args[0], code) || args.size() > 2) return Outcome::Error();
  if (args.size() == 2 && !ArgString(args[1], newPin)) return Outcome::Error();
  if (sim.state == "absent") return Outcome::Cme(KCmeSimAbsent);
  if (sim.state == "failure") return Outcome::Cme(KCmeSimFailure);
  if (sim.state == "SIM PIN") {
    if (code == sim.pin) {
      sim.state = "READY";
      sim.pinAttempts = KPinAttempts;
      return Outcome::Ok();
    }
    if (--sim.pinAttempts <= 0) {
      sim.pinAttempts = 0;
      sim.state = "SIM PUK";
    }
    return Outcome::Cme(KCmeWrongPassword);
  }
  if (sim.state == "SIM PUK") {
    if (newPin.empty()) return Outcome::Cme(KCmePukRequired);
    if (code == sim.puk) {
      sim.state = "READY";
      sim.pin = newPin;
      sim.pinAttempts = KPinAttempts;
      sim.pukAttempts = KPukAttempts;
      return Outcome::Ok();
    }
    if (--sim.pukAttempts <= 0) {
      sim.pukAttempts = 0;
      sim.state = "failure";
    }
    return Outcome::Cme(KCmeWrongPassword);
  }
  return Outcome::Cme(KCmeNotAllowed);
}

}  // namespace phonesim
