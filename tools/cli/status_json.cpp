#include "tools/cli/status_json.h"

#include "app/document/kv_status_text.h"
#include "tools/cli/cli_text.h"

#include <kvplatform.h>

namespace kvcli {
namespace {

std::string StatusText(const TDesc16& aText) { return Utf8(aText); }
std::string StatusText(const std::u16string& aText) { return kvplatform::ToUtf8(aText); }

// A text the phone gave, or null when it gave none.
nlohmann::json StatusTextOrNull(const TDesc16& aText) {
  return aText.Length() > 0 ? nlohmann::json(StatusText(aText)) : nlohmann::json(nullptr);
}

nlohmann::json StatusNumber(int aValue) {
  return aValue == KStatusUnknown ? nlohmann::json(nullptr) : nlohmann::json(aValue);
}

}  // namespace

nlohmann::json StatusJson(const TPhoneStatus& aStatus) {
  nlohmann::json stores = nlohmann::json::array();
  static const char* const KUses[KStatusMemories] = {"read", "write", "receive"};
  for (int i = 0; i < KStatusMemories; ++i) {
    const TStoreStatus& store = aStatus.iStores[i];
    if (store.iUsed == KStatusUnknown) continue;
    stores.push_back(
        {{"use", KUses[i]}, {"memory", StatusTextOrNull(store.iMemory)}, {"used", store.iUsed}, {"size", store.iSize}});
  }
  auto known = [](const std::u16string& aText) {
    return aText == u"unknown" || aText.empty() ? nlohmann::json(nullptr) : nlohmann::json(StatusText(aText));
  };
  return {{"maker", StatusTextOrNull(aStatus.iMaker)},
          {"model", StatusTextOrNull(aStatus.iModel)},
          {"firmware", StatusTextOrNull(aStatus.iFirmware)},
          {"imei", StatusTextOrNull(aStatus.iImei)},
          {"sim", known(KvSimText(aStatus))},
          {"operator", StatusTextOrNull(aStatus.iOperator)},
          {"registration", known(KvRegistrationText(aStatus.iRegistration))},
          {"signal_dbm", aStatus.iSignalBars == KStatusUnknown ? nlohmann::json(nullptr) : nlohmann::json(aStatus.iSignalDbm)},
          {"signal_bars", StatusNumber(aStatus.iSignalBars)},
          {"signal_bars_max", KSignalBars},
          {"battery_percent", StatusNumber(aStatus.iBatteryPercent)},
          {"power", known(KvPowerText(aStatus.iPower))},
          {"storage", stores}};
}

}  // namespace kvcli
