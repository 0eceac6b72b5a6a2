// The phone's status and the port list in words, the same in the window and
// in korvanet-cli. Texts that came from the phone are returned as they are:
// each front end makes them safe for where it shows them.
#pragma once

#include <string>

#include "phone/phone_status.h"
#include "phone/port_probe.h"

std::u16string KvText(const TDesc16& aText);
// "ready", "SIM PIN", "no SIM", ...; "unknown" when not known.
std::u16string KvSimText(const TPhoneStatus& aStatus);
// "home", "roaming", "searching", "denied", "not registered", "unknown".
std::u16string KvRegistrationText(TRegistration aRegistration);
// "-73 dBm, 4 of 4 bars"; "unknown".
std::u16string KvSignalText(const TPhoneStatus& aStatus);
// "on battery", "on external power", "no battery", "power fault"; empty when unknown.
std::u16string KvPowerText(TPowerSource aPower);
// "85% (on battery)", "no battery", "unknown".
std::u16string KvBatteryText(const TPhoneStatus& aStatus);
// "SM 3 of 30 used" for each store the phone named, once each; "unknown".
std::u16string KvStorageText(const TPhoneStatus& aStatus);

// Every field on its own line ("Signal: -73 dBm, 4 of 4 bars"), for a
// box on the screen: the phone's control characters shown as U+FFFD.
std::u16string KvPhoneStatusText(const TPhoneStatus& aStatus);

// "free", "busy", "not permitted", "unusable".
std::u16string KvPortStateWord(const TPortReport& aReport);
// The state as the list says it: "free", "no answer", "busy (sleep, pid 12)",
// "not permitted", "unusable: ...".
std::u16string KvPortStateText(const TPortReport& aReport);
// What a user does about a port that is not permitted.
extern const char16_t KKvDialoutHint[];
