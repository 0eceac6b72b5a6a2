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
  iRoutesMessages = 0;
  iAcksOwed = 0;
  for (int& offered : iIndicationValues) offered = 0;
  int r = DoSendAndWait(EStateIndications, TConstPtr16(u"AT+CNMI=?"));
  if (r < 0) return r;
  if (r != KReplyOk) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::EnableNewMessageIndications - no AT+CNMI %1!d!", r);
    return KReplyNotAnnouncing;
  }
  // A parameter the reply did not describe is taken as offering everything.
  int offered[KIndicationParameters];
  for (int i = 0; i < KIndicationParameters; ++i) offered[i] = iIndicationValues[i] != 0 ? iIndicationValues[i] : ~0;
  // Mode 2 keeps announcements back while a command is under way; mt 1
  // announces stored messages, mt 3 too (but routes class 3), mt 2 routes
  // every message whole; ds 2 stores reports and announces them, ds 1 routes
  // them. Each pair of mode and mt is tried in that order, first with the
  // other values and then without them (some phones refuse a buffer value).
  const int modes[] = {2, 1, 3};
  const int deliveries[] = {1, 3, 2};
  const int reports = Choose(offered[3], {2, 1, 0});
  const int broadcasts = Choose(offered[2], {0});
  const int buffer = Choose(offered[4], {0});
  for (int mt : deliveries) {
    if (!(offered[1] & (1 << mt))) continue;
    for (int mode : modes) {
      if (!(offered[0] & (1 << mode))) continue;
      const int full[KIndicationParameters] = {mode, mt, broadcasts, reports, buffer};
      const int bare[KIndicationParameters] = {mode, mt, -1, -1, -1};
      for (const int* values : {full, bare}) {
        if (values == bare && broadcasts < 0 && reports < 0 && buffer < 0) continue;
        r = RequestIndications(values);
        if (r < 0) return r;
        if (r == KReplyOk) {
          iRoutesMessages = mt == 2 ? 1 : 0;
          if (iRoutesMessages) {
            // Routed messages may need an acknowledgement, as the message
            // service says; a phone that does not tell needs none.
            iMessageService = 0;
            r = DoSendAndWait(EStateSmsService, TConstPtr16(u"AT+CSMS?"));
            if (r < 0) return r;
            LogMessage(KLogFilePath, u"CMobilePhoneBase::EnableNewMessageIndications - routed, service %1!d!",
                       iMessageService);
          }
          return KReplyOk;
        }
        LogMessage(KLogFilePath, u"CMobilePhoneBase::EnableNewMessageIndications - refused %1!d!", r);
      }
    }
  }
  LogMessage(KLogFilePath, u"CMobilePhoneBase::EnableNewMessageIndications - the phone does not announce messages");
  return KReplyNotAnnouncing;
}

int CMobilePhoneBase::RequestIndications(const int aValues[KIndicationParameters]) {
  iCommandBuffer.Copy(u"AT+CNMI=");
  int last = KIndicationParameters - 1;
  while (last > 0 && aValues[last] < 0) --last;
  for (int i = 0; i <= last; ++i) {
    if (i > 0) iCommandBuffer.Append(u',');
    if (aValues[i] >= 0) iCommandBuffer.AppendNum(aValues[i]);
  }
  TModBuf16<KCommandLength + 1> text(iCommandBuffer);
  LogMessage(KLogFilePath, u"CMobilePhoneBase::EnableNewMessageIndications - %1!s!", text.PtrZ());
  return DoSendAndWait(EStateConnect, iCommandBuffer);
}

int CMobilePhoneBase::AcknowledgeRouted() {
  int r = KReplyOk;
  while (iAcksOwed > 0) {
    --iAcksOwed;
    r = DoSendAndWait(EStateConnect, TConstPtr16(u"AT+CNMA"));
    if (r < 0) return r;
    if (r != KReplyOk) LogMessage(KLogFilePath, u"CMobilePhoneBase::AcknowledgeRouted - refused %1!d!", r);
  }
  return r;
}

int CMobilePhoneBase::ResetModem() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::ResetModem");
  return DoSendAndWait(EStateConnect, TConstPtr16(u"AT+CFUN=1,1"));
}

int CMobilePhoneBase::WaitForIndication(int aQuietMs) {
  // A message routed while another command was out is acknowledged first.
  int acked = AcknowledgeRouted();
  if (acked < 0) return acked;
  iResponseState = EStateListening;
  iSilenceTimer->Start(aQuietMs);
  // Lines already received (an announcement that came with the last reply)
  // are looked at first.
  int result = ProcessResponse();
  if (result == 0) result = iCommunicator->Wait();
  iSilenceTimer->Stop();
  iResponseState = EStateIdle;
  if (result == KReplyIndication) {
    acked = AcknowledgeRouted();
    if (acked < 0) return acked;
  }
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
