#include "tools/cli/gateway_discovery.h"

#include <cstdio>

#include "gateway/gateway_topics.h"
#include "gateway/ha_discovery.h"
#include "kernel/errors.h"
#include "tools/cli/cli_text.h"

namespace kvcli {

bool GatewayDiscovery(TCliSession& aSession, const TParsedOptions& aOptions, const std::string& aPrefix,
                      const std::string& aId, std::vector<std::pair<std::string, std::string>>& aConfigs) {
  std::optional<std::string> given = aOptions.Value("ha-discovery");
  if (!given) return true;
  const std::string discovery = given->empty() ? KKvDefaultDiscoveryPrefix : *given;
  if (!IsTopicWord(discovery))
    throw TUsageError("--ha-discovery takes 1 to " + std::to_string(KKvMaxTopicWord) +
                          " letters, digits, '.', '_' or '-'",
                      "gateway");

  TKvDiscoveryDevice device;
  TActionOutcome outcome =
      aSession.RunAction("Reading the status", [](CKvAppEngine& aEngine) { return aEngine.ReadStatus(); });
  const TEngineAction* action = aSession.ActionBlock();
  if (outcome.iInterrupted) return false;
  if (outcome.iResult == KErrNone && action != nullptr && action->iStatusRead) {
    const TPhoneStatus& status = action->iStatus;
    device.iImei = Utf8(status.iImei);
    device.iMaker = Utf8(status.iMaker);
    device.iModel = Utf8(status.iModel);
    device.iFirmware = Utf8(status.iFirmware);
  } else {
    std::fprintf(stderr, "gateway: the phone's status could not be read; its discovery device has no maker or model\n");
  }
  for (TKvDiscoveryConfig& config : MakeDiscoveryConfigs(discovery, aPrefix, aId, device))
    aConfigs.emplace_back(std::move(config.iTopic), std::move(config.iPayload));
  return true;
}

}  // namespace kvcli
