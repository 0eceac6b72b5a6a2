// Connecting to the phone, identifying it and reading its settings.
#include "kernel/log.h"
#include "phone/mobile_phone.h"

namespace {

const int KConnectRetries = 3;
const int KCapabilityResetWithAtz = 0x1000;

bool ContainsEricsson(const TDesc16& aModemId) {
  static const char16_t KMaker[] = u"ERICSSON";
  const int makerLength = 8;
  for (int start = 0; start + makerLength <= aModemId.Length(); ++start) {
    int i = 0;
    while (i < makerLength) {
      TText16 c = aModemId[start + i];
      if (c >= u'a' && c <= u'z') c = static_cast<TText16>(c - u'a' + u'A');
      if (c != KMaker[i]) break;
      ++i;
    }
    if (i == makerLength) return true;
  }
  return false;
}

}  // namespace

int CMobilePhoneBase::EstablishConnection() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::EstablishConnection");
  if (iCommunicator->ConnectionState() == KErrNone) {
    // Connected earlier in this action: two commands tell whether it still answers.
    iResponseState = EStateConnect;
    int r = TimedSendAndWait(TConstPtr16(u"ATE0"));
    if (r == KReplyOk) {
      Discard();
      r = TimedSendAndWait(TConstPtr16(u"AT+CMEE=1"));
    }
    iResponseState = EStateIdle;
    if (r != KErrTimedOut) return r < 0 ? r : 0;
    iCommunicator->ClosePort();
  }
  iCommunicator->EstablishConnectionL();
  int r = SendConnectString();
  if (r == 0) return 0;
  iCommunicator->ClosePort();
  Discard();
  iObserver->WiggleCallBack();
  return r;
}

int CMobilePhoneBase::SendConnectString() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString");
  iResponseState = EStateConnect;
  NotifyOperationStarting();

  iCommunicator->SetRetryBudget(KConnectRetries);
  int r = TimedSendAndWait(TConstPtr16(u"AT"));
  iCommunicator->SetRetryBudget(0);

  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - Sending KAtz or KAtF");
  if (r == KReplyOk)
    r = TimedSendAndWait(TConstPtr16(Capabilities() & KCapabilityResetWithAtz ? u"ATZ" : u"AT&F"));
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - Sending wakeup string");
  if (r == KReplyOk) r = SendWakeupString();
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - Sending KAte0");
  if (r == KReplyOk) r = TimedSendAndWait(TConstPtr16(u"ATE0"));
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - Suckup unused phone response");
  Discard();
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - Set error reporting");
  if (r == KReplyOk) r = TimedSendAndWait(TConstPtr16(u"AT+CMEE=1"));
  // A SIM that is locked, absent or failed ends the connect here.
  if (r == KReplyOk) r = UnlockSim();

  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - Do char set");
  if (r >= 0) r = SelectCharacterSet();

  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - phone settings");
  if (r >= 0) {
    iPhoneSettings.ModemId.Zero();
    for (int index = 0;; ++index) {
      LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - check identity");
      const TText16* command = IdentityCommand(index);
      if (!command) {
        r = KErrNotIdentified;
        break;
      }
      r = SendAndWait(EStateIdentity, TConstPtr16(command));
      if ((r == 0 || r == KReplyOk) && iPhoneSettings.ModemId.Length() > 0) {
        r = KReplyOk;
        break;
      }
      if (r < 0) break;
    }
  }

  iIsEricssonPhone = ContainsEricsson(iPhoneSettings.ModemId) ? 1 : 0;
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString iIsEricssonPhone = %1!d!", iIsEricssonPhone);
  if (r == KReplyOk) r = ReadHomeNetwork();
  if (r == KReplyOk) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - PhoneDiscovered");
    iObserver->PhoneDiscovered(iPhoneSettings.ModemId);
    LoadATCommandSetL();
    r = 0;
  }
  iResponseState = EStateIdle;
  NotifyOperationFinished();
  return r;
}

int CMobilePhoneBase::SelectCharacterSet() {
  iCharset8859 = 0;
  iCharsetUcs2 = 0;
  iUcs2Offered = 0;
  iNameShape = ENameShapeUnknown;
  // Names in every script need UCS2; a phone that lists it is asked for it first.
  int r = SendAndWait(EStateCharsets, TConstPtr16(u"AT+CSCS=?"));
  if (r < 0) return r;
  if (iUcs2Offered) {
    r = SendAndWait(EStateConnect, TConstPtr16(u"AT+CSCS=\"UCS2\""));
    if (r == KReplyOk) {
      iCharsetUcs2 = 1;
      LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - names in UCS2");
      return r;
    }
    if (r < 0) return r;
    LogMessage(KLogFilePath, u"CMobilePhoneBase::SendConnectString - UCS2 refused");
  }
  r = SendAndWait(EStateConnect, TConstPtr16(u"AT+CSCS=\"8859-1\""));
  if (r == KReplyOk)
    iCharset8859 = 1;
  else if (r >= 0)
    r = SendAndWait(EStateConnect, TConstPtr16(u"AT+CSCS=\"GSM\""));
  return r;
}

int CMobilePhoneBase::SendWakeupString() { return KReplyOk; }

const TText16* CMobilePhoneBase::IdentityCommand(int aIndex) {
  static const TText16* const KCommands[] = {u"AT+GMM", u"AT+CGMM", u"ATI3", u"ATI"};
  return aIndex >= 0 && aIndex < 4 ? KCommands[aIndex] : nullptr;
}

void CMobilePhoneBase::SetModemId(const TDesc16& aText) {
  iPhoneSettings.ModemId.Copy(aText.Ptr(), aText.Length() < KModemIdLength ? aText.Length() : KModemIdLength);
}

int CMobilePhoneBase::ReadPhoneSettings() {
  int r = EstablishConnection();
  if (r != 0) return r;
  iPhoneSettings.BatteryState = -1;
  iPhoneSettings.PowerSource = -1;
  iPhoneSettings.SignalStrength = -1;
  iPhoneSettings.IMEI.Zero();
  // An ERROR to one query leaves its value unknown and goes on.
  r = SendAndWait(EStateBattery, TConstPtr16(u"AT+CBC"));
  if (r == KReplyOk || r == KReplyError) r = SendAndWait(EStateSignal, TConstPtr16(u"AT+CSQ"));
  if (r == KReplyOk || r == KReplyError) r = SendAndWait(EStateImei, TConstPtr16(u"AT+CGSN"));
  if (r == KReplyOk || r == KReplyError) r = ProbePhoneBookStores();
  NotifyOperationFinished();
  PhoneSettingsRead(iPhoneSettings);
  iObserver->CorrectPhoneSettings(iPhoneSettings);
  return r;
}

int CMobilePhoneBase::ProbePhoneBookStores() {
  for (int store = EPhoneMemory; store <= EFixedDialling; ++store) {
    int r = ChangePhoneStore(store);
    iPhoneSettings.MemoryValues[store].NotAvailable = r == KReplyError ? 1 : 0;
    if (r != KReplyOk && r != KReplyError) return r;
  }
  return KReplyOk;
}
