#include <gtest/gtest.h>

#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "gateway/ha_discovery.h"

namespace {

std::map<std::string, nlohmann::json> ByTopic(const std::vector<TKvDiscoveryConfig>& aConfigs) {
  std::map<std::string, nlohmann::json> parsed;
  for (const TKvDiscoveryConfig& config : aConfigs) {
    nlohmann::json value = nlohmann::json::parse(config.iPayload, nullptr, false);
    EXPECT_TRUE(value.is_object()) << config.iPayload;
    EXPECT_TRUE(parsed.emplace(config.iTopic, value).second) << "twice: " << config.iTopic;
  }
  return parsed;
}

}  // namespace

TEST(HaDiscovery, EachEntityHasItsOwnIdAndTheGatewaysTopicsUnderTheDiscoveryPrefix) {
  TKvDiscoveryDevice device{"356938035643809", "Quectel", "EC25", "EC25EFAR06A06M4G"};
  std::map<std::string, nlohmann::json> configs = ByTopic(MakeDiscoveryConfigs("homeassistant", "kv", "hall.modem", device));
  ASSERT_EQ(configs.size(), 7u);

  std::set<std::string> ids;
  for (const auto& [topic, config] : configs) {
    // A dot is no part of a discovery node id.
    EXPECT_EQ(topic.rfind("homeassistant/", 0), 0u) << topic;
    EXPECT_NE(topic.find("/kv_hall_modem/"), std::string::npos) << topic;
    EXPECT_EQ(topic.substr(topic.size() - 7), "/config");
    EXPECT_TRUE(ids.insert(config["unique_id"].get<std::string>()).second) << config["unique_id"];
    EXPECT_EQ(config["availability"][0]["topic"], "kv/hall.modem/availability");
    EXPECT_EQ(config["device"]["identifiers"], nlohmann::json({"kv_hall_modem", "imei_356938035643809"}));
    EXPECT_EQ(config["device"]["manufacturer"], "Quectel");
    EXPECT_EQ(config["device"]["model"], "EC25");
    EXPECT_EQ(config["device"]["sw_version"], "EC25EFAR06A06M4G");
  }

  const nlohmann::json& signal = configs.at("homeassistant/sensor/kv_hall_modem/signal/config");
  EXPECT_EQ(signal["state_topic"], "kv/hall.modem/status");
  EXPECT_EQ(signal["value_template"], "{{ value_json.signal_dbm }}");
  EXPECT_EQ(signal["unit_of_measurement"], "dBm");
  EXPECT_EQ(configs.at("homeassistant/sensor/kv_hall_modem/battery/config")["value_template"],
            "{{ value_json.battery_percent }}");
  EXPECT_EQ(configs.at("homeassistant/sensor/kv_hall_modem/operator/config")["state_topic"], "kv/hall.modem/status");
  EXPECT_EQ(configs.at("homeassistant/sensor/kv_hall_modem/registration/config")["value_template"],
            "{{ value_json.registration }}");

  const nlohmann::json& last = configs.at("homeassistant/sensor/kv_hall_modem/last_message/config");
  EXPECT_EQ(last["state_topic"], "kv/hall.modem/received");
  EXPECT_EQ(last["json_attributes_topic"], "kv/hall.modem/received");
  EXPECT_NE(last["json_attributes_template"].get<std::string>().find("value_json.number"), std::string::npos);
  EXPECT_NE(last["json_attributes_template"].get<std::string>().find("value_json.date"), std::string::npos);

  const nlohmann::json& event = configs.at("homeassistant/event/kv_hall_modem/message/config");
  EXPECT_EQ(event["state_topic"], "kv/hall.modem/received");
  EXPECT_EQ(event["event_types"], nlohmann::json({"received"}));

  const nlohmann::json& notify = configs.at("homeassistant/notify/kv_hall_modem/send/config");
  EXPECT_EQ(notify["command_topic"], "kv/hall.modem/send");
  EXPECT_NE(notify["command_template"].get<std::string>().find("tojson"), std::string::npos);

  // Another gateway on the same broker gets ids of its own.
  for (const auto& [topic, config] : ByTopic(MakeDiscoveryConfigs("homeassistant", "kv", "garage", device)))
    EXPECT_EQ(ids.count(config["unique_id"].get<std::string>()), 0u) << config["unique_id"];
}

TEST(HaDiscovery, WhatTheModemSaidIsCutCleanedAndEscapedAndAnUnknownModemStillMakesADevice) {
  std::string model = "Model \"Xy\"\x1b[2J\r\n";
  for (int i = 0; i < 40; ++i) model += "\xc3\xa9";  // é, cut at the limit
  TKvDiscoveryDevice device{"12345", "Maker\\", model, std::string("fw\xff\x00x", 5)};
  std::vector<TKvDiscoveryConfig> configs = MakeDiscoveryConfigs("ha", "korvanet", "m1", device);
  for (const TKvDiscoveryConfig& config : configs) {
    nlohmann::json value = nlohmann::json::parse(config.iPayload, nullptr, false);
    ASSERT_FALSE(value.is_discarded()) << config.iPayload;
    const nlohmann::json& shown = value["device"];
    EXPECT_EQ(shown["manufacturer"], "Maker\\");
    const std::string modelShown = shown["model"];
    EXPECT_EQ(modelShown.rfind("Model \"Xy\"[2J", 0), 0u) << modelShown;
    EXPECT_LE(modelShown.size(), KKvMaxDeviceText);
    EXPECT_EQ(modelShown.find_first_of("\x1b\r\n"), std::string::npos);
    EXPECT_EQ(modelShown.substr(modelShown.size() - 2), "\xc3\xa9");  // no half character
    EXPECT_EQ(shown["sw_version"].get<std::string>().find('\0'), std::string::npos);
    // Not an IMEI: the device is known by the gateway's id alone.
    EXPECT_EQ(shown["identifiers"], nlohmann::json({"korvanet_m1"}));
    EXPECT_FALSE(shown.contains("serial_number"));
    EXPECT_EQ(config.iTopic.rfind("ha/", 0), 0u);
  }

  std::vector<TKvDiscoveryConfig> bare = MakeDiscoveryConfigs("ha", "korvanet", "m1", {});
  nlohmann::json first = nlohmann::json::parse(bare.at(0).iPayload);
  EXPECT_EQ(first["device"]["name"], "Korvanet m1");
  EXPECT_FALSE(first["device"].contains("model"));
}
