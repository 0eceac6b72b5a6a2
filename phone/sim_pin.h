// The SIM's state at connect and the exchange that unlocks it with a PIN.
#pragma once

#include "kernel/descriptors.h"
#include "phone/phone_status.h"

// What "AT+CPIN?" told.
// TSimState (ready, PIN, PUK, a lock of the phone, absent, failure) is the status's.

// Why a connect stopped at the SIM; nothing else was sent to the phone.
inline constexpr int KErrSimPinNeeded = -62;    // the user gave no PIN
inline constexpr int KErrSimPinRefused = -63;   // the SIM refused the PIN given
inline constexpr int KErrSimPukNeeded = -64;
inline constexpr int KErrSimPhoneLocked = -65;
inline constexpr int KErrSimAbsent = -66;
inline constexpr int KErrSimFailure = -67;
inline constexpr int KErrSimPinMalformed = -68;  // not 4 to 8 digits

inline constexpr int KSimPinMinLength = 4;
inline constexpr int KSimPinMaxLength = 8;
// The attempts left when the phone does not tell them.
inline constexpr int KSimAttemptsUnknown = -1;

typedef TModBuf16<KSimPinMaxLength> TSimPin;

// What the SIM exchange keeps for the session: a PIN the SIM refused is
// never sent again on its own.
struct TSimPinState {
  TSimState iState = ESimUnknown;
  int iAttemptsLeft = KSimAttemptsUnknown;
  TSimPin iRefusedPin;
  bool iRefused = false;  // a PIN was refused in this session
  int iLastResult = 0;
};

// 4 to 8 decimal digits.
bool IsWellFormedPin(const TDesc16& aPin);

// A command or echo line as it may be shown or logged: one that carries a
// code for the SIM is replaced by a masked form.
bool CarriesSimCode(const TDesc16& aLine);
inline constexpr char16_t KMaskedPinCommand[] = u"AT+CPIN=\"****\"";

// The state a "+CPIN: " reply's text names (after the colon and spaces).
TSimState SimStateOfCode(const TDesc16& aCode);
// The PIN attempts left in a "+CPINR: SIM PIN,3,3" or "^CPIN: code,n,puk,pin,..."
// line; KSimAttemptsUnknown when the line does not tell them.
int PinAttemptsOfLine(const TDesc16& aLine);
