#include "gateway/ha_discovery.h"

#include <nlohmann/json.hpp>

namespace {

// Discovery node and object ids take letters, digits, '_' and '-' only: a
// topic word's dots become underscores.
std::string NodeWord(const std::string& aWord) {
  std::string out = aWord;
  for (char& c : out)
    if (c == '.') c = '_';
  return out;
}

// What the modem said, as a platform shows it: no control characters, not
// too long. JSON escaping does the rest.
std::string DeviceText(const std::string& aText) {
  std::string out;
  for (unsigned char c : aText) {
    if (out.size() >= KKvMaxDeviceText) break;
    if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
  }
  // A cut in the middle of a UTF-8 sequence leaves no broken tail.
  while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
  if (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0xC0) out.pop_back();
  return out;
}

bool IsImei(const std::string& aText) {
  if (aText.size() < 14 || aText.size() > 17) return false;
  for (char c : aText)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string Dump(const nlohmann::json& aValue) {
  return aValue.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A received message's text is the state of an entity, which holds at most
// 255 characters; the whole text is in the event and on P/I/received.
const char* const KLastMessageText = "{{ value_json.text[:255] }}";
const char* const KLastMessageAttributes =
    "{{ {'from': value_json.number, 'name': value_json.name, 'date': value_json.date} | tojson }}";
const char* const KReceivedEvent =
    "{{ {'event_type': 'received', 'from': value_json.number, 'name': value_json.name, "
    "'date': value_json.date, 'text': value_json.text} | tojson }}";
// The notification's message is "TO: TEXT", TO a number or a contact's name;
// without a colon "to" stays empty and the gateway refuses it with its reason.
const char* const KSendCommand =
    "{% set p = value.split(':', 1) %}"
    "{{ {'to': (p[0] | trim) if p | length > 1 else '', 'text': (p[1] | trim) if p | length > 1 else value} "
    "| tojson }}";

}  // namespace

std::vector<TKvDiscoveryConfig> MakeDiscoveryConfigs(const std::string& aDiscovery, const std::string& aPrefix,
                                                     const std::string& aId, const TKvDiscoveryDevice& aDevice) {
  const TKvGatewayTopics topics(aPrefix, aId);
  const std::string node = NodeWord(aPrefix) + "_" + NodeWord(aId);

  // The id keeps the device the same across runs; the IMEI, once known,
  // joins it to what else knows this modem.
  nlohmann::json device = {{"identifiers", nlohmann::json::array({node})}, {"name", "Korvanet " + aId}};
  if (IsImei(aDevice.iImei)) {
    device["identifiers"].push_back("imei_" + aDevice.iImei);
    device["serial_number"] = aDevice.iImei;
  }
  if (std::string maker = DeviceText(aDevice.iMaker); !maker.empty()) device["manufacturer"] = maker;
  if (std::string model = DeviceText(aDevice.iModel); !model.empty()) device["model"] = model;
  if (std::string firmware = DeviceText(aDevice.iFirmware); !firmware.empty()) device["sw_version"] = firmware;

  const nlohmann::json availability = nlohmann::json::array(
      {{{"topic", topics.iAvailability}, {"payload_available", "online"}, {"payload_not_available", "offline"}}});

  std::vector<TKvDiscoveryConfig> configs;
  auto add = [&](const std::string& aComponent, const std::string& aObject, nlohmann::json aConfig) {
    aConfig["unique_id"] = node + "_" + aObject;
    aConfig["object_id"] = node + "_" + aObject;
    aConfig["device"] = device;
    aConfig["availability"] = availability;
    aConfig["origin"] = {{"name", "Korvanet"}};
    configs.push_back({aDiscovery + "/" + aComponent + "/" + node + "/" + aObject + "/config", Dump(aConfig)});
  };
  auto status = [&](const std::string& aName, const std::string& aField) {
    return nlohmann::json{{"name", aName},
                          {"state_topic", topics.iStatus},
                          {"value_template", "{{ value_json." + aField + " }}"},
                          {"entity_category", "diagnostic"}};
  };

  nlohmann::json signal = status("Signal", "signal_dbm");
  signal["device_class"] = "signal_strength";
  signal["unit_of_measurement"] = "dBm";
  signal["state_class"] = "measurement";
  add("sensor", "signal", signal);

  nlohmann::json battery = status("Battery", "battery_percent");
  battery["device_class"] = "battery";
  battery["unit_of_measurement"] = "%";
  battery["state_class"] = "measurement";
  add("sensor", "battery", battery);

  nlohmann::json network = status("Operator", "operator");
  network["icon"] = "mdi:radio-tower";
  add("sensor", "operator", network);

  nlohmann::json registration = status("Registration", "registration");
  registration["icon"] = "mdi:sim";
  add("sensor", "registration", registration);

  add("sensor", "last_message",
      {{"name", "Last message"},
       {"state_topic", topics.iReceived},
       {"qos", 1},
       {"value_template", KLastMessageText},
       {"json_attributes_topic", topics.iReceived},
       {"json_attributes_template", KLastMessageAttributes},
       {"icon", "mdi:message-text"}});

  add("event", "message",
      {{"name", "Message received"},
       {"state_topic", topics.iReceived},
       {"qos", 1},
       {"event_types", nlohmann::json::array({"received"})},
       {"value_template", KReceivedEvent},
       {"icon", "mdi:message-alert"}});

  add("notify", "send",
      {{"name", "Send SMS"}, {"command_topic", topics.iSend}, {"qos", 1}, {"command_template", KSendCommand}});
  return configs;
}
