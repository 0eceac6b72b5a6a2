// Discovery configs for home-automation platforms that find MQTT devices by
// retained configs under a discovery prefix: one device for the modem, with
// sensors over P/I/status and P/I/received, an event for each message
// received, and a notify entity that sends through P/I/send. Pure functions:
// the gateway publishes what they make, retained, at each connection.
#pragma once

#include <string>
#include <vector>

#include "gateway/gateway_topics.h"

inline constexpr const char* KKvDefaultDiscoveryPrefix = "homeassistant";
// A device text longer than this (a modem's firmware line can be) is cut.
inline constexpr size_t KKvMaxDeviceText = 64;

// The modem as its status names it; empty where it told nothing.
struct TKvDiscoveryDevice {
  std::string iImei;
  std::string iMaker;
  std::string iModel;
  std::string iFirmware;
};

struct TKvDiscoveryConfig {
  std::string iTopic;    // DISCOVERY/COMPONENT/NODE/OBJECT/config
  std::string iPayload;  // the config, JSON
};

// The configs of the gateway with prefix aPrefix and id aId (both topic
// words), under the discovery prefix aDiscovery (a topic word too).
std::vector<TKvDiscoveryConfig> MakeDiscoveryConfigs(const std::string& aDiscovery, const std::string& aPrefix,
                                                     const std::string& aId, const TKvDiscoveryDevice& aDevice);
