// The gateway's home-automation discovery: the modem, as its status names
// it, made into the retained discovery configs.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "phone/phone_status.h"
#include "tools/cli/command_line.h"

namespace kvcli {

// The discovery prefix of --ha-discovery [PREFIX] (homeassistant when it has
// none), checked to be a topic word; none when the option is not given.
std::optional<std::string> DiscoveryPrefix(const TParsedOptions& aOptions);

// The (topic, payload) configs of the gateway with prefix aPrefix and id aId,
// its device described by aStatus (null: not read yet, a device without maker
// or model).
std::vector<std::pair<std::string, std::string>> DiscoveryMessages(const std::string& aDiscovery,
                                                                   const std::string& aPrefix,
                                                                   const std::string& aId,
                                                                   const TPhoneStatus* aStatus);

}  // namespace kvcli
