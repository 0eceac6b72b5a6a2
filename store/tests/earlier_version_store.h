// Message records as the version before long messages were kept whole wrote
// them: the five properties alone, one record per part.
#pragma once

#include <string>

#include <windbase.h>
#include <windows.h>

// Writes one such record into the messages store of the current device
// root (made when missing); its identifier, 0 on failure.
CEOID WriteEarlierVersionMessage(const std::u16string& aName, const std::u16string& aNumber,
                                 const std::u16string& aText, DWORD aFolder, const FILETIME& aDate);
