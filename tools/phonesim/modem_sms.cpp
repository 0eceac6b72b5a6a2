// Message stores and PDU-mode messaging: counting, listing, reading,
// deleting and sending, and the service centre.
#include "modem.h"
#include "pdu.h"

namespace phonesim {
namespace {

bool Matches(int filter, int status) {
  return filter == 4 || filter == status;
}

}  // namespace

std::string Modem::StoreList(bool receiving) const {
  std::string list;
  for (const auto& [name, store] : iProfile.sms.stores)
    list += (list.empty() ? "\"" : ",\"") + OnLine(name) + "\"";
  if (receiving && iProfile.sms.offerMt) list += ",\"MT\"";
  return "(" + list + ")";
}

std::string Modem::OnLine(const std::string& store) const {
  return store == kBothStores ? store : store + iProfile.sms.memorySuffix;
}

std::string Modem::Unspelled(const std::string& name) const {
  const std::string& suffix = iProfile.sms.memorySuffix;
  if (name == kBothStores) return name;
  if (suffix.empty()) return name;
  if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return {};
  return name.substr(0, name.size() - suffix.size());
}

std::pair<int, int> Modem::StoreCounts(const std::string& name) const {
  int used = 0, capacity = 0;
  for (const auto& [storeName, store] : iProfile.sms.stores) {
    if (name != kBothStores && name != storeName) continue;
    used += static_cast<int>(store.messages.size());
    capacity += store.capacity;
  }
  return {used, capacity};
}

Modem::Handled Modem::HandleSms(const AtCommand& cmd) {
  const std::string& n = cmd.name;
  if (n == "+CPMS") {
    if (cmd.kind == AtCommand::kTest) {
      std::string list = StoreList(false);
      Info("+CPMS", list + "," + list + "," + StoreList(true));
      return Outcome::Ok();
    }
    return SelectMessageStores(cmd);
  }
  if (n == "+CMGF") {
    if (cmd.kind == AtCommand::kTest) Info("+CMGF", "(0)");
    if (cmd.kind == AtCommand::kRead) Info("+CMGF", std::to_string(iMessageFormat));
    if (cmd.kind == AtCommand::kSet) {
      int mode;
      if (!ArgInt(cmd.args, mode) || mode != 0) return Outcome::Cms(303);  // text mode not offered
      iMessageFormat = mode;
    }
    return Outcome::Ok();
  }
  if (n == "+CSMS") {
    if (cmd.kind == AtCommand::kRead) Info("+CSMS", std::to_string(iProfile.sms.service) + ",1,1,1");
    if (cmd.kind == AtCommand::kTest) Info("+CSMS", "(0,1)");
    if (cmd.kind == AtCommand::kSet) {
      int service;
      if (!ArgInt(cmd.args, service) || service > 1) return Outcome::Cms(303);
      iProfile.sms.service = service;
      Info("+CSMS", "1,1,1");
    }
    return Outcome::Ok();
  }
  if (n == "+CNMA") {
    if (cmd.kind == AtCommand::kTest) return Outcome::Ok();
    // Only a routed message waiting for it can be acknowledged.
    if (iProfile.sms.service != 1 || iAcksOwed == 0) return Outcome::Cms(340);
    --iAcksOwed;
    return Outcome::Ok();
  }
  if (n == "+CNMI") return NewMessageIndications(cmd);
  if (n == "+CSCA") {
    if (cmd.kind == AtCommand::kRead) {
      const std::string& c = iProfile.sms.smsc;
      Info("+CSCA", "\"" + c + "\"," + (!c.empty() && c[0] == '+' ? "145" : "129"));
      return Outcome::Ok();
    }
    if (cmd.kind == AtCommand::kTest) return Outcome::Ok();
    std::vector<std::string> args = SplitArgs(cmd.args);
    std::string number;
    if (cmd.kind != AtCommand::kSet || !ArgString(args[0], number) || number.empty()) return Outcome::Cms(304);
    int type = 0;
    if (args.size() > 1 && !ArgInt(args[1], type)) return Outcome::Cms(304);
    // A type of 145 without the "+" in the number still means international.
    if (type == 145 && number[0] != '+') number = "+" + number;
    iProfile.sms.smsc = number;
    return Outcome::Ok();
  }
  if (n == "+CMGL") {
    if (cmd.kind == AtCommand::kTest) {
      Info("+CMGL", "(0-4)");
      return Outcome::Ok();
    }
    return ListMessages(cmd);
  }
  if (n == "+CMGR") return cmd.kind == AtCommand::kTest ? Outcome::Ok() : ReadMessage(cmd);
  if (n == "+CMGD") {
    if (cmd.kind == AtCommand::kTest) {
      std::string used;
      auto it = iProfile.sms.stores.find(iMessageStores[0]);
      if (it != iProfile.sms.stores.end()) {
        for (const auto& [index, m] : it->second.messages) used += (used.empty() ? "" : ",") + std::to_string(index);
      }
      Info("+CMGD", "(" + used + "),(0-4)");
      return Outcome::Ok();
    }
    return DeleteMessages(cmd);
  }
  if (n == "+CMGS") return cmd.kind == AtCommand::kTest ? Outcome::Ok() : StartSend(cmd);
  return std::nullopt;
}

Modem::Outcome Modem::SelectMessageStores(const AtCommand& cmd) {
  auto& stores = iProfile.sms.stores;
  if (cmd.kind == AtCommand::kSet) {
    std::vector<std::string> args = SplitArgs(cmd.args);
    if (args.size() > 3) return Outcome::Cms(302);
    std::string chosen[3] = {iMessageStores[0], iMessageStores[1], iMessageStores[2]};
    for (size_t i = 0; i < args.size(); ++i) {
      std::string name;
      if (!ArgString(args[i], name)) return Outcome::Error();
      name = Unspelled(NormalizeCommand(name));
      const bool both = name == kBothStores && i == 2 && iProfile.sms.offerMt;
      if (!both && !stores.count(name)) return Outcome::Error();
      chosen[i] = name;
    }
    for (int i = 0; i < 3; ++i) iMessageStores[i] = chosen[i];
  } else if (cmd.kind != AtCommand::kRead) {
    return Outcome::Error();
  }
  // Reading always names the memories; setting does so only on phones of the "named" kind.
  bool named = cmd.kind == AtCommand::kRead || iProfile.sms.namedCpms;
  std::string body;
  for (const std::string& name : iMessageStores) {
    if (name != kBothStores && !stores.count(name)) return Outcome::Error();
    auto [used, capacity] = StoreCounts(name);
    if (!body.empty()) body += ",";
    if (named) body += "\"" + OnLine(name) + "\",";
    body += std::to_string(used) + "," + std::to_string(capacity);
  }
  Info("+CPMS", body);
  return Outcome::Ok();
}

Modem::Outcome Modem::ListMessages(const AtCommand& cmd) {
  int filter = 0;  // without a parameter: received unread
  if (cmd.kind == AtCommand::kSet && (!ArgInt(cmd.args, filter) || filter > 4)) return Outcome::Cms(302);
  if (cmd.kind == AtCommand::kRead) return Outcome::Error();
  auto it = iProfile.sms.stores.find(iMessageStores[0]);
  if (it == iProfile.sms.stores.end()) return Outcome::Cms(302);
  for (auto& [index, m] : it->second.messages) {
    if (!Matches(filter, m.status)) continue;
    Info("+CMGL", std::to_string(index) + "," + std::to_string(m.status) + ",," + std::to_string(TpduLength(m.pdu)));
    InfoText(m.pdu);
    if (m.status == 0) m.status = 1;  // listed is read
  }
  return Outcome::Ok();
}

Modem::Outcome Modem::ReadMessage(const AtCommand& cmd) {
  int index;
  if (cmd.kind != AtCommand::kSet || !ArgInt(cmd.args, index)) return Outcome::Cms(321);
  auto it = iProfile.sms.stores.find(iMessageStores[0]);
  if (it == iProfile.sms.stores.end()) return Outcome::Cms(302);
  auto m = it->second.messages.find(index);
  if (m == it->second.messages.end()) return Outcome::Cms(321);
  Info("+CMGR", std::to_string(m->second.status) + ",," + std::to_string(TpduLength(m->second.pdu)));
  InfoText(m->second.pdu);
  if (m->second.status == 0) m->second.status = 1;
  return Outcome::Ok();
}

Modem::Outcome Modem::DeleteMessages(const AtCommand& cmd) {
  std::vector<std::string> args = SplitArgs(cmd.args);
  int index = 0, flag = 0;
  if (cmd.kind != AtCommand::kSet || args.size() > 2 || !ArgInt(args[0], index)) return Outcome::Cms(321);
  if (args.size() == 2 && (!ArgInt(args[1], flag) || flag > 4)) return Outcome::Cms(302);
  auto it = iProfile.sms.stores.find(iMessageStores[0]);
  if (it == iProfile.sms.stores.end()) return Outcome::Cms(302);
  auto& messages = it->second.messages;
  if (flag == 0) {
    if (!messages.erase(index)) return Outcome::Cms(321);
    return Outcome::Ok();
  }
  // 1 read, 2 read and sent, 3 read, sent and unsent, 4 every message.
  for (auto m = messages.begin(); m != messages.end();) {
    int s = m->second.status;
    bool gone = flag == 4 || s == 1 || (flag >= 2 && s == 3) || (flag >= 3 && s == 2);
    m = gone ? messages.erase(m) : std::next(m);
  }
  return Outcome::Ok();
}

Modem::Outcome Modem::StartSend(const AtCommand& cmd) {
  int length;
  if (cmd.kind != AtCommand::kSet || !ArgInt(SplitArgs(cmd.args)[0], length) || length < 1 || length > 164) {
    return Outcome::Cms(304);
  }
  iPendingPduLength = length;
  return Outcome::Prompt();
}

std::string Modem::HandlePdu(const std::string& text) {
  int expected = iPendingPduLength;
  iPendingPduLength = -1;
  std::string hex;
  for (char c : text) {
    if (c != '\r' && c != '\n' && c != ' ') hex.push_back(c);
  }
  Submit submit;
  std::string error;
  if (TpduLength(hex) != expected || !ReadSubmit(hex, submit, error)) return Frame(Outcome::Cms(304));
  if (!iProfile.sms.sendErrors.empty()) {
    int code = iProfile.sms.sendErrors.front();
    iProfile.sms.sendErrors.erase(iProfile.sms.sendErrors.begin());
    return Frame(Outcome::Cms(code));
  }
  int reference = iNextReference;
  iNextReference = iNextReference % 255 + 1;
  iProfile.sms.sent.push_back({submit.recipient, hex, reference});
  if (submit.reportRequested) iReportRequests.push_back({reference, submit.recipient});
  Info("+CMGS", std::to_string(reference));
  return Frame(Outcome::Ok());
}

std::string Modem::CancelPdu() {
  iPendingPduLength = -1;
  return Frame(Outcome::Ok());
}

}  // namespace phonesim
