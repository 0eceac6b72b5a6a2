// The status queries. Each reply is kept whole and read afterwards, so that
// the shapes phones give are read in one place (status_replies.cpp).
#include "kernel/log.h"
#include "phone/mobile_phone.h"

namespace {

// Some phones answer "AT+CPIN?" without a final result: its reply is taken
// after this much silence instead of the usual wait.
const int KSimQueryTimeout = 5000;

bool StatusLineStarts(const TDesc16& aText, const char16_t* aPrefix) {
  int i = 0;
  for (; aPrefix[i]; ++i)
    if (i >= aText.Length() || aText[i] != aPrefix[i]) return false;
  return true;
}

bool IsRefusal(int aResult) { return aResult == KReplyError || aResult >= KReplyCmsError; }

}  // namespace

bool CMobilePhoneBase::CollectStatusLine(const TDesc16& aLine) {
  if (aLine.Length() == 2 && StatusLineStarts(aLine, u"OK")) return false;
  if (aLine.Length() == 5 && StatusLineStarts(aLine, u"ERROR")) return false;
  if (StatusLineStarts(aLine, u"+CME ERROR") || StatusLineStarts(aLine, u"+CMS ERROR") || IsIndicationLine(aLine)) return false;
  if (StatusLineStarts(aLine, u"AT") || StatusLineStarts(aLine, u"at")) return true;  // the echo
  if (iStatusReply.Length() + aLine.Length() + 1 > iStatusReply.MaxLength()) return true;
  if (iStatusReply.Length() > 0) iStatusReply.Append(static_cast<TText16>(u'\n'));
  iStatusReply.Append(aLine);
  return true;
}

int CMobilePhoneBase::StatusQuery(const TText16* aCommand, int aTimeoutMs) {
  iStatusReply.Zero();
  int saved = iReplyTimeout;
  if (aTimeoutMs < iReplyTimeout) iReplyTimeout = aTimeoutMs;
  int r = SendAndWait(EStateStatus, TConstPtr16(aCommand));
  iReplyTimeout = saved;
  LogMessage(KLogFilePath, u"CMobilePhoneBase::StatusQuery %1!s! = %2!d!", aCommand, r);
  return r;
}

int CMobilePhoneBase::ReadPhoneStatus(TPhoneStatus& aStatus) {
  aStatus = TPhoneStatus();
  int r = EstablishConnection();
  if (r != 0) return r;
  struct TQuery {
    const TText16* iCommand;
    int iTimeout;
  };
  static const TQuery KQueries[] = {
      {u"AT+CGMI", KReplyTimeout}, {u"AT+CGMM", KReplyTimeout},  {u"AT+CGMR", KReplyTimeout},
      {u"AT+CGSN", KReplyTimeout}, {u"AT+CPIN?", KSimQueryTimeout}, {u"AT+COPS?", KReplyTimeout},
      {u"AT+CREG?", KReplyTimeout}, {u"AT+CEREG?", KReplyTimeout}, {u"AT+CSQ", KReplyTimeout},
      {u"AT+CBC", KReplyTimeout},  {u"AT+CPMS?", KReplyTimeout},
  };
  for (int i = 0; i < static_cast<int>(sizeof KQueries / sizeof KQueries[0]); ++i) {
    r = StatusQuery(KQueries[i].iCommand, KQueries[i].iTimeout);
    bool simQuery = i == 4;
    if (simQuery && r >= KReplyCmeError) {
      SimStateFromError(r - KReplyCmeError, aStatus);
      continue;
    }
    if (IsRefusal(r)) continue;
    // A SIM state given without the final result that should follow it.
    if (simQuery && r == KErrTimedOut && iStatusReply.Length() > 0) r = KReplyOk;
    if (r != KReplyOk && r != 0) {
      NotifyOperationFinished();
      return r;
    }
    switch (i) {
      case 0:
        ParseIdentityReply(iStatusReply, aStatus.iMaker);
        break;
      case 1:
        ParseIdentityReply(iStatusReply, aStatus.iModel);
        break;
      case 2:
        ParseIdentityReply(iStatusReply, aStatus.iFirmware);
        break;
      case 3:
        ParseImeiReply(iStatusReply, aStatus.iImei);
        break;
      case 4:
        ParseSimReply(iStatusReply, aStatus);
        break;
      case 5:
        ParseOperatorReply(iStatusReply, iCharsetUcs2 != 0, aStatus);
        break;
      case 6:
      case 7:
        ParseRegistrationReply(iStatusReply, aStatus);
        break;
      case 8:
        ParseSignalReply(iStatusReply, aStatus);
        break;
      case 9:
        ParseBatteryReply(iStatusReply, aStatus);
        break;
      default:
        ParseStorageReply(iStatusReply, aStatus);
        break;
    }
  }
  NotifyOperationFinished();
  return 0;
}
