// USSD: AT+CUSD. The request is answered with OK at once; the network's
// reply follows as an unsolicited "+CUSD" line, in the coding its step names.
#include "gsm_text.h"
#include "modem.h"

namespace phonesim {
namespace {

const int KSchemeGsm = 15;
const int KSchemeUcs2 = 72;
const int KUssdEnded = 0;
const int KUssdMenu = 1;
const int KUssdNotSupported = 4;

std::string PackedHex(const std::string& utf8) {
  std::vector<uint8_t> septets;
  if (!ToGsmSeptets(DecodeUtf8(utf8), septets)) septets.assign(utf8.size(), 0x3F);
  // Seven spare bits at the end would read as an "@": a carriage return fills them.
  if (septets.size() % 8 == 7) septets.push_back(0x0D);
  std::vector<uint8_t> octets((septets.size() * 7 + 7) / 8, 0);
  size_t bit = 0;
  for (uint8_t s : septets) {
    for (int k = 0; k < 7; ++k, ++bit) {
      if (s & (1 << k)) octets[bit / 8] |= static_cast<uint8_t>(1 << (bit % 8));
    }
  }
  return ToHex(octets);
}

std::string Ucs2Hex(const std::string& utf8) {
  std::vector<uint8_t> octets;
  for (char16_t u : ToUtf16(DecodeUtf8(utf8))) {
    octets.push_back(static_cast<uint8_t>(u >> 8));
    octets.push_back(static_cast<uint8_t>(u & 0xFF));
  }
  return ToHex(octets);
}

}  // namespace

std::string Modem::UssdReplyLine(const UssdStep& step) const {
  int mode = step.menu ? KUssdMenu : KUssdEnded;
  std::string text;
  int scheme = KSchemeGsm;
  if (step.coding == "packed") {
    text = PackedHex(step.reply);
  } else if (step.coding == "ucs2") {
    text = Ucs2Hex(step.reply);
    scheme = KSchemeUcs2;
  } else {
    text = EncodeCharset(iCharset, step.reply);
  }
  return "+CUSD" + Colon() + std::to_string(mode) + ",\"" + text + "\"," + std::to_string(scheme);
}

Modem::Handled Modem::HandleUssd(const AtCommand& cmd) {
  if (cmd.name != "+CUSD") return std::nullopt;
  if (cmd.kind == AtCommand::kTest) {
    Info("+CUSD", "(0-2)");
    return Outcome::Ok();
  }
  if (cmd.kind == AtCommand::kRead) {
    Info("+CUSD", iUssdMenu.empty() ? "0" : "1");
    return Outcome::Ok();
  }
  if (cmd.kind != AtCommand::kSet) return Outcome::Error();
  std::vector<std::string> args = SplitArgs(cmd.args);
  int mode = 0;
  if (!ArgInt(args[0], mode) || mode > 2 || args.size() > 3) return Outcome::Error();
  if (mode == 2) {
    iUssdMenu.clear();
    return Outcome::Ok();
  }
  if (args.size() < 2) return Outcome::Ok();
  std::string raw;
  std::string request;
  if (!ArgString(args[1], raw) || !DecodeCharset(iCharset, raw, request)) return Outcome::Cme(25);
  std::string key = iUssdMenu.empty() ? request : iUssdMenu + ">" + request;
  const UssdStep* found = nullptr;
  for (const UssdStep& step : iProfile.ussd)
    if (step.request == key) found = &step;
  if (!found) {
    iUssdMenu.clear();
    iIndications.push_back("\r\n+CUSD" + Colon() + std::to_string(KUssdNotSupported) + "\r\n");
    return Outcome::Ok();
  }
  iUssdMenu = found->menu ? key : std::string();
  if (found->coding != "silent") iIndications.push_back("\r\n" + UssdReplyLine(*found) + "\r\n");
  return Outcome::Ok();
}

}  // namespace phonesim
