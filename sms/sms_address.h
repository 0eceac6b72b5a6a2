// One addressee of a message: a name, a number, and which parts went out to it.
#pragma once

#include <wintypes.h>

#include "kernel/descriptors.h"

inline constexpr int KSmsNameLength = 40;
inline constexpr int KSmsNumberLength = 32;

// Plain record, copied byte for byte in and out of the recipient array.
struct TSmsAddress {
  TModBuf16<KSmsNameLength> iName;
  TModBuf16<KSmsNumberLength> iNumber;
  DWORD iFlags = 0;  // bit n: part n already sent to this address
};
