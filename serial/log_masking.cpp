#include "serial/log_masking.h"

#include "kernel/log.h"

bool BytesCarrySimCode(const void* aData, int aLength) {
  static const char KCommand[] = "+CPIN=";
  const int commandLength = 6;
  const unsigned char* bytes = static_cast<const unsigned char*>(aData);
  for (int start = 0; start + commandLength <= aLength; ++start) {
    int i = 0;
    while (i < commandLength) {
      unsigned char c = bytes[start + i];
      if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
      if (c != static_cast<unsigned char>(KCommand[i])) break;
      ++i;
    }
    if (i == commandLength) return true;
  }
  return false;
}

