// At connect: what the SIM needs, and its PIN when it needs one.
#include "phone/sim_pin.h"

#include "kernel/errors.h"
#include "kernel/log.h"
#include "phone/at_argument.h"
#include "phone/mobile_phone.h"

namespace {

// A phone that answers "AT+CPIN?" without a final OK is not waited for longer than this.
const int KPinQueryTimeout = 3000;
const int KCmeSimAbsent = 10;
const int KCmePinRequired = 11;
const int KCmePukRequired = 12;
const int KCmeSimFailure = 13;
const int KCmeSimBusy = 14;
const int KCmeSimWrong = 15;

TText16 UpperAscii(TText16 aChar) { return aChar >= u'a' && aChar <= u'z' ? static_cast<TText16>(aChar - 32) : aChar; }

bool SimTextIs(const TDesc16& aText, int aFrom, int aTo, const char16_t* aWord) {
  int i = 0;
  for (; aWord[i]; ++i)
    if (aFrom + i >= aTo || UpperAscii(aText[aFrom + i]) != aWord[i]) return false;
  return aFrom + i == aTo;
}

// The bounds of field aIndex of a comma-separated text, quotes and spaces trimmed.
bool SimField(const TDesc16& aText, int aStart, int aIndex, int& aFrom, int& aTo) {
  int pos = aStart;
  for (int field = 0; field < aIndex; ++field) {
    while (pos < aText.Length() && aText[pos] != u',') ++pos;
    if (pos >= aText.Length()) return false;
    ++pos;
  }
  int end = pos;
  while (end < aText.Length() && aText[end] != u',') ++end;
  while (pos < end && (aText[pos] == u' ' || aText[pos] == u'"')) ++pos;
  while (end > pos && (aText[end - 1] == u' ' || aText[end - 1] == u'"')) --end;
  aFrom = pos;
  aTo = end;
  return true;
}

int SimNumber(const TDesc16& aText, int aFrom, int aTo) {
  if (aFrom >= aTo || aTo - aFrom > 3) return KSimAttemptsUnknown;
  int value = 0;
  for (int i = aFrom; i < aTo; ++i) {
    if (aText[i] < u'0' || aText[i] > u'9') return KSimAttemptsUnknown;
    value = value * 10 + (aText[i] - u'0');
  }
  return value;
}

int AfterColon(const TDesc16& aLine) {
  int colon = aLine.Locate(u':');
  return colon < 0 ? aLine.Length() : colon + 1;
}

}  // namespace

bool IsWellFormedPin(const TDesc16& aPin) {
  if (aPin.Length() < KSimPinMinLength || aPin.Length() > KSimPinMaxLength) return false;
  for (int i = 0; i < aPin.Length(); ++i)
    if (aPin[i] < u'0' || aPin[i] > u'9') return false;
  return true;
}

bool CarriesSimCode(const TDesc16& aLine) {
  for (int i = 0; i + 6 <= aLine.Length(); ++i)
    if (SimTextIs(aLine, i, i + 6, u"+CPIN=")) return true;
  return false;
}

TSimState SimStateOfCode(const TDesc16& aCode) {
  int from = 0;
  int to = 0;
  if (!SimField(aCode, 0, 0, from, to)) return ESimUnknown;
  if (SimTextIs(aCode, from, to, u"READY")) return ESimReady;
  if (SimTextIs(aCode, from, to, u"SIM PIN")) return ESimPin;
  if (SimTextIs(aCode, from, to, u"SIM PUK")) return ESimPuk;
  // The second PIN guards only fixed dialling: the SIM is usable.
  if (SimTextIs(aCode, from, to, u"SIM PIN2") || SimTextIs(aCode, from, to, u"SIM PUK2")) return ESimReady;
  if (to - from >= 3 && SimTextIs(aCode, from, from + 3, u"PH-")) return ESimPhonePin;
  return ESimUnknown;
}

int PinAttemptsOfLine(const TDesc16& aLine) {
  int start = AfterColon(aLine);
  int from = 0;
  int to = 0;
  if (aLine.Length() > 0 && aLine[0] == u'^') {
    // Code, attempts of that code, PUK attempts, PIN attempts, ...
    if (!SimField(aLine, start, 3, from, to)) return KSimAttemptsUnknown;
    return SimNumber(aLine, from, to);
  }
  if (!SimField(aLine, start, 0, from, to) || !SimTextIs(aLine, from, to, u"SIM PIN")) return KSimAttemptsUnknown;
  if (!SimField(aLine, start, 1, from, to)) return KSimAttemptsUnknown;
  return SimNumber(aLine, from, to);
}

int CMobilePhoneBase::HandleSimLine(const TDesc16& aLine) {
  if (iResponseState != EStateSimPin) return 0;
  if (aLine.Length() > 0 && aLine[0] == u'^') {
    int attempts = PinAttemptsOfLine(aLine);
    if (attempts != KSimAttemptsUnknown) iSim.iAttemptsLeft = attempts;
    return 0;
  }
  int colon = AfterColon(aLine);
  if (colon - 1 == 5) {  // "+CPIN:"
    iSim.iState = SimStateOfCode(aLine.Mid(colon));
    return 0;
  }
  int attempts = PinAttemptsOfLine(aLine);
  if (attempts != KSimAttemptsUnknown) iSim.iAttemptsLeft = attempts;
  return 0;
}

int CMobilePhoneBase::QuerySimState() {
  iSim.iState = ESimUnknown;
  int saved = iReplyTimeout;
  if (iReplyTimeout > KPinQueryTimeout) iReplyTimeout = KPinQueryTimeout;
  int r = SendAndWait(EStateSimPin, TConstPtr16(u"AT+CPIN?"));
  iReplyTimeout = saved;
  // The state line came but no final result: the phone's habit, not a fault.
  if (r == KErrTimedOut && iSim.iState != ESimUnknown) {
    Discard();
    return KReplyOk;
  }
  if (r == KReplyCmeError + KCmeSimAbsent) iSim.iState = ESimAbsent;
  if (r == KReplyCmeError + KCmeSimFailure || r == KReplyCmeError + KCmeSimWrong) iSim.iState = ESimFailure;
  if (r == KReplyCmeError + KCmePinRequired) iSim.iState = ESimPin;
  if (r == KReplyCmeError + KCmePukRequired) iSim.iState = ESimPuk;
  if (r < 0) return r;
  return KReplyOk;
}

void CMobilePhoneBase::QueryPinAttempts() {
  iSim.iAttemptsLeft = KSimAttemptsUnknown;
  int r = SendAndWait(EStateSimPin, TConstPtr16(u"AT+CPINR=\"SIM PIN\""));
  if (r >= 0 && iSim.iAttemptsLeft == KSimAttemptsUnknown) SendAndWait(EStateSimPin, TConstPtr16(u"AT^CPIN?"));
}

int CMobilePhoneBase::UnlockSim() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::UnlockSim");
  int r = DoUnlockSim();
  iSim.iLastResult = r == KReplyOk ? 0 : r;
  return r;
}

int CMobilePhoneBase::DoUnlockSim() {
  int r = QuerySimState();
  if (r < 0) return r;
  for (;;) {
    switch (iSim.iState) {
      case ESimUnknown:
      case ESimReady:
        return KReplyOk;
      case ESimPuk:
        return KErrSimPukNeeded;
      case ESimPhonePin:
      case ESimOtherLock:
        return KErrSimPhoneLocked;
      case ESimAbsent:
        return KErrSimAbsent;
      case ESimFailure:
        return KErrSimFailure;
      case ESimPin:
        break;
    }
    QueryPinAttempts();
    TSimPin pin;
    // The same refused PIN is not sent again: the user is asked for another.
    for (;;) {
      pin.Zero();
      if (iObserver->SimPinRequested(iSim.iAttemptsLeft, iSim.iRefused, pin) != KErrNone)
        return iSim.iRefused ? KErrSimPinRefused : KErrSimPinNeeded;
      if (!IsWellFormedPin(pin)) return KErrSimPinMalformed;
      if (!(iSim.iRefused && pin.Compare(iSim.iRefusedPin) == 0)) break;
      LogMessage(KLogFilePath, u"CMobilePhoneBase::UnlockSim - the PIN given was refused before; not sent");
    }
    TModBuf16<32> command(TConstPtr16(u"AT+CPIN="));
    AppendQuotedArgument(command, pin);
    LogMessage(KLogFilePath, u"CMobilePhoneBase::UnlockSim - sending %1!s!", KMaskedPinCommand);
    r = SendAndWait(EStateSimPin, command);
    command.FillZ();
    if (r == KReplyOk) {
      pin.FillZ();
      iSim.iRefused = false;
      iSim.iState = ESimReady;
      return KReplyOk;
    }
    if (r == KReplyCmeError + KCmeSimBusy) return KErrSimFailure;
    if (r < 0) return r;
    // Refused (an incorrect password, or a plain ERROR): kept so that it is
    // never sent again on its own.
    LogMessage(KLogFilePath, u"CMobilePhoneBase::UnlockSim - the SIM refused the PIN (%1!d!)", r);
    iSim.iRefused = true;
    iSim.iRefusedPin.Copy(pin);
    pin.FillZ();
    r = QuerySimState();
    if (r < 0) return r;
  }
}
