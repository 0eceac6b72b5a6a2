// The home country a database's conversation keys were made in, kept in the
// volume beside the keys: a store opened under another country (or in a
// process that learnt a new one) knows to key its records again, and one
// opened under the same country reads this one value and nothing else.
#pragma once

#include <string>

#include <windbase.h>

// Which database's keys: one value each, both in one record.
const CEPROPID KMessagesKeysCountryProp = 0x1001F;
const CEPROPID KContactsKeysCountryProp = 0x2001F;

// What is kept for a home country ("GB"); keys made with none are kept as
// the numbering plans' unknown region, so that they differ from a volume
// that never told.
std::u16string KeysCountryTag(const std::string& aHomeCountry);
// The tag kept for the database, in aTag; empty when the volume never told
// (written before keys followed the country) or holds no tag this program
// writes. False when the volume could not be read.
bool ReadKeysCountry(CEGUID& aVolume, CEPROPID aDatabase, std::u16string& aTag);
// Keeps the tag: to be written in the transaction of the keys it tells of.
bool KeepKeysCountry(CEGUID& aVolume, CEPROPID aDatabase, const std::u16string& aTag);
// The country for the log: the code, or "no country".
std::u16string KeysCountryName(const std::u16string& aTag);
