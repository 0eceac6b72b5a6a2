// Identity, battery and signal, character sets and the line's own settings.
#include <ctime>

#include "gsm_text.h"
#include "modem.h"

namespace phonesim {
namespace {

bool SameText(const std::string& a, const std::string& b) {
  return NormalizeCommand(a) == NormalizeCommand(b);
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

}  // namespace

Modem::Handled Modem::HandleGeneral(const AtCommand& cmd) {
  const std::string& n = cmd.name;
  const Identity& id = iProfile.identity;
  bool exec = cmd.kind == AtCommand::kExecute;

  if (n == "Z" || n == "&F") {
    Reset();
    return Outcome::Ok();
  }
  if (n == "E") {
    if (cmd.args.empty() || cmd.args == "0" || cmd.args == "1") {
      iEcho = cmd.args == "1";
      return Outcome::Ok();
    }
    return Outcome::Error();
  }
  if (n == "V" || n == "Q") {  // verbose result codes only, never quiet
    return (n == "V" ? cmd.args != "0" : cmd.args.empty() || cmd.args == "0") ? Outcome::Ok() : Outcome::Error();
  }
  if (n == "X" || n == "&C" || n == "&D" || n == "&W" || n == "L" || n == "M" || n[0] == 'S') return Outcome::Ok();
  if (n == "I") {
    if (cmd.args.empty() || cmd.args == "0") {
      InfoText(id.manufacturer + " " + id.model);
      return Outcome::Ok();
    }
    if (cmd.args == "3") {
      InfoText(id.model);
      return Outcome::Ok();
    }
    return Outcome::Error();
  }
  if (n == "D" || n == "H" || n == "A" || n == "O") {
    if (n == "H") return Outcome::Ok();
    InfoText("NO CARRIER");
    return Outcome::Error();
  }

  if (n == "+CGMI" || n == "+GMI" || n == "+CGMM" || n == "+GMM" || n == "+CGMR" || n == "+GMR" ||
      n == "+CGSN" || n == "+GSN" || n == "+CIMI") {
    if (cmd.kind == AtCommand::kTest) return Outcome::Ok();
    if (!exec) return Outcome::Error();
    const std::string& value = n == "+CGMI" || n == "+GMI"   ? id.manufacturer
                               : n == "+CGMM" || n == "+GMM" ? id.model
                               : n == "+CGMR" || n == "+GMR" ? id.revision
                               : n == "+CIMI"                ? id.imsi
                                                             : id.imei;
    InfoText(value);
    return Outcome::Ok();
  }
  if (n == "+GCAP" && exec) {
    Info("+GCAP", "+CGSM");
    return Outcome::Ok();
  }

  if (n == "+CMEE") {
    if (cmd.kind == AtCommand::kRead) {
      Info("+CMEE", std::to_string(iCmee));
    } else if (cmd.kind == AtCommand::kTest) {
      Info("+CMEE", "(0-2)");
    } else if (cmd.kind == AtCommand::kSet) {
      int v;
      if (!ArgInt(cmd.args, v) || v > 2) return Outcome::Error();
      iCmee = v;
    } else {
      iCmee = 0;
    }
    return Outcome::Ok();
  }
  if (n == "+CSCS") {
    if (cmd.kind == AtCommand::kRead) {
      Info("+CSCS", Quoted(iCharset));
      return Outcome::Ok();
    }
    if (cmd.kind == AtCommand::kTest) {
      std::string list;
      for (const std::string& c : iProfile.charsets) list += (list.empty() ? "" : ",") + Quoted(c);
      Info("+CSCS", "(" + list + ")");
      return Outcome::Ok();
    }
    std::string wanted;
    if (cmd.kind != AtCommand::kSet || !ArgString(cmd.args, wanted)) return Outcome::Error();
    for (const std::string& c : iProfile.charsets) {
      if (SameText(c, wanted)) {
        iCharset = c;
        return Outcome::Ok();
      }
    }
    return Outcome::Error();
  }
  if (n == "+CBC" || n == "+CSQ") {
    bool battery = n == "+CBC";
    if ((battery && !iProfile.battery) || (!battery && !iProfile.signal)) return Outcome::Error();
    if (cmd.kind == AtCommand::kTest) {
      Info(n, battery ? "(0-3),(0-100)" : "(0-31,99),(0-7,99)");
    } else if (exec) {
      if (battery) {
        Info(n, std::to_string(iProfile.battery->source) + "," + std::to_string(iProfile.battery->level));
      } else {
        Info(n, std::to_string(iProfile.signal->rssi) + "," + std::to_string(iProfile.signal->ber));
      }
    } else {
      return Outcome::Error();
    }
    return Outcome::Ok();
  }
  if (n == "+CPIN") {
    if (cmd.kind == AtCommand::kRead) Info("+CPIN", "READY");
    return cmd.kind == AtCommand::kSet ? Outcome::Cme(3) : Outcome::Ok();  // no PIN is asked for
  }
  if (n == "+CREG" || n == "+CGREG") {
    if (cmd.kind == AtCommand::kRead) Info(n, "0,1");
    if (cmd.kind == AtCommand::kTest) Info(n, "(0-2)");
    return Outcome::Ok();
  }
  if (n == "+COPS") {
    if (cmd.kind == AtCommand::kRead) Info("+COPS", "0,0,\"PHONESIM\"");
    if (cmd.kind == AtCommand::kTest) Info("+COPS", "(2,\"PHONESIM\",\"PSIM\",\"00101\"),,(0-4),(0-2)");
    return Outcome::Ok();
  }
  if (n == "+CCLK" && cmd.kind == AtCommand::kRead) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];  // room for any int the compiler cannot rule out
    long quarters = local.tm_gmtoff / 900;
    std::snprintf(text, sizeof text, "\"%02d/%02d/%02d,%02d:%02d:%02d%c%02ld\"", local.tm_year % 100,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  quarters < 0 ? '-' : '+', quarters < 0 ? -quarters : quarters);
    Info("+CCLK", text);
    return Outcome::Ok();
  }
  if (n == "+CFUN") {
    if (cmd.kind == AtCommand::kRead) Info("+CFUN", "1");
    if (cmd.kind == AtCommand::kTest) Info("+CFUN", "(0,1,4),(0,1)");
    return Outcome::Ok();
  }
  return std::nullopt;
}

}  // namespace phonesim
