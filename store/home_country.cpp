#include "store/home_country.h"

#include <cstdlib>

#include <kvplatform.h>

#include "kernel/log.h"
#include "kernel/registry.h"
#include "store/conversation_key.h"

namespace {

const WCHAR KSettingsKey[] = u"Software\\Veltramonic\\Korvanet";
const WCHAR KPhoneCountryValue[] = u"PhoneCountry";

}  // namespace

std::string PhoneCountry() {
  LPWSTR kept = CEpocRegistry::GetRegistryString(KSettingsKey, KPhoneCountryValue);
  std::string region = kept != nullptr ? kvplatform::ToUtf8(kept) : std::string();
  std::free(kept);
  return IsKnownCountry(region) ? region : std::string();
}

void KeepPhoneCountry(const std::string& aRegion, const char16_t* aSource) {
  if (!IsKnownCountry(aRegion)) return;
  if (PhoneCountry() != aRegion) {
    const std::u16string region = kvplatform::FromUtf8(aRegion);
    LogMessage(KLogFilePath, u"CKvHomeCountry - Home country %1!s!, from %2!s!", region.c_str(), aSource);
    CEpocRegistry::SaveRegistryString(KSettingsKey, KPhoneCountryValue, region.c_str());
  }
  if (HomeCountry() != aRegion) SetHomeCountry(aRegion);
}

std::string ChooseHomeCountry(const std::string& aPhoneCountry, const std::string& aCentreNumber,
                              const std::string& aSetting) {
  if (IsKnownCountry(aPhoneCountry)) return aPhoneCountry;
  const std::string ofCentre = CountryOfNumber(aCentreNumber);
  if (!ofCentre.empty()) return ofCentre;
  return IsKnownCountry(aSetting) ? aSetting : std::string();
}
