// Message records as earlier versions wrote them: the five properties alone,
// one record per part, and no duplicate key.
#pragma once

#include <string>

#include <windbase.h>
#include <windows.h>

// Writes one such record into the messages store of the current device
// root (made by the program's own store when missing); its identifier, 0 on
// failure.
CEOID WriteEarlierVersionMessage(const std::u16string& aName, const std::u16string& aNumber,
                                 const std::u16string& aText, DWORD aFolder, const FILETIME& aDate);

// Makes the messages database as the version before the duplicate index did
// (one sort order, on the name) when there is none; false on failure.
bool MakeEarlierVersionMessagesDatabase();
// Writes the record as above without opening the program's store.
CEOID WriteEarlierVersionRecord(const std::u16string& aName, const std::u16string& aNumber,
                                const std::u16string& aText, DWORD aFolder, const FILETIME& aDate);

// Makes the volume as the version before conversation keys followed the
// home country left it: keys without the country they were made in.
bool ForgetKeysCountry();
