// The plain records the AT layer fills and hands to the engine: phone book
// limits, the phone's settings, phone book entries and SMS list headers.
#pragma once

#include <cstdint>

#include "kernel/descriptors.h"

// Phone book stores, also the index into TPhoneSettings::MemoryValues.
enum TPhoneBookStore {
  EPhoneMemory = 0,  // "ME"
  ESimCard = 1,      // "SM"
  EFixedDialling = 2,  // "FD"
};
inline constexpr int KPhoneBookStores = 3;

// The limits of one phone book store, as the phone reports them to "AT+CPBR=?".
struct TPhoneMemory {
  int16_t MemLow = 1;
  int16_t MemHigh = 90;
  int16_t MaxName = 14;
  int16_t MaxNumber = 20;
  int16_t NotAvailable = 0;  // selecting the store was refused
};

inline constexpr int KModemIdLength = 128;
inline constexpr int KWelcomeLength = 48;
inline constexpr int KImeiLength = 32;
inline constexpr int KSettingsNumberLength = 40;

// What the engine shows as the phone's settings; copied as a whole.
struct TPhoneSettings {
  TPhoneMemory MemoryValues[KPhoneBookStores];
  TModBuf16<KModemIdLength> ModemId;
  TModBuf16<KWelcomeLength> Welcome;
  TModBuf16<KImeiLength> IMEI;
  int WelcomeOn = 0;
  int BatteryState = 0;    // percent, -1 when not reported
  int PowerSource = 0;     // the phone's code, -1 when not reported
  int SignalStrength = 0;  // percent, -1 when not reported
  TModBuf16<KSettingsNumberLength> SmsCentreNumber;
  TModBuf16<KSettingsNumberLength> EmailSmsNumber;
};

inline constexpr int KEntryNameLength = 40;
inline constexpr int KEntryNumberLength = 32;

// One phone book entry; name and number are laid out like a TSmsAddress.
struct TPhoneBookEntry {
  TModBuf16<KEntryNameLength> iName;
  TModBuf16<KEntryNumberLength> iNumber;
  int16_t iLocation = -1;  // -1: none
};

// The header of one listed or read message.
struct TSmsListEntry {
  int32_t iIndex = 0;   // location on the phone
  int32_t iStatus = 0;  // 0 unread, 1 read, 2 stored unsent, 3 stored sent
  int32_t iThird = 0;   // the header's third field
};
