#include <fstream>
#include <set>

#include "gsm_text.h"
#include "pdu.h"
#include "profile.h"

namespace phonesim {
namespace {

using nlohmann::json;

// A fault at a field of the profile, named by its JSON pointer.
struct ProfileFault {
  std::string where;
  std::string what;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw ProfileFault{where.empty() ? "/" : where, what};
}

std::string TypeName(const json& v) {
  return v.is_null() ? "null" : v.type_name();
}

void CheckKeys(const json& v, const std::string& where, std::set<std::string> allowed) {
  if (!v.is_object()) Fail(where, std::string("expected an object, found ") + TypeName(v));
  for (auto it = v.begin(); it != v.end(); ++it) {
    if (!allowed.count(it.key())) {
      std::string list;
      for (const std::string& a : allowed) list += (list.empty() ? "" : ", ") + a;
      Fail(where + "/" + it.key(), "unknown field (known here: " + list + ")");
    }
  }
}

int Int(const json& v, const std::string& where, int lo, int hi) {
  if (!v.is_number_integer()) Fail(where, "expected an integer, found " + TypeName(v));
  auto n = v.get<long long>();
  if (n < lo || n > hi) {
    Fail(where, std::to_string(n) + " is outside " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  return static_cast<int>(n);
}

std::string Text(const json& v, const std::string& where) {
  if (!v.is_string()) Fail(where, "expected a string, found " + TypeName(v));
  return v.get<std::string>();
}

bool Bool(const json& v, const std::string& where) {
  if (!v.is_boolean()) Fail(where, "expected true or false, found " + TypeName(v));
  return v.get<bool>();
}

// A name's length as phones count it: UTF-16 units (an emoji takes two).
size_t NameLength(const std::string& utf8) {
  return Utf16Length(DecodeUtf8(utf8));
}

void LoadIdentity(const json& v, const std::string& at, Identity& id) {
  CheckKeys(v, at, {"manufacturer", "model", "revision", "imei", "imsi"});
  if (v.contains("manufacturer")) id.manufacturer = Text(v["manufacturer"], at + "/manufacturer");
  if (v.contains("model")) id.model = Text(v["model"], at + "/model");
  if (v.contains("revision")) id.revision = Text(v["revision"], at + "/revision");
  if (v.contains("imei")) id.imei = Text(v["imei"], at + "/imei");
  if (v.contains("imsi")) id.imsi = Text(v["imsi"], at + "/imsi");
}

void LoadPhoneBook(const json& v, const std::string& at, PhoneBook& book) {
  CheckKeys(v, at, {"first", "last", "number_length", "name_length", "entries"});
  if (v.contains("first")) book.first = Int(v["first"], at + "/first", 0, 65535);
  if (v.contains("last")) book.last = Int(v["last"], at + "/last", 0, 65535);
  if (book.last < book.first) Fail(at + "/last", "the last location is below the first");
  if (v.contains("number_length")) book.numberLength = Int(v["number_length"], at + "/number_length", 1, 80);
  if (v.contains("name_length")) book.nameLength = Int(v["name_length"], at + "/name_length", 1, 255);
  if (!v.contains("entries")) return;
  const json& list = v["entries"];
  if (!list.is_array()) Fail(at + "/entries", "expected an array, found " + TypeName(list));
  for (size_t i = 0; i < list.size(); ++i) {
    std::string e = at + "/entries/" + std::to_string(i);
    const json& item = list[i];
    CheckKeys(item, e, {"location", "number", "type", "name"});
    if (!item.contains("location")) Fail(e, "an entry needs a \"location\"");
    int location = Int(item["location"], e + "/location", book.first, book.last);
    if (book.entries.count(location)) Fail(e + "/location", "location " + std::to_string(location) + " is given twice");
    PhoneBookEntry entry;
    if (item.contains("number")) entry.number = Text(item["number"], e + "/number");
    if (item.contains("name")) entry.name = Text(item["name"], e + "/name");
    entry.type = !entry.number.empty() && entry.number[0] == '+' ? 145 : 129;
    if (item.contains("type")) entry.type = Int(item["type"], e + "/type", 128, 255);
    if (static_cast<int>(entry.number.size()) > book.numberLength) {
      Fail(e + "/number", "longer than number_length " + std::to_string(book.numberLength));
    }
    if (static_cast<int>(NameLength(entry.name)) > book.nameLength) {
      Fail(e + "/name", "longer than name_length " + std::to_string(book.nameLength));
    }
    book.entries[location] = entry;
  }
}

Coding LoadCoding(const json& item, const std::string& e) {
  if (!item.contains("coding")) return Coding::kAuto;
  std::string name = Text(item["coding"], e + "/coding");
  if (name == "auto") return Coding::kAuto;
  if (name == "7bit") return Coding::kGsm7;
  if (name == "ucs2") return Coding::kUcs2;
  Fail(e + "/coding", "expected \"auto\", \"7bit\" or \"ucs2\", found \"" + name + "\"");
}

// The part numbers in the order they are stored: 1..parts, or the profile's order.
std::vector<int> PartOrder(const json& c, const std::string& ca, int parts) {
  std::vector<int> order;
  if (!c.contains("order")) {
    for (int i = 1; i <= parts; ++i) order.push_back(i);
    return order;
  }
  const json& list = c["order"];
  if (!list.is_array() || static_cast<int>(list.size()) != parts) {
    Fail(ca + "/order", "expected the " + std::to_string(parts) + " part numbers in the order they are stored");
  }
  std::set<int> seen;
  for (size_t i = 0; i < list.size(); ++i) {
    int part = Int(list[i], ca + "/order/" + std::to_string(i), 1, parts);
    if (!seen.insert(part).second) Fail(ca + "/order/" + std::to_string(i), "part " + std::to_string(part) + " is given twice");
    order.push_back(part);
  }
  return order;
}

// One profile entry: a message given by its PDU, a single message or one
// part given by its fields, or a long text that becomes its parts, stored at
// consecutive indices from `index` on.
std::vector<StoredMessage> LoadMessage(const json& item, const std::string& e, const std::string& smsc, int index) {
  CheckKeys(item, e, {"index", "status", "pdu", "from", "to", "text", "time", "coding", "concat"});
  StoredMessage m;
  bool byPdu = item.contains("pdu");
  bool outgoing = item.contains("to");
  m.status = outgoing ? 3 : 1;
  if (item.contains("status")) m.status = Int(item["status"], e + "/status", 0, 3);
  if (byPdu) {
    for (const char* key : {"from", "to", "text", "time", "coding", "concat"}) {
      if (item.contains(key)) Fail(e + "/" + key, "a message is given either by \"pdu\" or by its fields, not both");
    }
    m.pdu = Text(item["pdu"], e + "/pdu");
    if (TpduLength(m.pdu) < 1) Fail(e + "/pdu", "not a hexadecimal PDU with a service centre length in front");
    return {m};
  }
  if (item.contains("from") == outgoing) Fail(e, "a message needs either \"pdu\", \"from\" (received) or \"to\" (stored outgoing)");
  if (outgoing != (m.status >= 2)) {
    Fail(e + "/status", outgoing ? "a message with \"to\" is stored outgoing: status 2 or 3"
                                 : "a message with \"from\" is received: status 0 or 1");
  }
  TextMessage t;
  t.submit = outgoing;
  t.address = Text(item[outgoing ? "to" : "from"], e + (outgoing ? "/to" : "/from"));
  if (item.contains("text")) t.text = Text(item["text"], e + "/text");
  t.coding = LoadCoding(item, e);
  t.time = "2024-01-01T12:00:00+00:00";
  if (item.contains("time")) {
    if (outgoing) Fail(e + "/time", "a stored outgoing message has no time");
    t.time = Text(item["time"], e + "/time");
  }
  json source = item;
  source.erase("index");
  source.erase("status");

  json c = item.contains("concat") ? item["concat"] : json::object();
  std::string ca = e + "/concat";
  CheckKeys(c, ca, {"reference", "reference_bits", "parts", "part", "order"});
  if (c.contains("reference_bits")) {
    t.concat.referenceBits = Int(c["reference_bits"], ca + "/reference_bits", 8, 16);
    if (t.concat.referenceBits != 8 && t.concat.referenceBits != 16) Fail(ca + "/reference_bits", "expected 8 or 16");
  }
  int maxReference = t.concat.referenceBits == 16 ? 65535 : 255;
  if (c.contains("part")) {
    // One part of a long message, its text as given.
    for (const char* key : {"reference", "parts"}) {
      if (!c.contains(key)) Fail(ca, std::string("needs \"") + key + "\"");
    }
    if (c.contains("order")) Fail(ca + "/order", "belongs to a whole long text, not to one part");
    t.concat.reference = Int(c["reference"], ca + "/reference", 0, maxReference);
    t.concat.total = Int(c["parts"], ca + "/parts", 1, 255);
    t.concat.part = Int(c["part"], ca + "/part", 1, t.concat.total);
    std::string error;
    if (!EncodeTextMessage(t, smsc, m.pdu, error)) Fail(e, error);
    m.source = source;
    return {m};
  }

  // A whole text: one message when it fits, else its parts.
  Coding coding = t.coding == Coding::kAuto ? ChooseCoding(t.text) : t.coding;
  if (coding == Coding::kGsm7 && ChooseCoding(t.text) != Coding::kGsm7) {
    Fail(e + "/coding", "the text has characters outside the GSM alphabet");
  }
  std::vector<std::string> texts = SplitText(t.text, coding, t.concat.referenceBits);
  if (texts.size() > 255) Fail(e + "/text", "longer than 255 parts");
  int parts = static_cast<int>(texts.size());
  if (c.contains("parts") && Int(c["parts"], ca + "/parts", 1, 255) != parts) {
    Fail(ca + "/parts", "the text makes " + std::to_string(parts) + " parts");
  }
  std::vector<int> order = PartOrder(c, ca, parts);
  if (parts == 1) {
    std::string error;
    if (!EncodeTextMessage(t, smsc, m.pdu, error)) Fail(e, error);
    m.source = source;
    return {m};
  }
  t.concat.reference = c.contains("reference") ? Int(c["reference"], ca + "/reference", 0, maxReference)
                                               : index % (maxReference + 1);
  t.concat.total = parts;
  t.coding = coding;
  std::vector<StoredMessage> stored;
  for (int part : order) {
    t.concat.part = part;
    t.text = texts[part - 1];
    std::string error;
    if (!EncodeTextMessage(t, smsc, m.pdu, error)) Fail(e, error);
    // Written back as the part it now is, so that the state loads to the same PDUs.
    m.source = source;
    m.source["text"] = t.text;
    m.source["coding"] = CodingName(coding);
    json concat = {{"reference", t.concat.reference}, {"parts", parts}, {"part", part}};
    if (t.concat.referenceBits == 16) concat["reference_bits"] = 16;
    m.source["concat"] = concat;
    stored.push_back(m);
  }
  return stored;
}

void LoadMessageStore(const json& v, const std::string& at, const std::string& smsc, MessageStore& store) {
  CheckKeys(v, at, {"capacity", "messages"});
  if (v.contains("capacity")) store.capacity = Int(v["capacity"], at + "/capacity", 1, 999);
  if (!v.contains("messages")) return;
  const json& list = v["messages"];
  if (!list.is_array()) Fail(at + "/messages", "expected an array, found " + TypeName(list));
  int next = 1;
  for (size_t i = 0; i < list.size(); ++i) {
    std::string e = at + "/messages/" + std::to_string(i);
    int index = next;
    if (list[i].is_object() && list[i].contains("index")) {
      index = Int(list[i]["index"], e + "/index", 1, store.capacity);
    }
    if (index > store.capacity) Fail(e, "no free index left below the capacity " + std::to_string(store.capacity));
    for (StoredMessage& m : LoadMessage(list[i], e, smsc, index)) {
      if (index > store.capacity) Fail(e, "its parts need indices beyond the capacity " + std::to_string(store.capacity));
      if (store.messages.count(index)) Fail(e + "/index", "index " + std::to_string(index) + " is given twice");
      store.messages[index++] = std::move(m);
    }
    next = index;
  }
}

void LoadSms(const json& v, const std::string& at, Sms& sms) {
  CheckKeys(v, at, {"smsc", "cpms_format", "stores", "send_errors", "sent", "report_delay_ms", "report_status",
                    "cnmi_offer", "service", "unacknowledged", "offer_mt", "memory_suffix"});
  if (v.contains("cnmi_offer")) {
    if (v["cnmi_offer"].is_null())
      sms.cnmiOffer.reset();
    else
      sms.cnmiOffer = Text(v["cnmi_offer"], at + "/cnmi_offer");
  }
  if (v.contains("service")) sms.service = Int(v["service"], at + "/service", 0, 1);
  if (v.contains("unacknowledged")) sms.unacknowledged = Int(v["unacknowledged"], at + "/unacknowledged", 0, 1000000);
  if (v.contains("offer_mt")) sms.offerMt = Bool(v["offer_mt"], at + "/offer_mt");
  if (v.contains("memory_suffix")) {
    sms.memorySuffix = Text(v["memory_suffix"], at + "/memory_suffix");
    if (!sms.memorySuffix.empty() && sms.memorySuffix != "_P")
      Fail(at + "/memory_suffix", "expected \"\" or \"_P\", found \"" + sms.memorySuffix + "\"");
  }
  if (v.contains("report_delay_ms")) sms.reportDelayMs = Int(v["report_delay_ms"], at + "/report_delay_ms", 0, 3600000);
  if (v.contains("report_status")) sms.reportStatus = Int(v["report_status"], at + "/report_status", 0, 255);
  if (v.contains("smsc")) sms.smsc = Text(v["smsc"], at + "/smsc");
  if (v.contains("cpms_format")) {
    std::string f = Text(v["cpms_format"], at + "/cpms_format");
    if (f != "counts" && f != "named") Fail(at + "/cpms_format", "expected \"counts\" or \"named\", found \"" + f + "\"");
    sms.namedCpms = f == "named";
  }
  if (v.contains("stores")) {
    const json& stores = v["stores"];
    CheckKeys(stores, at + "/stores", {"ME", "SM"});
    for (auto it = stores.begin(); it != stores.end(); ++it) {
      std::string sa = at + "/stores/" + it.key();
      if (it->is_null()) {
        sms.stores.erase(it.key());
        continue;
      }
      MessageStore store;
      store.capacity = it.key() == "SM" ? 30 : 100;
      LoadMessageStore(*it, sa, sms.smsc, store);
      sms.stores[it.key()] = store;
    }
  }
  if (v.contains("send_errors")) {
    const json& list = v["send_errors"];
    if (!list.is_array()) Fail(at + "/send_errors", "expected an array, found " + TypeName(list));
    for (size_t i = 0; i < list.size(); ++i) {
      sms.sendErrors.push_back(Int(list[i], at + "/send_errors/" + std::to_string(i), 0, 511));
    }
  }
  if (v.contains("sent")) {
    const json& list = v["sent"];
    if (!list.is_array()) Fail(at + "/sent", "expected an array, found " + TypeName(list));
    for (size_t i = 0; i < list.size(); ++i) {
      std::string e = at + "/sent/" + std::to_string(i);
      // The fields a written state adds after these follow from the pdu.
      CheckKeys(list[i], e, {"recipient", "pdu", "reference", "coding", "text", "concat", "report_requested"});
      SentMessage s;
      if (list[i].contains("recipient")) s.recipient = Text(list[i]["recipient"], e + "/recipient");
      if (list[i].contains("pdu")) s.pdu = Text(list[i]["pdu"], e + "/pdu");
      if (list[i].contains("reference")) s.reference = Int(list[i]["reference"], e + "/reference", 0, 255);
      sms.sent.push_back(s);
    }
  }
}

Fault LoadFault(const json& v, const std::string& at) {
  CheckKeys(v, at, {"command", "occurrence", "lines", "then", "stage"});
  if (!v.contains("command") || !v.contains("then")) Fail(at, "needs \"command\" and \"then\"");
  Fault f;
  f.command = Text(v["command"], at + "/command");
  if (f.command.empty()) Fail(at + "/command", "must not be empty");
  if (v.contains("occurrence")) f.occurrence = Int(v["occurrence"], at + "/occurrence", 1, 1000000);
  if (v.contains("lines")) f.lines = Int(v["lines"], at + "/lines", 0, 1000000);
  std::string then = Text(v["then"], at + "/then");
  if (then != "silence" && then != "hangup")
    Fail(at + "/then", "expected \"silence\" or \"hangup\", found \"" + then + "\"");
  f.hangup = then == "hangup";
  if (v.contains("stage")) {
    std::string stage = Text(v["stage"], at + "/stage");
    if (stage != "reply" && stage != "pdu")
      Fail(at + "/stage", "expected \"reply\" or \"pdu\", found \"" + stage + "\"");
    f.pduStage = stage == "pdu";
  }
  return f;
}

void LoadQuirks(const json& v, const std::string& at, Quirks& q) {
  CheckKeys(v, at, {"echo", "space_after_colon", "baud", "chunk_bytes", "empty_range_reply", "hang_after",
                    "hangup_after_commands", "unsolicited", "refuse", "faults", "ucs2_names", "indication_timing", "status_replies",
                    "silence_after_commands", "silence_ms"});
  if (v.contains("silence_after_commands"))
    q.silenceAfterCommands = Int(v["silence_after_commands"], at + "/silence_after_commands", 0, 1000000);
  if (v.contains("silence_ms")) q.silenceMs = Int(v["silence_ms"], at + "/silence_ms", 0, 3600000);
  if (v.contains("echo")) q.echo = Bool(v["echo"], at + "/echo");
  if (v.contains("space_after_colon")) q.spaceAfterColon = Bool(v["space_after_colon"], at + "/space_after_colon");
  if (v.contains("baud")) {
    q.baud = Int(v["baud"], at + "/baud", 0, 4000000);
    if (q.baud != 0 && q.baud < 50) Fail(at + "/baud", "0 (unpaced) or at least 50");
  }
  if (v.contains("chunk_bytes") && !v["chunk_bytes"].is_null()) {
    const json& c = v["chunk_bytes"];
    if (!c.is_array() || c.size() != 2) Fail(at + "/chunk_bytes", "expected [smallest, largest]");
    q.chunkMin = Int(c[0], at + "/chunk_bytes/0", 1, 65536);
    q.chunkMax = Int(c[1], at + "/chunk_bytes/1", q.chunkMin, 65536);
  }
  if (v.contains("empty_range_reply")) q.emptyRangeReply = Text(v["empty_range_reply"], at + "/empty_range_reply");
  if (v.contains("hang_after") && !v["hang_after"].is_null()) q.hangAfter = Text(v["hang_after"], at + "/hang_after");
  if (v.contains("hangup_after_commands")) {
    q.hangupAfterCommands = Int(v["hangup_after_commands"], at + "/hangup_after_commands", 0, 1000000);
  }
  if (v.contains("unsolicited")) {
    const json& list = v["unsolicited"];
    if (!list.is_array()) Fail(at + "/unsolicited", "expected an array, found " + TypeName(list));
    for (size_t i = 0; i < list.size(); ++i) {
      std::string e = at + "/unsolicited/" + std::to_string(i);
      CheckKeys(list[i], e, {"after", "line"});
      if (!list[i].contains("after") || !list[i].contains("line")) Fail(e, "needs \"after\" and \"line\"");
      q.unsolicited.push_back({Text(list[i]["after"], e + "/after"), Text(list[i]["line"], e + "/line")});
    }
  }
  if (v.contains("refuse")) {
    const json& list = v["refuse"];
    if (!list.is_array()) Fail(at + "/refuse", "expected an array, found " + TypeName(list));
    for (size_t i = 0; i < list.size(); ++i) q.refuse.push_back(Text(list[i], at + "/refuse/" + std::to_string(i)));
  }
  if (v.contains("ucs2_names")) {
    std::string form = Text(v["ucs2_names"], at + "/ucs2_names");
    if (!IsKnownUcs2NameForm(form)) {
      Fail(at + "/ucs2_names", "expected \"hex\", \"byte_swapped\", \"8bit_hex_00\" or \"plain\", found \"" + form + "\"");
    }
    q.ucs2Names = form;
  }
  if (v.contains("indication_timing")) {
    std::string timing = Text(v["indication_timing"], at + "/indication_timing");
    if (timing != "at_once" && timing != "mid_listing" && timing != "before_echo") {
      Fail(at + "/indication_timing", "expected \"at_once\", \"mid_listing\" or \"before_echo\", found \"" + timing + "\"");
    }
    q.indicationTiming = timing;
  }
  if (v.contains("status_replies")) {
    std::string style = Text(v["status_replies"], at + "/status_replies");
    if (!IsKnownStatusStyle(style))
      Fail(at + "/status_replies", "expected \"plain\", \"prefixed\" or \"labelled\", found \"" + style + "\"");
    q.statusReplies = style;
  }
  if (v.contains("faults")) {
    const json& list = v["faults"];
    if (!list.is_array()) Fail(at + "/faults", "expected an array, found " + TypeName(list));
    for (size_t i = 0; i < list.size(); ++i)
      q.faults.push_back(LoadFault(list[i], at + "/faults/" + std::to_string(i)));
  }
}

void LoadSim(const json& v, const std::string& at, Sim& sim) {
  CheckKeys(v, at, {"state", "pin", "puk", "pin_attempts", "puk_attempts", "attempts_query"});
  if (v.contains("state")) {
    sim.state = Text(v["state"], at + "/state");
    if (!IsKnownSimState(sim.state)) {
      Fail(at + "/state", "expected \"READY\", \"SIM PIN\", \"SIM PUK\", \"PH-SIM PIN\", \"absent\" or \"failure\"");
    }
  }
  if (v.contains("pin")) sim.pin = Text(v["pin"], at + "/pin");
  if (v.contains("puk")) sim.puk = Text(v["puk"], at + "/puk");
  if (v.contains("pin_attempts")) sim.pinAttempts = Int(v["pin_attempts"], at + "/pin_attempts", 0, 3);
  if (v.contains("puk_attempts")) sim.pukAttempts = Int(v["puk_attempts"], at + "/puk_attempts", 0, 10);
  if (v.contains("attempts_query")) {
    sim.attemptsQuery = Text(v["attempts_query"], at + "/attempts_query");
    if (sim.attemptsQuery != "cpinr" && sim.attemptsQuery != "caret" && sim.attemptsQuery != "none") {
      Fail(at + "/attempts_query", "expected \"cpinr\", \"caret\" or \"none\"");
    }
  }
}

void LoadUssd(const json& list, const std::string& at, std::vector<UssdStep>& steps) {
  if (!list.is_array()) Fail(at, "expected an array, found " + TypeName(list));
  for (size_t i = 0; i < list.size(); ++i) {
    std::string e = at + "/" + std::to_string(i);
    CheckKeys(list[i], e, {"request", "reply", "coding", "menu"});
    if (!list[i].contains("request")) Fail(e, "needs \"request\"");
    UssdStep step;
    step.request = Text(list[i]["request"], e + "/request");
    if (list[i].contains("reply")) step.reply = Text(list[i]["reply"], e + "/reply");
    if (list[i].contains("coding")) {
      step.coding = Text(list[i]["coding"], e + "/coding");
      if (!IsKnownUssdCoding(step.coding)) Fail(e + "/coding", "expected \"packed\", \"ucs2\", \"plain\" or \"silent\"");
    }
    if (list[i].contains("menu")) step.menu = Bool(list[i]["menu"], e + "/menu");
    steps.push_back(step);
  }
}

void LoadAll(const json& root, Profile& p) {
  CheckKeys(root, "", {"identity", "battery", "signal", "network", "charsets", "phonebooks", "sms", "quirks", "sim", "ussd", "script"});
  if (root.contains("network")) {
    const json& v = root["network"];
    CheckKeys(v, "/network", {"operator", "registration", "eps_registration", "access_technology"});
    Network& net = p.network;
    if (v.contains("operator")) net.operatorName = Text(v["operator"], "/network/operator");
    if (net.operatorName.size() > 64 || net.operatorName.find('"') != std::string::npos)
      Fail("/network/operator", "at most 64 bytes, without a double quote");
    if (v.contains("registration")) net.registration = Int(v["registration"], "/network/registration", 0, 10);
    if (v.contains("eps_registration")) {
      net.epsRegistration =
          v["eps_registration"].is_null() ? -1 : Int(v["eps_registration"], "/network/eps_registration", 0, 10);
    }
    if (v.contains("access_technology"))
      net.accessTechnology = Int(v["access_technology"], "/network/access_technology", 0, 13);
  }
  if (root.contains("sim")) LoadSim(root["sim"], "/sim", p.sim);
  if (root.contains("ussd")) LoadUssd(root["ussd"], "/ussd", p.ussd);
  if (root.contains("identity")) LoadIdentity(root["identity"], "/identity", p.identity);
  if (root.contains("battery")) {
    const json& b = root["battery"];
    if (b.is_null()) {
      p.battery.reset();
    } else {
      CheckKeys(b, "/battery", {"source", "level"});
      Battery battery;
      if (b.contains("source")) battery.source = Int(b["source"], "/battery/source", 0, 3);
      if (b.contains("level")) battery.level = Int(b["level"], "/battery/level", 0, 100);
      p.battery = battery;
    }
  }
  if (root.contains("signal")) {
    const json& s = root["signal"];
    if (s.is_null()) {
      p.signal.reset();
    } else {
      CheckKeys(s, "/signal", {"rssi", "ber"});
      Signal signal;
      if (s.contains("rssi")) signal.rssi = Int(s["rssi"], "/signal/rssi", 0, 99);
      if (s.contains("ber")) signal.ber = Int(s["ber"], "/signal/ber", 0, 99);
      p.signal = signal;
    }
  }
  if (root.contains("charsets")) {
    const json& list = root["charsets"];
    if (!list.is_array() || list.empty()) Fail("/charsets", "expected a list of at least one character set");
    p.charsets.clear();
    for (size_t i = 0; i < list.size(); ++i) {
      std::string where = "/charsets/" + std::to_string(i);
      std::string name = Text(list[i], where);
      if (!IsKnownCharset(name)) Fail(where, "\"" + name + "\" is not one of GSM, 8859-1, UCS2, IRA");
      p.charsets.push_back(name);
    }
  }
  if (root.contains("sms")) LoadSms(root["sms"], "/sms", p.sms);
  if (root.contains("phonebooks")) {
    const json& books = root["phonebooks"];
    CheckKeys(books, "/phonebooks", {"ME", "SM", "FD"});
    for (auto it = books.begin(); it != books.end(); ++it) {
      if (it->is_null()) {
        p.phonebooks[it.key()].reset();
        continue;
      }
      PhoneBook book = p.phonebooks[it.key()].value_or(PhoneBook{});
      book.entries.clear();
      LoadPhoneBook(*it, "/phonebooks/" + it.key(), book);
      p.phonebooks[it.key()] = book;
    }
  }
  if (root.contains("quirks")) LoadQuirks(root["quirks"], "/quirks", p.quirks);
  if (root.contains("script")) {
    const json& list = root["script"];
    if (!list.is_array()) Fail("/script", "expected an array, found " + TypeName(list));
    for (size_t i = 0; i < list.size(); ++i) {
      std::string e = "/script/" + std::to_string(i);
      CheckKeys(list[i], e, {"expect", "reply"});
      if (!list[i].contains("expect") || !list[i].contains("reply")) Fail(e, "needs \"expect\" and \"reply\"");
      p.script.push_back({Text(list[i]["expect"], e + "/expect"), Text(list[i]["reply"], e + "/reply")});
    }
  }
}

void LineAndColumn(const std::string& text, size_t byte, size_t& line, size_t& column) {
  line = 1;
  column = 1;
  for (size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

}  // namespace

bool IsKnownSimState(const std::string& state) {
  return state == "READY" || state == "SIM PIN" || state == "SIM PUK" || state == "PH-SIM PIN" || state == "absent" ||
         state == "failure";
}

bool IsKnownUssdCoding(const std::string& coding) {
  return coding == "packed" || coding == "ucs2" || coding == "plain" || coding == "silent";
}

bool IsKnownUcs2NameForm(const std::string& form) {
  return form == "hex" || form == "byte_swapped" || form == "8bit_hex_00" || form == "plain";
}

Profile DefaultProfile() {
  Profile p;
  PhoneBook me;
  me.last = 200;
  me.nameLength = 24;
  PhoneBook sm;
  PhoneBook fd;
  fd.last = 10;
  p.phonebooks = {{"ME", me}, {"SM", sm}, {"FD", fd}};
  MessageStore meStore;
  meStore.capacity = 100;
  MessageStore smStore;
  smStore.capacity = 30;
  p.sms.stores = {{"ME", meStore}, {"SM", smStore}};
  return p;
}

bool ParseProfile(const std::string& text, const std::string& fileName, Profile& profile, std::string& error) {
  json root;
  try {
    root = json::parse(text, nullptr, true, true);  // comments allowed: profiles are hand-written
  } catch (const json::parse_error& e) {
    size_t line, column;
    LineAndColumn(text, e.byte, line, column);
    std::string what = e.what();
    size_t cut = what.find("syntax error");
    what = cut == std::string::npos ? what : what.substr(cut);
    error = fileName + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what;
    return false;
  } catch (const json::out_of_range& e) {
    // A number too large for a double ("1e999") is well-formed JSON and
    // carries no position.
    std::string what = e.what();
    size_t cut = what.find("] ");
    error = fileName + ": " + (cut == std::string::npos ? what : what.substr(cut + 2));
    return false;
  }
  Profile p = DefaultProfile();
  try {
    LoadAll(root, p);
  } catch (const ProfileFault& f) {
    error = fileName + ": at " + f.where + ": " + f.what;
    return false;
  }
  profile = std::move(p);
  return true;
}

bool LoadProfile(const std::string& path, Profile& profile, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  // Read at most one byte past the limit, so that a huge file or an endless
  // one (a device, a pipe) is refused instead of filling the memory.
  std::string text(kMaxProfileBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) {
    error = path + ": cannot be read";
    return false;
  }
  if (text.size() > kMaxProfileBytes) {
    error = path + ": larger than " + std::to_string(kMaxProfileBytes / (1024 * 1024)) + " MiB, not a profile";
    return false;
  }
  return ParseProfile(text, path, profile, error);
}

}  // namespace phonesim
