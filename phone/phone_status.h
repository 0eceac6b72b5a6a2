// The phone's status as a user or a script asks for it: who made it, its
// SIM, network, signal, battery and message store. A field the phone did not
// give stays unknown (empty text, KStatusUnknown, the enumeration's unknown).
#pragma once

#include "kernel/descriptors.h"

inline constexpr int KStatusUnknown = -1;
inline constexpr int KStatusTextLength = 64;
inline constexpr int KStatusMemoryLength = 8;
inline constexpr int KStatusMemories = 3;  // read, write, receive

enum TSimState {
  ESimUnknown = 0,
  ESimReady,
  ESimPin,        // "SIM PIN"
  ESimPuk,        // "SIM PUK"
  ESimPhonePin,   // "PH-SIM PIN": the phone is locked to another SIM
  ESimOtherLock,  // another code wanted ("SIM PIN2", "PH-NET PIN", ...)
  ESimAbsent,
  ESimFailure,
};

enum TRegistration {
  ERegUnknown = 0,
  ERegNotRegistered,  // not searching
  ERegHome,
  ERegRoaming,
  ERegSearching,
  ERegDenied,
};

enum TPowerSource {
  EPowerUnknown = 0,
  EPowerBattery,   // running on its battery
  EPowerExternal,  // on a charger or mains (the battery may be charging)
  EPowerNoBattery,
  EPowerFault,
};

struct TStoreStatus {
  TModBuf16<KStatusMemoryLength> iMemory;  // "SM", "ME", "MT"; empty when not named
  int iUsed = KStatusUnknown;
  int iSize = KStatusUnknown;
};

struct TPhoneStatus {
  TModBuf16<KStatusTextLength> iMaker;
  TModBuf16<KStatusTextLength> iModel;
  TModBuf16<KStatusTextLength> iFirmware;
  TModBuf16<KStatusTextLength> iImei;
  TSimState iSim = ESimUnknown;
  // The phone's own words for a state it named that has no value above.
  TModBuf16<KStatusTextLength> iSimText;
  TModBuf16<KStatusTextLength> iOperator;
  TRegistration iRegistration = ERegUnknown;
  int iSignalDbm = 0;  // 0 when unknown (a real signal is -51 dBm or below)
  int iSignalBars = KStatusUnknown;  // 0..KSignalBars
  int iBatteryPercent = KStatusUnknown;
  TPowerSource iPower = EPowerUnknown;
  TStoreStatus iStores[KStatusMemories];
};

inline constexpr int KSignalBars = 4;

// The parsers of the replies, each given the information lines of one reply
// (final result and echo left out) joined by line feeds. Each fills only
// what the reply says, and leaves the rest as it was.

// "+CGMI: X", "+GMM: X", "Manufacturer: X", "Revision: X", a quoted or bare
// line: the first line with text, cut to the field's length.
void ParseIdentityReply(const TDesc16& aReply, TModDesc16& aOut);
// Only 14 to 17 digits are taken (quoted, prefixed or bare).
void ParseImeiReply(const TDesc16& aReply, TModDesc16& aOut);
// "+CPIN: READY", "+CPIN: SIM PIN", ... ; also a bare "READY".
void ParseSimReply(const TDesc16& aReply, TPhoneStatus& aStatus);
// The SIM state an error to "AT+CPIN?" tells (+CME ERROR 10, 13, ...).
void SimStateFromError(int aCmeError, TPhoneStatus& aStatus);
// "+COPS: 0,0,"Name",7"; a name in UCS2 hexadecimal is decoded when aUcs2.
void ParseOperatorReply(const TDesc16& aReply, bool aUcs2, TPhoneStatus& aStatus);
// "+CREG: n,stat[,...]", "+CEREG: ...", "+CGREG: ...": the best registration
// of those given, and of what aStatus holds already.
void ParseRegistrationReply(const TDesc16& aReply, TPhoneStatus& aStatus);
// "+CSQ: rssi,ber": dBm and bars.
void ParseSignalReply(const TDesc16& aReply, TPhoneStatus& aStatus);
// "+CBC: bcs,bcl[,mV]".
void ParseBatteryReply(const TDesc16& aReply, TPhoneStatus& aStatus);
// "+CPMS: "SM",3,30,"SM",3,30,"SM",3,30" or without the names.
void ParseStorageReply(const TDesc16& aReply, TPhoneStatus& aStatus);
// Whether the reply to "AT+CMGF=?" or "AT+CSMS?" shows the message service.
bool ParseSmsSupportReply(const TDesc16& aReply);
