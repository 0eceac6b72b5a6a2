// What arrives from the network while the line is open: new messages and
// status reports, stored in the receive store (AT+CPMS's third memory) and
// announced, or routed to the line whole, as AT+CNMI asks.
#include <algorithm>

#include "modem.h"
#include "pdu.h"

namespace phonesim {
namespace {

// The values an AT+CNMI=? answer offers, a bit per value for each of mode,
// mt, bm, ds and bfr: "(0-2),(0-3),(0,2),(0-2),(0,1)", or bare values one a
// parameter ("2,1,0,2,0").
std::vector<unsigned> OfferedValues(const std::string& offer) {
  std::vector<unsigned> values(5, 0);
  size_t parameter = 0;
  bool inGroup = false;
  int low = -1, number = -1;
  auto close = [&] {
    if (number >= 0 && parameter < values.size()) {
      for (int v = low >= 0 ? low : number; v <= number && v < 32; ++v) values[parameter] |= 1u << v;
    }
    low = number = -1;
  };
  for (char c : offer) {
    if (c >= '0' && c <= '9') {
      number = std::min((number < 0 ? 0 : number) * 10 + (c - '0'), 99);
    } else if (c == '-') {
      low = number;
      number = -1;
    } else if (c == '(') {
      inGroup = true;
    } else if (c == ')') {
      close();
      inGroup = false;
    } else if (c == ',') {
      close();
      if (!inGroup) ++parameter;
    }
  }
  close();
  return values;
}

}  // namespace

Modem::Outcome Modem::NewMessageIndications(const AtCommand& cmd) {
  if (!iProfile.sms.cnmiOffer) return Outcome::Error();  // a phone without announcements
  if (cmd.kind == AtCommand::kTest) {
    Info("+CNMI", *iProfile.sms.cnmiOffer);
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
  const std::vector<unsigned> offered = OfferedValues(*iProfile.sms.cnmiOffer);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].find_first_not_of(' ') == std::string::npos) continue;  // left out: unchanged
    if (!ArgInt(args[i], chosen[i]) || chosen[i] > 31 || !(offered[i] & (1u << chosen[i]))) return Outcome::Cms(303);
  }
  for (int i = 0; i < 5; ++i) iCnmi[i] = chosen[i];
  // Leaving mode 0 hands over what the phone kept (bfr 0) or forgets it (bfr 1).
  if (iCnmi[0] != 0) {
    if (iCnmi[4] == 0) iIndications.insert(iIndications.end(), iBuffered.begin(), iBuffered.end());
    iBuffered.clear();
  }
  return Outcome::Ok();
}

int Modem::StoreIncoming(const std::string& pdu, std::string& storeName) {
  // "MT" fills the phone's memory first, then the SIM.
  std::vector<std::string> candidates = {iMessageStores[2]};
  if (iMessageStores[2] == kBothStores) candidates = {"ME", "SM"};
  for (const std::string& name : candidates) {
    auto it = iProfile.sms.stores.find(name);
    if (it == iProfile.sms.stores.end()) continue;
    MessageStore& store = it->second;
    for (int index = 1; index <= store.capacity; ++index) {
      if (store.messages.count(index)) continue;
      StoredMessage m;
      m.status = 0;
      m.pdu = pdu;
      store.messages[index] = m;
      storeName = name;
      return index;
    }
  }
  return -1;
}

void Modem::Restart() {
  iProfile.sms.unacknowledged += iAcksOwed;
  iAcksOwed = 0;
  iIndications.clear();
  iPendingPduLength = -1;
  Reset();
}

void Modem::Indicate(const std::string& line) {
  std::string framed = "\r\n" + line + "\r\n";
  (iCnmi[0] == 0 ? iBuffered : iIndications).push_back(framed);
}

bool Modem::ReceiveMessage(const std::string& pdu) {
  int mt = iCnmi[1];
  if (mt == 2 && iCnmi[0] != 0) {  // routed whole, not stored
    // With service 1 each routed message wants its AT+CNMA; one still owed
    // when the next comes was never acknowledged.
    if (iProfile.sms.service == 1) {
      iProfile.sms.unacknowledged += iAcksOwed;
      iAcksOwed = 1;
    }
    Indicate("+CMT" + Colon() + "," + std::to_string(TpduLength(pdu)) + "\r\n" + pdu);
    return true;
  }
  std::string store;
  int index = StoreIncoming(pdu, store);
  if (index < 0) return false;
  if (mt != 0) Indicate("+CMTI" + Colon() + "\"" + OnLine(store) + "\"," + std::to_string(index));
  return true;
}

bool Modem::ReceiveStatusReport(const std::string& pdu) {
  int ds = iCnmi[3];
  if (ds == 1 && iCnmi[0] != 0) {  // routed whole, not stored
    Indicate("+CDS" + Colon() + std::to_string(TpduLength(pdu)) + "\r\n" + pdu);
    return true;
  }
  // Otherwise kept among the messages, where a download finds it.
  std::string store;
  int index = StoreIncoming(pdu, store);
  if (index < 0) return false;
  if (ds == 2) Indicate("+CDSI" + Colon() + "\"" + OnLine(store) + "\"," + std::to_string(index));
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
