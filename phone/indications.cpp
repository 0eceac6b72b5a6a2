// Listening: the phone announces new messages and status reports ("AT+CNMI"),
// the engine waits for the announcements and reads what they name.
#include "kernel/log.h"
#include "phone/at_argument.h"
#include "phone/mobile_phone.h"
#include "phone/silence_timer.h"

namespace {

const int KIndicationParameters = 5;
const int KMaxIndicationValue = 9;

// The value to ask for among those offered: the first of aPreferred that is
// offered, or -1 (the parameter is left out).
int Choose(int aOffered, std::initializer_list<int> aPreferred) {
  for (int value : aPreferred)
    if (aOffered & (1 << value)) return value;
  return -1;
}

}  // namespace

// "+CNMI: (0-2),(0-3),(0,2),(0-2),(0,1)", also without the parentheses.
int CMobilePhoneBase::HandleCnmi(TModDesc16& aLine) {
  if (iResponseState != EStateIndications) return 0;
  int parameter = 0;
  bool inGroup = false;
  int low = -1;
  int value = -1;
  auto offer = [&](int aFrom, int aTo) {
    if (parameter >= KIndicationParameters || aTo < 0) return;
    if (aFrom < 0) aFrom = aTo;
    for (int v = aFrom; v <= aTo && v <= KMaxIndicationValue; ++v) iIndicationValues[parameter] |= 1 << v;
  };
  for (int pos = 7; pos < aLine.Length(); ++pos) {
    TText16 c = aLine[pos];
    if (c >= u'0' && c <= u'9') {
      value = (value < 0 ? 0 : value) * 10 + (c - u'0');
      if (value > KMaxIndicationValue) value = KMaxIndicationValue + 1;
    } else if (c == u'-') {
      low = value;
      value = -1;
    } else if (c == u'(') {
      inGroup = true;
    } else if (c == u')' || c == u',') {
      offer(low, value);
      low = value = -1;
      if (c == u')') inGroup = false;
      if (c == u',' && !inGroup) ++parameter;
    }
  }
  offer(low, value);
  return 0;
}

int CMobilePhoneBase::EnableNewMessageIndications() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::EnableNewMessageIndications");
  for (int& offered : iIndicationValues) offered = 0;
  int r = DoSendAndWait(EStateIndications, TConstPtr16(u"AT+CNMI=?"));
  if (r < 0) return r;
  // A parameter the reply did not describe is taken as offering everything.
  int offered[KIndicationParameters];
  for (int i = 0; i < KIndicationParameters; ++i) offered[i] = iIndicationValues[i] != 0 ? iIndicationValues[i] : ~0;
  // Mode 2 keeps announcements back while a command is under way; mt 1
  // announces stored messages; ds 2 stores reports and announces them. A
  // report or message routed whole (mt 2 or 3, ds 1) would come as a bare
  // PDU line, so those are never asked for.
  const int chosen[KIndicationParameters] = {Choose(offered[0], {2, 1, 3}), Choose(offered[1], {1}),
                                             Choose(offered[2], {0}), Choose(offered[3], {2, 0}),
                                             Choose(offered[4], {0})};
  if (chosen[1] < 0) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::EnableNewMessageIndications - the phone does not announce messages");
    return KReplyNotAnnouncing;
  }
  iCommandBuffer.Copy(u"AT+CNMI=");
  int last = KIndicationParameters - 1;
  while (last > 0 && chosen[last] < 0) --last;
  for (int i = 0; i <= last; ++i) {
    if (i > 0) iCommandBuffer.Append(u',');
    if (chosen[i] >= 0) iCommandBuffer.AppendNum(chosen[i]);
  }
  TModBuf16<KCommandLength + 1> text(iCommandBuffer);
  LogMessage(KLogFilePath, u"CMobilePhoneBase::EnableNewMessageIndications - %1!s!", text.PtrZ());
  r = DoSendAndWait(EStateConnect, iCommandBuffer);
  if (r == KReplyOk || r < 0) return r;
  LogMessage(KLogFilePath, u"CMobilePhoneBase::EnableNewMessageIndications - refused %1!d!", r);
  return KReplyNotAnnouncing;
}

int CMobilePhoneBase::WaitForIndication(int aQuietMs) {
  iResponseState = EStateListening;
  iSilenceTimer->Start(aQuietMs);
  // Lines already received (an announcement that came with the last reply)
  // are looked at first.
  int result = ProcessResponse();
  if (result == 0) result = iCommunicator->Wait();
  iSilenceTimer->Stop();
  iResponseState = EStateIdle;
  return result;
}

void CMobilePhoneBase::EndListeningWait() {
  if (iResponseState == EStateListening) iSilenceTimer->Start(1);
}

void CMobilePhoneBase::Pause(int aMilliseconds) {
  iSilenceTimer->Start(aMilliseconds);
  iCommunicator->Wait();
  iSilenceTimer->Stop();
}

int CMobilePhoneBase::ReadSmsAt(const TDesc16& aMemory, int aIndex) {
  iSmsMemory.Copy(aMemory.Left(aMemory.Length() < iSmsMemory.MaxLength() ? aMemory.Length() : iSmsMemory.MaxLength()));
  iCommandBuffer.Copy(u"AT+CPMS=");
  // The memory name is the phone's own word from its announcement.
  int r = AppendQuotedArgument(iCommandBuffer, iSmsMemory);
  if (r != KErrNone) return r;
  r = DoSendAndWait(EStateSmsStoreSim, iCommandBuffer);
  if (r != KReplyOk) return r;
  iSmsListEntry = TSmsListEntry();
  iSmsListEntry.iIndex = aIndex;
  iCommandBuffer.Copy(u"AT+CMGR=");
  iCommandBuffer.AppendNum(aIndex);
  return DoSendAndWait(EStateSmsRead, iCommandBuffer);
}

int CMobilePhoneBase::DeleteSmsAt(const TDesc16& aMemory, int aIndex) {
  iCommandBuffer.Copy(u"AT+CPMS=");
  int r = AppendQuotedArgument(iCommandBuffer, aMemory.Left(aMemory.Length() < 16 ? aMemory.Length() : 16));
  if (r != KErrNone) return r;
  r = DoSendAndWait(EStateSmsStoreSim, iCommandBuffer);
  if (r != KReplyOk) return r;
  iCommandBuffer.Copy(u"AT+CMGD=");
  iCommandBuffer.AppendNum(aIndex);
  return DoSendAndWait(EStateSmsIndex, iCommandBuffer);
}
