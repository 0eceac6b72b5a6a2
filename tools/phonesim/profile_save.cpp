#include <cstdio>
#include <fstream>

#include "pdu.h"
#include "profile.h"

namespace phonesim {
namespace {

using Json = nlohmann::ordered_json;

Json PhoneBookToJson(const PhoneBook& book) {
  Json out;
  out["first"] = book.first;
  out["last"] = book.last;
  out["number_length"] = book.numberLength;
  out["name_length"] = book.nameLength;
  out["entries"] = Json::array();
  for (const auto& [location, e] : book.entries) {
    out["entries"].push_back({{"location", location}, {"number", e.number}, {"type", e.type}, {"name", e.name}});
  }
  return out;
}

Json StoreToJson(const MessageStore& store) {
  Json out;
  out["capacity"] = store.capacity;
  out["messages"] = Json::array();
  for (const auto& [index, m] : store.messages) {
    Json item = {{"index", index}, {"status", m.status}};
    if (m.source.is_object()) {
      for (auto it = m.source.begin(); it != m.source.end(); ++it) item[it.key()] = *it;
    } else {
      item["pdu"] = m.pdu;
    }
    out["messages"].push_back(item);
  }
  return out;
}

// A sent message with what its PDU says, for whoever reads the state: the
// coding, the text, the long-message header and the report request. Only
// recipient, pdu and reference are read back; the rest follows from the pdu.
Json SentToJson(const SentMessage& s) {
  Json out = {{"recipient", s.recipient}, {"pdu", s.pdu}, {"reference", s.reference}};
  Submit submit;
  std::string error;
  if (!ReadSubmit(s.pdu, submit, error)) return out;
  out["coding"] = CodingName(submit.coding);
  out["text"] = submit.text;
  if (submit.concat.total > 0) {
    out["concat"] = {{"reference", submit.concat.reference},
                     {"reference_bits", submit.concat.referenceBits},
                     {"parts", submit.concat.total},
                     {"part", submit.concat.part}};
  }
  out["report_requested"] = submit.reportRequested;
  return out;
}

}  // namespace

nlohmann::ordered_json ProfileToJson(const Profile& p) {
  Json root;
  root["identity"] = {{"manufacturer", p.identity.manufacturer},
                      {"model", p.identity.model},
                      {"revision", p.identity.revision},
                      {"imei", p.identity.imei},
                      {"imsi", p.identity.imsi}};
  root["battery"] = p.battery ? Json{{"source", p.battery->source}, {"level", p.battery->level}} : Json(nullptr);
  root["signal"] = p.signal ? Json{{"rssi", p.signal->rssi}, {"ber", p.signal->ber}} : Json(nullptr);
  root["network"] = {{"operator", p.network.operatorName},
                     {"registration", p.network.registration},
                     {"eps_registration", p.network.epsRegistration < 0 ? Json(nullptr) : Json(p.network.epsRegistration)},
                     {"access_technology", p.network.accessTechnology}};
  root["charsets"] = p.charsets;
  Json books = Json::object();
  for (const char* name : {"SM", "ME", "FD"}) {
    auto it = p.phonebooks.find(name);
    if (it != p.phonebooks.end()) books[name] = it->second ? PhoneBookToJson(*it->second) : Json(nullptr);
  }
  root["phonebooks"] = books;

  Json sms;
  sms["smsc"] = p.sms.smsc;
  sms["cpms_format"] = p.sms.namedCpms ? "named" : "counts";
  Json stores = Json::object();
  for (const char* name : {"ME", "SM"}) {
    auto it = p.sms.stores.find(name);
    stores[name] = it != p.sms.stores.end() ? StoreToJson(it->second) : Json(nullptr);
  }
  sms["stores"] = stores;
  sms["send_errors"] = p.sms.sendErrors;
  sms["report_delay_ms"] = p.sms.reportDelayMs;
  sms["report_status"] = p.sms.reportStatus;
  sms["cnmi_offer"] = p.sms.cnmiOffer ? Json(*p.sms.cnmiOffer) : Json(nullptr);
  sms["service"] = p.sms.service;
  sms["unacknowledged"] = p.sms.unacknowledged;
  sms["offer_mt"] = p.sms.offerMt;
  sms["memory_suffix"] = p.sms.memorySuffix;
  sms["sent"] = Json::array();
  for (const SentMessage& s : p.sms.sent) sms["sent"].push_back(SentToJson(s));
  root["sms"] = sms;

  root["sim"] = {{"state", p.sim.state},
                 {"pin", p.sim.pin},
                 {"puk", p.sim.puk},
                 {"pin_attempts", p.sim.pinAttempts},
                 {"puk_attempts", p.sim.pukAttempts},
                 {"attempts_query", p.sim.attemptsQuery}};
  root["ussd"] = Json::array();
  for (const UssdStep& u : p.ussd) {
    root["ussd"].push_back({{"request", u.request}, {"reply", u.reply}, {"coding", u.coding}, {"menu", u.menu}});
  }

  const Quirks& q = p.quirks;
  Json quirks;
  quirks["echo"] = q.echo;
  quirks["space_after_colon"] = q.spaceAfterColon;
  quirks["baud"] = q.baud;
  quirks["chunk_bytes"] = q.chunkMax > 0 ? Json{q.chunkMin, q.chunkMax} : Json(nullptr);
  quirks["empty_range_reply"] = q.emptyRangeReply;
  quirks["hang_after"] = q.hangAfter.empty() ? Json(nullptr) : Json(q.hangAfter);
  quirks["hangup_after_commands"] = q.hangupAfterCommands;
  quirks["silence_after_commands"] = q.silenceAfterCommands;
  quirks["silence_ms"] = q.silenceMs;
  quirks["unsolicited"] = Json::array();
  for (const Unsolicited& u : q.unsolicited) quirks["unsolicited"].push_back({{"after", u.after}, {"line", u.line}});
  quirks["refuse"] = q.refuse;
  quirks["ucs2_names"] = q.ucs2Names;
  quirks["indication_timing"] = q.indicationTiming;
  quirks["status_replies"] = q.statusReplies;
  quirks["faults"] = Json::array();
  for (const Fault& f : q.faults) {
    quirks["faults"].push_back({{"command", f.command},
                                {"occurrence", f.occurrence},
                                {"lines", f.lines},
                                {"then", f.hangup ? "hangup" : "silence"},
                                {"stage", f.pduStage ? "pdu" : "reply"}});
  }
  root["quirks"] = quirks;

  root["script"] = Json::array();
  for (const ScriptStep& s : p.script) root["script"].push_back({{"expect", s.expect}, {"reply", s.reply}});
  return root;
}

bool SaveProfile(const std::string& path, const Profile& profile, std::string& error) {
  // Written through a temporary file so that a reader never sees half a state.
  std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = path + ": cannot be written";
      return false;
    }
    out << ProfileToJson(profile).dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    if (!out.flush()) {
      error = path + ": write failed";
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = path + ": cannot be replaced";
    return false;
  }
  return true;
}

}  // namespace phonesim
