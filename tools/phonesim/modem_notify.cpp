// What arrives from the network while the line is open: new messages and
// status reports, stored in the receive store (AT+CPMS's third memory) and
// announced, or routed to the line whole, as AT+CNMI asks.
#include "modem.h"
#include "pdu.h"

namespace phonesim {
namespace {

// The values AT+CNMI=? offers, a parameter at a time: mode, mt, bm, ds, bfr.
bool Offered(int parameter, int value) {
  switch (parameter) {
    case 0: return value >= 0 && value <= 2;
    case 1: return value >= 0 && value <= 3;
    case 2: return value == 0 || value == 2;
    case 3: return value >= 0 && value <= 2;
    default: return value == 0 || value == 1;
  }
}

}  // namespace

Modem::Outcome Modem::NewMessageIndications(const AtCommand& cmd) {
  if (cmd.kind == AtCommand::kTest) {
    Info("+CNMI", "(0-2),(0-3),(0,2),(0-2),(0,1)");
    return Outcome::Ok();
  }
  if (cmd.kind == AtCommand::kRead) {
    std::string values;
    for (int v : iCnmi) values += (values.empty() ? "" : ",") + std::to_string(v);
    Info("+CNMI", values);
    return Outcome::Ok();
  }
  if (cmd.kind != AtCommand::kSet) return Outcome::Cms(302);
  std::vector<std::string> args = SplitArgs(cmd.args);
  if (args.size() > 5) return Outcome::Cms(303);
  int chosen[5] = {iCnmi[0], iCnmi[1], iCnmi[2], iCnmi[3], iCnmi[4]};
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].find_first_not_of(' ') == std::string::npos) continue;  // left out: unchanged
    if (!ArgInt(args[i], chosen[i]) || !Offered(static_cast<int>(i), chosen[i])) return Outcome::Cms(303);
  }
  for (int i = 0; i < 5; ++i) iCnmi[i] = chosen[i];
  // Leaving mode 0 hands over what the phone kept (bfr 0) or forgets it (bfr 1).
  if (iCnmi[0] != 0) {
    if (iCnmi[4] == 0) iIndications.insert(iIndications.end(), iBuffered.begin(), iBuffered.end());
    iBuffered.clear();
  }
  return Outcome::Ok();
}

int Modem::StoreIncoming(const std::string& pdu) {
  auto it = iProfile.sms.stores.find(iMessageStores[2]);
  if (it == iProfile.sms.stores.end()) return -1;
  MessageStore& store = it->second;
  for (int index = 1; index <= store.capacity; ++index) {
    if (store.messages.count(index)) continue;
    StoredMessage m;
    m.status = 0;
    m.pdu = pdu;
    store.messages[index] = m;
    return index;
  }
  return -1;
}

void Modem::Indicate(const std::string& line) {
  std::string framed = "\r\n" + line + "\r\n";
  (iCnmi[0] == 0 ? iBuffered : iIndications).push_back(framed);
}

bool Modem::ReceiveMessage(const std::string& pdu) {
  int mt = iCnmi[1];
  if (mt == 2 && iCnmi[0] != 0) {  // routed whole, not stored
    Indicate("+CMT" + Colon() + "," + std::to_string(TpduLength(pdu)) + "\r\n" + pdu);
    return true;
  }
  int index = StoreIncoming(pdu);
  if (index < 0) return false;
  if (mt != 0) Indicate("+CMTI" + Colon() + "\"" + iMessageStores[2] + "\"," + std::to_string(index));
  return true;
}

bool Modem::ReceiveStatusReport(const std::string& pdu) {
  int ds = iCnmi[3];
  if (ds == 1 && iCnmi[0] != 0) {  // routed whole, not stored
    Indicate("+CDS" + Colon() + std::to_string(TpduLength(pdu)) + "\r\n" + pdu);
    return true;
  }
  // Otherwise kept among the messages, where a download finds it.
  int index = StoreIncoming(pdu);
  if (index < 0) return false;
  if (ds == 2) Indicate("+CDSI" + Colon() + "\"" + iMessageStores[2] + "\"," + std::to_string(index));
  return true;
}

std::vector<std::string> Modem::TakeIndications() {
  std::vector<std::string> out;
  out.swap(iIndications);
  return out;
}

std::vector<Modem::ReportRequest> Modem::TakeReportRequests() {
  std::vector<ReportRequest> out;
  out.swap(iReportRequests);
  return out;
}

}  // namespace phonesim
