// The receive side: received bytes to lines, lines to response codes, and
// the "+" reply handlers.
#include <climits>

#include "kernel/log.h"
#include "phone/mobile_phone.h"
#include "phone/silence_timer.h"

namespace {

const int KLongLine = 128;
const int KMaxWidenedBlock = 512;
const int KMaxErrorNumber = 0xFFFF;

bool StartsWith(const TDesc16& aText, const char16_t* aPrefix) {
  int i = 0;
  for (; aPrefix[i]; ++i)
    if (i >= aText.Length() || aText[i] != aPrefix[i]) return false;
  return true;
}

bool Equals(const TDesc16& aText, const char16_t* aOther) {
  return StartsWith(aText, aOther) && aText.Length() == static_cast<int>(std::char_traits<char16_t>::length(aOther));
}

// The text of aLine from aPos, empty when the line is shorter.
TConstPtr16 TextFrom(const TDesc16& aLine, int aPos) {
  return aPos < aLine.Length() ? aLine.Mid(aPos) : TConstPtr16(aLine.Ptr(), 0);
}

}  // namespace

bool IsIndicationLine(const TDesc16& aLine) {
  return StartsWith(aLine, u"+CMTI") || StartsWith(aLine, u"+CDSI") || StartsWith(aLine, u"+CDS:") ||
         StartsWith(aLine, u"+CMT:");
}

int CMobilePhoneBase::ProcessReceivedData(const TDesc8& aData, int aStatus) {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::ProcessReceivedData");
  if (aStatus != 0) return aStatus;
  if (iReceiveBuffer.Length() + aData.Length() > KReceiveBufferLength) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::ProcessReceivedData - ERROR overflow");
    return KErrOverflow;
  }
  // The observer may block while the engine reports; that is not the phone's silence.
  if (iSilenceTimer) iSilenceTimer->Hold();
  int count = aData.Length() < KMaxWidenedBlock ? aData.Length() : KMaxWidenedBlock;
  for (int i = 0; i < count; ++i) iReceiveBuffer.Append(static_cast<TText16>(aData[i]));
  int result = ProcessResponse();
  if (iSilenceTimer) iSilenceTimer->Touch();
  return result;
}

int CMobilePhoneBase::ProcessResponse() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::ProcessResponse State = %1!d!", iResponseState);
  iObserver->WiggleCallBack();
  for (;;) {
    int skip = 0;
    while (skip < iReceiveBuffer.Length() && (iReceiveBuffer[skip] == 13 || iReceiveBuffer[skip] == 10)) ++skip;
    iReceiveBuffer.Delete(0, skip);
    if (iReceiveBuffer.Length() == 0) return 0;
    if (iReceiveBuffer[0] == u'>' && iResponseState == EStateSmsLength) {
      iObserver->LineReceived(iReceiveBuffer, 0);
      iReceiveBuffer.Zero();
      return KReplyOk;
    }
    int end = iReceiveBuffer.Locate(13);
    if (end < 0) return 0;
    // A line longer than the line buffer is cut to its first part.
    iLineBuffer.Copy(iReceiveBuffer.Ptr(), end < KLineBufferLength ? end : KLineBufferLength);
    iReceiveBuffer.Delete(0, end);
    if (iLineBuffer.Length() == 0) continue;
    // An echo of the PIN is not shown.
    iObserver->LineReceived(CarriesSimCode(iLineBuffer)           ? TConstPtr16(KMaskedPinCommand)
                            : IsSubscriberIdentityLine(iLineBuffer) ? TConstPtr16(KMaskedSubscriberLine)
                                                                    : TConstPtr16(iLineBuffer),
                            0);
    // An announcement between two commands still counts.
    if (iResponseState != EStateIdle || IsIndicationLine(iLineBuffer) || iRoutedNext) {
      int result = ProcessLine(iLineBuffer);
      if (result != 0) return result;
    }
  }
}

int CMobilePhoneBase::ProcessLine(const TDesc16& aLine) {
  if (IsSubscriberIdentityLine(aLine)) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::ProcessLine %1!s!", KMaskedSubscriberLine);
    TakeSubscriberLine(aLine);
    return 0;
  }
  if (aLine.Length() > KLongLine) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::ProcessLine Length = %1!d!", aLine.Length());
  } else if (CarriesSimCode(aLine)) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::ProcessLine %1!s!", KMaskedPinCommand);
  } else {
    TModBuf16<KLongLine + 1> text(aLine);
    LogMessage(KLogFilePath, u"CMobilePhoneBase::ProcessLine %1!s!", text.PtrZ());
  }
  if (iResponseState == EStateStatus && CollectStatusLine(aLine)) return 0;
  if (StartsWith(aLine, u"+CPIN") || StartsWith(aLine, u"^CPIN")) return HandleSimLine(aLine);
  if (StartsWith(aLine, u"+CUSD")) return HandleCusd(aLine);
  if (aLine.Length() > 0 && aLine[0] == u'+') {
    // Room for the space a reply may lack after its colon.
    TModBuf16<KLineBufferLength + 1> line;
    line.Copy(aLine.Ptr(), aLine.Length() < KLineBufferLength ? aLine.Length() : KLineBufferLength);
    return ProcessPlusResponse(line);
  }
  if (iRoutedNext) {
    const bool message = iRoutedNext == ERoutedMessage;
    iRoutedNext = ENothingRouted;
    // A routed message may come in the middle of a listing: the listing's
    // entry is kept aside while it is decoded.
    const TSmsListEntry listed = iSmsListEntry;
    if (message) iSmsListEntry.iStatus = 0;  // received, not read yet
    iDecodingRouted = 1;
    DecodeSmsL(aLine);
    iDecodingRouted = 0;
    iSmsListEntry = listed;
    if (message && iMessageService == 1) ++iAcksOwed;
    return iResponseState == EStateListening ? KReplyIndication : 0;
  }
  if (Equals(aLine, u"ERROR")) return KReplyError;
  if (Equals(aLine, u"OK")) {
    if (iResponseState == EStatePhoneBookWrite) return KReplyOk;
    if (iResponseState == EStateUssd) return UssdOkSeen();
    // In a count, an OK before the "+CPMS" report does not end the wait.
    return iCounting == 1 && iStoreReported == 0 ? 0 : KReplyOk;
  }
  if (aLine.Length() < 3 || StartsWith(aLine, u"AT")) return 0;
  switch (iResponseState) {
    case EStateIdentity:
      SetModemId(aLine);
      break;
    case EStateImei:
      iPhoneSettings.IMEI.Copy(aLine.Ptr(), aLine.Length() < KImeiLength ? aLine.Length() : KImeiLength);
      break;
    case EStateSmsList:
    case EStateSmsRead:
      DecodeSmsL(aLine);
      break;
    default:
      break;
  }
  return 0;
}

int CMobilePhoneBase::ProcessPlusResponse(TModDesc16& aLine) {
  int colon = aLine.Locate(u':');
  if (colon < 0 || colon == aLine.Length() - 1) return 0;
  if (aLine[colon + 1] != u' ') {
    if (aLine.Length() == aLine.MaxLength()) aLine.SetLength(aLine.Length() - 1);
    aLine.Insert(colon + 1, TConstPtr16(u" "));
  }
  TConstPtr16 prefix = aLine.Left(colon);
  if (Equals(prefix, u"+CMS ERROR")) return HandleCmsError(aLine);
  if (Equals(prefix, u"+CME ERROR")) return HandleCmeError(aLine);
  if (Equals(prefix, u"+CPMS")) return HandleCpms(aLine);
  if (Equals(prefix, u"+CPBR")) return HandleCpbr(aLine);
  if (Equals(prefix, u"+CMTI") || Equals(prefix, u"+CDSI")) return HandleCmti(aLine);
  if (Equals(prefix, u"+CNMI")) return HandleCnmi(aLine);
  if (Equals(prefix, u"+CDS")) {
    iRoutedNext = ERoutedReport;
    return 0;
  }
  if (Equals(prefix, u"+CMT")) {
    iRoutedNext = ERoutedMessage;
    return 0;
  }
  if (Equals(prefix, u"+CSMS")) return HandleCsms(aLine);
  if (Equals(prefix, u"+CSCA")) return HandleCsca(aLine);
  if (Equals(prefix, u"+CSQ")) return HandleCsq(aLine);
  if (Equals(prefix, u"+CBC")) return HandleCbc(aLine);
  if (Equals(prefix, u"+CCLK")) return HandleCclk(aLine);
  if (Equals(prefix, u"+CMGR")) return HandleCmgr(aLine);
  if (Equals(prefix, u"+CMGL")) return HandleCmgl(aLine);
  if (Equals(prefix, u"+CGSN")) return HandleCgsn(aLine);
  if (Equals(prefix, u"+CMGS")) return HandleCmgs(aLine);
  if (Equals(prefix, u"+CSCS")) return HandleCscs(aLine);
  if (Equals(prefix, u"+CGMM")) {
    SetModemId(TextFrom(aLine, 7));
    return 0;
  }
  if (Equals(prefix, u"+GMM")) {
    SetModemId(TextFrom(aLine, 6));
    return 0;
  }
  return HandleOtherResponse(aLine);
}

int CMobilePhoneBase::HandleOtherResponse(TModDesc16&) { return 0; }

// Error numbers are small; a garbled huge one is capped so the code stays an int.
static int ErrorNumber(int aValue) { return aValue > KMaxErrorNumber ? KMaxErrorNumber : aValue; }

int CMobilePhoneBase::HandleCmsError(TModDesc16& aLine) { return KReplyCmsError + ErrorNumber(ParseIntAt(aLine, 11)); }

int CMobilePhoneBase::HandleCmeError(TModDesc16& aLine) { return KReplyCmeError + ErrorNumber(ParseIntAt(aLine, 11)); }

int CMobilePhoneBase::HandleCpms(TModDesc16& aLine) {
  if (iResponseState == EStateSmsStores) {
    ParseOfferedStores(aLine, iOfferedStores, iStoreGroups);
    return 0;
  }
  if (iResponseState == EStateSmsSelect) return ParseStoreCounts(aLine);
  if (iResponseState != EStateSmsCount) return 0;
  iStoreReported = 1;
  // "+CPMS: "ME",3,100,..." names the memory first (also "ME_P"); "+CPMS: 3,100,..." does not.
  int pos = 7;
  if (aLine.Length() > 7 && aLine[7] == u'"') {
    pos = 8;
    while (pos < aLine.Length() && aLine[pos] != u'"') ++pos;
    pos += 2;
  }
  iStoreUsed = ParseInt(aLine, pos);
  ++pos;
  iStoreTotal = ParseInt(aLine, pos);
  return 0;
}

// "+CSMS: 1,1,1,1": the service first; 1 wants routed messages acknowledged.
int CMobilePhoneBase::HandleCsms(TModDesc16& aLine) {
  if (iResponseState == EStateSmsService) iMessageService = ParseIntAt(aLine, 7) == 1 ? 1 : 0;
  return 0;
}

int CMobilePhoneBase::HandleCpbr(TModDesc16& aLine) {
  switch (iResponseState) {
    case EStatePhoneBookRead:
      return ParsePhoneBookEntry(aLine);
    case EStateLimitsPhoneMemory:
      return ParseLimits(aLine, EPhoneMemory);
    case EStateLimitsSim:
      return ParseLimits(aLine, ESimCard);
    case EStateLimitsFixedDialling:
      return ParseLimits(aLine, EFixedDialling);
    default:
      return 0;
  }
}

// "+CPBR: (1-250),40,18": the range, the number length, the name length.
// Values a short line does not reach keep what the store had.
int CMobilePhoneBase::ParseLimits(TModDesc16& aLine, int aStore) {
  TPhoneMemory& memory = iPhoneSettings.MemoryValues[aStore];
  int pos = 7;
  if (pos >= aLine.Length()) return 0;
  int low = ParseInt(aLine, pos);
  int high = low;
  if (pos < aLine.Length() && aLine[pos] == u'-') {
    ++pos;
    high = ParseInt(aLine, pos);
  }
  memory.MemLow = static_cast<int16_t>(low);
  memory.MemHigh = static_cast<int16_t>(high);
  pos += 2;
  if (pos >= aLine.Length()) return 0;
  memory.MaxNumber = static_cast<int16_t>(ParseInt(aLine, pos));
  ++pos;
  if (pos >= aLine.Length()) return 0;
  memory.MaxName = static_cast<int16_t>(ParseInt(aLine, pos));
  return 0;
}

// Set aside for the engine, never taken as the reply of the command under way.
int CMobilePhoneBase::HandleCmti(TModDesc16& aLine) {
  iObserver->NewSmsIndication(aLine);
  return iResponseState == EStateListening ? KReplyIndication : 0;
}

// "+CSCA: "<number>",<type>". Anything but a plain dial string that fits is
// left out: the number is offered to the user, and later goes out in a command.
int CMobilePhoneBase::HandleCsca(TModDesc16& aLine) {
  iReadCentre.Zero();
  int open = -1, close = -1;
  for (int i = 6; i < aLine.Length(); ++i) {
    if (aLine[i] != u'"') continue;
    if (open < 0) {
      open = i;
    } else {
      close = i;
      break;
    }
  }
  if (open < 0 || close < 0) return 0;
  int length = close - open - 1;
  if (length <= 0 || length > iReadCentre.MaxLength()) return 0;
  for (int i = open + 1; i < close; ++i) {
    TText16 c = aLine[i];
    bool plus = c == u'+' && i == open + 1;
    if (!plus && (c < u'0' || c > u'9')) return 0;
  }
  iReadCentre.Copy(aLine.Mid(open + 1, length));
  return 0;
}

int CMobilePhoneBase::HandleCclk(TModDesc16&) { return 0; }

// "+CMGS: <mr>" (a time stamp may follow): the reference a status report
// for this part will carry.
int CMobilePhoneBase::HandleCmgs(TModDesc16& aLine) {
  if (iResponseState != EStateSmsPdu) return 0;
  int pos = 7;
  while (pos < aLine.Length() && aLine[pos] == u' ') ++pos;
  if (pos < aLine.Length() && aLine[pos] >= u'0' && aLine[pos] <= u'9') iLastMessageReference = ParseInt(aLine, pos) & 0xFF;
  return 0;
}

int CMobilePhoneBase::HandleCsq(TModDesc16& aLine) {
  int rssi = ParseIntAt(aLine, 5);
  iPhoneSettings.SignalStrength = rssi < 32 ? rssi * 100 / 31 : -1;
  return 0;
}

// "+CSCS: ("IRA","GSM","UCS2")": only whether UCS2 is among them matters.
int CMobilePhoneBase::HandleCscs(TModDesc16& aLine) {
  if (iResponseState != EStateCharsets) return 0;
  for (int i = 0; i + 4 <= aLine.Length(); ++i)
    if (StartsWith(aLine.Mid(i), u"UCS2")) iUcs2Offered = 1;
  return 0;
}

int CMobilePhoneBase::HandleCbc(TModDesc16& aLine) {
  int pos = 5;
  iPhoneSettings.PowerSource = ParseInt(aLine, pos);
  ++pos;
  iPhoneSettings.BatteryState = ParseInt(aLine, pos);
  return 0;
}

int CMobilePhoneBase::HandleCmgl(TModDesc16& aLine) {
  int pos = 7;
  iSmsListEntry.iIndex = ParseInt(aLine, pos);
  ++pos;
  iSmsListEntry.iStatus = ParseInt(aLine, pos);
  ++pos;
  iSmsListEntry.iThird = ParseInt(aLine, pos);
  if (iResponseState == EStateSmsIndex) iSmsIndexList->AppendL(iSmsListEntry);
  return 0;
}

int CMobilePhoneBase::HandleCmgr(TModDesc16& aLine) {
  int pos = 7;
  iSmsListEntry.iStatus = ParseInt(aLine, pos);
  ++pos;
  iSmsListEntry.iThird = ParseInt(aLine, pos);
  if (iResponseState == EStateSmsIndex) iSmsIndexList->AppendL(iSmsListEntry);
  return 0;
}

int CMobilePhoneBase::HandleCgsn(TModDesc16& aLine) {
  if (iResponseState == EStateImei) {
    TConstPtr16 imei = TextFrom(aLine, 7);
    iPhoneSettings.IMEI.Copy(imei.Ptr(), imei.Length() < KImeiLength ? imei.Length() : KImeiLength);
  }
  return 0;
}

int CMobilePhoneBase::ParseInt(const TDesc16& aLine, int& aPos) {
  int value = 0;
  if (aPos < 0) aPos = 0;
  for (; aPos < aLine.Length(); ++aPos) {
    TText16 c = aLine[aPos];
    if (c >= u'0' && c <= u'9') {
      int digit = c - u'0';
      // A run of digits too long for an int saturates instead of overflowing.
      value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
    } else if (c == u',' || c == u'-' || c == u'/' || c == u':' || c == u')') {
      break;
    }
  }
  return value;
}

int CMobilePhoneBase::ParseIntAt(const TDesc16& aLine, int aPos) { return ParseInt(aLine, aPos); }
