// The status replies in the shapes of the common modem families: identity
// as a bare line, behind its own prefix, or behind a label; the network's
// registration and operator; battery with or without the voltage.
#include "gsm_text.h"
#include "modem.h"

namespace phonesim {

bool IsKnownStatusStyle(const std::string& style) {
  return style == "plain" || style == "prefixed" || style == "labelled";
}

Modem::Handled Modem::HandleStatus(const AtCommand& cmd) {
  const std::string& n = cmd.name;
  const Identity& id = iProfile.identity;
  const Network& net = iProfile.network;
  const std::string& style = iProfile.quirks.statusReplies;
  bool exec = cmd.kind == AtCommand::kExecute;

  if (exec && (n == "+CGMI" || n == "+CGMM" || n == "+CGMR" || n == "+CGSN") && style != "plain") {
    const std::string& value = n == "+CGMI" ? id.manufacturer : n == "+CGMM" ? id.model : n == "+CGMR" ? id.revision : id.imei;
    if (style == "prefixed") {
      Info(n, n == "+CGSN" ? "\"" + value + "\"" : value);
    } else {
      const char* label = n == "+CGMI" ? "Manufacturer" : n == "+CGMM" ? "Model" : n == "+CGMR" ? "Revision" : "IMEI";
      InfoText(std::string(label) + Colon() + value);
    }
    return Outcome::Ok();
  }
  if (n == "+CREG" || n == "+CGREG" || n == "+CEREG") {
    bool eps = n == "+CEREG";
    if (eps && net.epsRegistration < 0) return Outcome::Error();
    int stat = eps ? net.epsRegistration : net.registration;
    if (cmd.kind == AtCommand::kRead) Info(n, "0," + std::to_string(stat));
    if (cmd.kind == AtCommand::kTest) Info(n, "(0-2)");
    return Outcome::Ok();
  }
  if (n == "+COPS" && cmd.kind == AtCommand::kRead) {
    bool registered = net.registration == 1 || net.registration == 5 || net.epsRegistration == 1 ||
                      net.epsRegistration == 5;
    if (!registered) {
      Info("+COPS", "0");
      return Outcome::Ok();
    }
    std::string name = iCharset == "UCS2" ? EncodeCharset("UCS2", net.operatorName) : net.operatorName;
    Info("+COPS", "0,0,\"" + name + "\"" + (style == "plain" ? "" : "," + std::to_string(net.accessTechnology)));
    return Outcome::Ok();
  }
  if (n == "+CBC" && exec && iProfile.battery && style == "prefixed") {
    Info(n, std::to_string(iProfile.battery->source) + "," + std::to_string(iProfile.battery->level) + "," +
                std::to_string(3300 + iProfile.battery->level * 9));
    return Outcome::Ok();
  }
  return std::nullopt;
}

}  // namespace phonesim
