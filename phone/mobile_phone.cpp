// Construction, the command/reply round trip and the communicator's reports.
#include "phone/mobile_phone.h"

#include "kernel/log.h"
#include "phone/silence_timer.h"

namespace {
const int KSmsIndexGranularity = 4;
}

CMobilePhoneBase::CMobilePhoneBase(MMobilePhoneObserver* aObserver)
    : iObserver(aObserver), iReplyTimeout(KReplyTimeout), iPduReplyTimeout(KPduReplyTimeout), iLastMessageReference(-1) {
  SetClassName(u"CMobilePhoneBase");
  iMemoryNames[0].Copy(u"ME");
  iMemoryNames[1].Copy(u"SM");
}

CMobilePhoneBase* CMobilePhoneBase::NewL(MMobilePhoneObserver* aObserver) {
  CMobilePhoneBase* self = new CMobilePhoneBase(aObserver);
  if (!self) return nullptr;
  if (self->ConstructL() != KErrNone) {
    delete self;
    return nullptr;
  }
  return self;
}

int CMobilePhoneBase::ConstructL() {
  iSmsIndexList = new CArrayFixFlat<TSmsListEntry>(KSmsIndexGranularity);
  if (!iSmsIndexList) return KErrNoMemory;
  iCommunicator = CCommunicator::NewL(this);
  if (!iCommunicator) return KErrNoMemory;
  iSilenceTimer = CSilenceTimer::NewL(TCommCallBack{SilenceCallBack, this});
  if (!iSilenceTimer) return KErrNoMemory;
  return KErrNone;
}

CMobilePhoneBase::~CMobilePhoneBase() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::~CMobilePhoneBase");
  // Ended inside a send (the user's cancel ends the engine thread in a
  // wait): the phone may hold its prompt open for the message text and would
  // take the next session's commands for it. Escape abandons the message.
  if (iCommunicator && (iResponseState == EStateSmsLength || iResponseState == EStateSmsPdu)) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::~CMobilePhoneBase - abandoning the message being sent");
    static const TText8 KEscape[] = {27};
    iCommunicator->WriteAtOnce(TConstPtr8(KEscape, 1));
  }
  delete iSilenceTimer;
  delete iCommunicator;
  delete iSmsIndexList;
}

int CMobilePhoneBase::Capabilities() { return KPhoneCapabilities; }

void CMobilePhoneBase::PhoneSettingsRead(const TPhoneSettings&) {}

void CMobilePhoneBase::LoadATCommandSetL() { LogMessage(KLogFilePath, u"CMobilePhoneBase::LoadATCommandSetL"); }

void CMobilePhoneBase::NotifyOperationStarting() { iObserver->OperationStarting(); }

void CMobilePhoneBase::NotifyOperationFinished() { iObserver->OperationFinished(); }

void CMobilePhoneBase::StopWaiting() { iCommunicator->Stop(1); }

int CMobilePhoneBase::SendAndWait(int aState, const TDesc16& aCommand) { return DoSendAndWait(aState, aCommand); }

int CMobilePhoneBase::DoSendAndWait(int aState, const TDesc16& aCommand) {
  iResponseState = aState;
  int result = TimedSendAndWait(aCommand);
  iResponseState = EStateIdle;
  return result;
}

int CMobilePhoneBase::TimedSendAndWait(const TDesc16& aCommand) {
  iSilenceTimer->Start(iResponseState == EStateSmsPdu ? iPduReplyTimeout : iReplyTimeout);
  int result = iCommunicator->SendAndWait(aCommand);
  iSilenceTimer->Stop();
  return result;
}

int CMobilePhoneBase::TimedWait() {
  iSilenceTimer->Start(iReplyTimeout);
  int result = iCommunicator->Wait();
  iSilenceTimer->Stop();
  return result;
}

int CMobilePhoneBase::SilenceCallBack(void* aThis) {
  CMobilePhoneBase* self = static_cast<CMobilePhoneBase*>(aThis);
  LogMessage(KLogFilePath, u"CMobilePhoneBase - the phone fell silent in state %1!d!", self->iResponseState);
  self->iCommunicator->Stop(KErrTimedOut);
  return 0;
}

// What is sent is shown as it went, but for the SIM's PIN.
static void ShownCommand(TModDesc16& aText, const TDesc8& aData) {
  aText.Copy(aData);
  if (CarriesSimCode(aText)) aText.Copy(KMaskedPinCommand);
}

void CMobilePhoneBase::TransmitStarted(const TDesc8& aData) {
  TModBuf16<CCommunicator::KTextMax> text;
  ShownCommand(text, aData);
  iObserver->DataSending(text);
}

void CMobilePhoneBase::TransmitComplete(const TDesc8& aData, int aResult) {
  TModBuf16<CCommunicator::KTextMax> text;
  ShownCommand(text, aData);
  iObserver->DataSent(text, aResult);
}

void CMobilePhoneBase::StripLeadingSpaces(TModDesc16& aText) {
  int count = 0;
  while (count < aText.Length() && aText[count] == u' ') ++count;
  aText.Delete(0, count);
}
