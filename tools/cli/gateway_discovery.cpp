#include "tools/cli/gateway_discovery.h"

#include "gateway/gateway_topics.h"
#include "gateway/ha_discovery.h"
#include "tools/cli/cli_text.h"

namespace kvcli {

std::optional<std::string> DiscoveryPrefix(const TParsedOptions& aOptions) {
  std::optional<std::string> given = aOptions.Value("ha-discovery");
  if (!given) return std::nullopt;
  const std::string discovery = given->empty() ? KKvDefaultDiscoveryPrefix : *given;
  if (!IsTopicWord(discovery))
    throw TUsageError("--ha-discovery takes 1 to " + std::to_string(KKvMaxTopicWord) +
                          " letters, digits, '.', '_' or '-'",
                      "gateway");
  return discovery;
}

std::vector<std::pair<std::string, std::string>> DiscoveryMessages(const std::string& aDiscovery,
                                                                   const std::string& aPrefix,
                                                                   const std::string& aId,
                                                                   const TPhoneStatus* aStatus) {
  TKvDiscoveryDevice device;
  if (aStatus != nullptr) {
    device.iImei = Utf8(aStatus->iImei);
    device.iMaker = Utf8(aStatus->iMaker);
    device.iModel = Utf8(aStatus->iModel);
    device.iFirmware = Utf8(aStatus->iFirmware);
  }
  std::vector<std::pair<std::string, std::string>> messages;
  for (TKvDiscoveryConfig& config : MakeDiscoveryConfigs(aDiscovery, aPrefix, aId, device))
    messages.emplace_back(std::move(config.iTopic), std::move(config.iPayload));
  return messages;
}

}  // namespace kvcli
