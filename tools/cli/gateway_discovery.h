// The gateway's home-automation discovery: the modem's identity read once
// before the gateway connects, made into the retained discovery configs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/cli/cli_session.h"
#include "tools/cli/command_line.h"

namespace kvcli {

// The (topic, payload) configs for --ha-discovery [PREFIX] in aConfigs, none
// when it is not given. Reads the phone's status for its maker, model,
// firmware and IMEI; a phone that does not answer yet gives a device without
// them. False when the user interrupted the reading.
bool GatewayDiscovery(TCliSession& aSession, const TParsedOptions& aOptions, const std::string& aPrefix,
                      const std::string& aId, std::vector<std::pair<std::string, std::string>>& aConfigs);

}  // namespace kvcli
