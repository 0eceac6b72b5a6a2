// The country whose numbering plan national numbers are read in: the SIM's
// (its subscriber identity's mobile country code), else the service
// centre's, else the one the user set. What a phone told is kept in the
// settings, so that messages keyed with no phone connected get it too.
#pragma once

#include <string>

// "GB" for 234 and 235; empty for a code no country has (001, a test network).
std::string CountryOfMobileCountryCode(int aCode);

// The country a phone last told, as kept in the settings; empty when none has.
std::string PhoneCountry();
// Keeps the country a phone told (aSource says how: "the SIM") and keys by
// it from now on; the log tells each change once. An unknown code is not kept.
void KeepPhoneCountry(const std::string& aRegion, const char16_t* aSource);

// In that order of trust: the phone's country, the service centre number's
// country, the setting. Empty when none is known.
std::string ChooseHomeCountry(const std::string& aPhoneCountry, const std::string& aCentreNumber,
                              const std::string& aSetting);
