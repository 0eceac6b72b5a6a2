// Which conversation a message belongs to: the other party, one key however
// the number was written. Numbers become their international form in the
// home country's numbering plan, so "07700 900123", "+44 7700 900123" and
// "0044 7700900123" are one party; a sender that is a name ("Vodafone") is
// itself, case and accents aside.
#pragma once

#include <string>

#include "kernel/descriptors.h"

// The key: "+" and digits for a number that parses, the dialling characters
// as written for one that does not, "~" and the folded text for a sender
// written in letters (the number field, else the name). Never empty.
std::u16string ConversationKey(const TDesc16& aNumber, const TDesc16& aName);

// The country whose national numbers the keys read ("GB"): set by the
// program from what it knows (store/home_country.h: the SIM's country, else
// the service centre number's, else the home country setting).
// An empty or unknown code leaves national numbers as they are written.
void SetHomeCountry(const std::string& aRegion);
std::string HomeCountry();
// The country of an international number ("+447785016005": "GB"); empty
// when it has none.
std::string CountryOfNumber(const std::string& aInternational);
// Whether aRegion is a country code the numbering plans know.
bool IsKnownCountry(const std::string& aRegion);
