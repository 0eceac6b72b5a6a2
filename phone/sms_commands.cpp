// Short messages in PDU mode: counting, listing, deleting and sending.
#include "kernel/log.h"
#include "kernel/requests.h"
#include "phone/at_argument.h"
#include "phone/mobile_phone.h"
#include "sms/gsm_alphabet.h"
#include "sms/pdu_sms_format.h"
#include "sms/sms_length.h"

namespace {

const int KSmsStores = 2;
const int KSmsStoreStates[KSmsStores] = {EStateSmsStorePhone, EStateSmsStoreSim};
const int KCtrlZ = 26;
const int KSecond = 1000000;  // microseconds

// The phone's status code as the record's status.
void MapStatus(CStdSms& aSms, int aPhoneStatus) {
  aSms.iUnreadOnPhone = aPhoneStatus == 0;
  switch (aPhoneStatus) {
    case 0:
    case 1:
      aSms.SmsStatus() = KSmsStatusReceived;
      break;
    case 2:
      aSms.SmsStatus() = KSmsStatusUnsent;
      break;
    case 3:
      aSms.SmsStatus() = KSmsStatusSent;
      break;
    default:
      break;
  }
}

// One part's text: aChunk as it goes out, with the escape before every
// character of the extension table when the part is 7-bit. Null without memory.
THeapBuf16* PartText(const TDesc16& aChunk, TSmsCoding aCoding) {
  THeapBuf16* text = THeapBuf16::New(2 * aChunk.Length() + 1);
  if (!text) return nullptr;
  text->Copy(aChunk);
  if (aCoding == ESmsCoding7Bit) InsertEscapes(*text);
  return text;
}

}  // namespace

// "AT+CPMS=" with the phone's (0) or the SIM's (1) memory as this phone spells it.
int CMobilePhoneBase::SelectReadStore(int aState, int aStore) {
  iCommandBuffer.Copy(u"AT+CPMS=\"");
  iCommandBuffer.Append(iMemoryNames[aStore]);
  iCommandBuffer.Append(u'"');
  return DoSendAndWait(aState, iCommandBuffer);
}

int CMobilePhoneBase::CountSms(int& aTotal, int aUsed[2], int aCapacity[2]) {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::CountSms");
  for (int store = 0; store < KSmsStores; ++store) {
    aUsed[store] = 0;
    if (aCapacity) aCapacity[store] = 0;
  }
  int r = EstablishConnection();
  if (r == 0) {
    iCounting = 1;
    LogMessage(KLogFilePath, u"CMobilePhoneBase::CountSms Checking phone for SMS");
    for (int store = 0; store < KSmsStores; ++store) {
      iStoreReported = 0;
      r = SelectReadStore(EStateSmsCount, store);
      if (r == KReplyOk) {
        aUsed[store] = iStoreUsed;
        if (aCapacity) aCapacity[store] = iStoreTotal;
      }
      if (r < 0) break;
    }
    iCounting = 0;
  }
  aTotal = aUsed[0] + aUsed[1];
  return r;
}

int CMobilePhoneBase::ReadSms() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::ReadSms");
  iMessageCounter = 0;
  int total = 0;
  int used[KSmsStores];
  int r = CountSms(total, used, nullptr);
  if (r != KReplyOk || total == 0) return r;
  for (int store = 0; store < KSmsStores; ++store) {
    if (used[store] == 0) continue;
    iSmsMemory.Copy(iMemoryNames[store].Left(iMemoryNames[store].Length() < iSmsMemory.MaxLength()
                                                 ? iMemoryNames[store].Length()
                                                 : iSmsMemory.MaxLength()));
    r = SelectReadStore(KSmsStoreStates[store], store);
    if (r == KReplyOk) r = DoSendAndWait(EStateSmsList, TConstPtr16(u"AT+CMGL=4"));
    // A phone that is gone, or the user's cancel: the next store is not asked.
    if (r < 0) break;
  }
  return r;
}

void CMobilePhoneBase::DecodeSmsL(const TDesc16& aPduLine) {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::DecodeSmsL");
  CStdSms* sms = CStdSms::NewL(0);
  if (!sms) return;
  ++iMessageCounter;
  TPduSmsFormat format;
  int r = format.ConvertToSms(aPduLine, *sms, Capabilities());
  if (r == KErrNone) {
    MapStatus(*sms, iSmsListEntry.iStatus);
    iObserver->FoundSmsL(sms, 0);
  } else {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::DecodeSmsL - Error %1!d!", r);
    delete sms;
  }
}

int CMobilePhoneBase::DeleteAllSms(int aStatus, int& aDeleted, int aStores) {
  aDeleted = 0;
  int total = 0;
  int used[KSmsStores];
  int r = CountSms(total, used, nullptr);
  if (r != KReplyOk || total == 0) return r;
  iMessageCounter = 0;
  for (int store = 0; store < KSmsStores; ++store) {
    iSmsIndexList->Reset();
    if ((aStores == KSmsBothStores || aStores == store) && used[store] > 0) {
      r = SelectReadStore(KSmsStoreStates[store], store);
      if (r == KReplyOk) r = DoSendAndWait(EStateSmsIndex, TConstPtr16(u"AT+CMGL=4"));
      if (r == KReplyOk) r = DeletePass(aStatus, aDeleted);
      if (r == KErrCancel) break;
    }
  }
  NotifyOperationFinished();
  iSmsIndexList->Reset();
  return r;
}

int CMobilePhoneBase::DeletePass(int aStatus, int& aDeleted) {
  int r = KReplyOk;
  // The entry listed last goes first, so the phone's numbering of the rest holds.
  for (int i = iSmsIndexList->Count() - 1; i >= 0; --i) {
    const TSmsListEntry entry = (*iSmsIndexList)[i];
    ++iMessageCounter;
    iObserver->SmsDeletedL();
    if (aStatus != KSmsAllMessages && aStatus != entry.iStatus) continue;
    iCommandBuffer.Copy(u"AT+CMGD=");
    iCommandBuffer.AppendNum(entry.iIndex);
    r = DoSendAndWait(EStateSmsIndex, iCommandBuffer);
    if (r == KReplyOk) ++aDeleted;
    if (r == KErrCancel) break;
  }
  return r;
}

int CMobilePhoneBase::SendSms(CStdSms& aSms, int aAttempts) {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendSms");
  int r = EstablishConnection();
  if (r != 0) return r;
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendSms - established connection");
  r = DoSendAndWait(EStatePduMode, TConstPtr16(u"AT+CMGF=0"));
  if (r != KReplyOk) return r;
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendSms - Selected Pdu format");

  // A text the GSM alphabet cannot carry goes as UCS2.
  const TSmsCoding coding = aSms.SendingCoding();
  if (coding == ESmsCodingUcs2) aSms.iDataCoding = static_cast<BYTE>(SmsSchemeAsUcs2(aSms.iDataCoding));
  const int limit = SmsSinglePartLimit(coding);
  const TDesc16& original = aSms.MessageText();
  TConstPtr16 header;
  if (aSms.iFlags & KSmsFlagHeaderText) header = TConstPtr16(aSms.iHeaderText);
  const int extra = coding == ESmsCoding7Bit ? CountEscapes(original) : 0;
  if (extra == 0 && original.Length() <= limit && header.Length() == 0)
    return DoSendSms(aSms, aSms, 1, aAttempts, aSms.SmsCentre());

  // The header text goes in front. Parts are cut from the plain text, so that
  // an escape stays with its character and a surrogate pair stays whole; each
  // part gets its escapes afterwards.
  THeapBuf16* text = THeapBuf16::New(header.Length() + original.Length() + 1);
  if (!text) return KErrNoMemory;
  THeapPtr16 plain = text->Des();
  plain.Copy(header);
  plain.Append(original);
  const int total = SmsUnits(plain, coding);
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SendSms - done switch statement");

  const bool single = total <= limit;
  if (aSms.iConcatReference == 0) aSms.iConcatReference = static_cast<BYTE>(iObserver->NextConcatReference());
  int partSize = limit;
  bool concatHeaders = false;
  if (aSms.iFlags & KSmsFlagConcat) {
    partSize = SmsConcatPartSize(coding);
    concatHeaders = !single;
  }
  int parts = 0;
  for (int from = 0; from < plain.Length(); ++parts) {
    from += single ? plain.Length() : SmsNextPart(plain, from, partSize, coding).iCharacters;
  }
  // Counted before anything goes out: the header could not number the rest.
  if (parts > KSmsMaxParts) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::SendSms - %1!d! parts, more than a long message can have", parts);
    delete text;
    return KErrOverflow;
  }

  r = 0;
  int from = 0;
  for (int p = 1; from < plain.Length(); ++p) {
    const int chunk = single ? plain.Length() - from : SmsNextPart(plain, from, partSize, coding).iCharacters;
    THeapBuf16* partText = PartText(plain.Mid(from, chunk), coding);
    CStdSms* part = partText ? aSms.CloneForPart(*partText) : nullptr;
    delete partText;
    if (!part) {
      r = KErrNoMemory;
      break;
    }
    if (concatHeaders) {
      part->iConcatReference = aSms.iConcatReference;
      part->iConcatReferenceBits = 8;
      part->iConcatTotal = static_cast<BYTE>(parts);
      part->iConcatPart = static_cast<BYTE>(p);
    }
    if (p > 1) User::Delay(KSecond);
    LogMessage(KLogFilePath, u"CMobilePhoneBase::SendSms - doSendSms");
    r = DoSendSms(*part, aSms, p, aAttempts, aSms.SmsCentre());
    delete part;
    if (r != KReplyOk) break;
    from += chunk;
  }
  delete text;
  return r;
}

int CMobilePhoneBase::DoSendSms(CStdSms& aPart, CStdSms& aWhole, int aPartNumber, int aAttempts,
                                const TSmsAddress& aCentre) {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::DoSendSms");
  int recipients = aPart.NumRecipients();
  if (recipients < 1) return 0;
  int r = 0;
  for (int i = 0; i < recipients; ++i) {
    if (!aWhole.IsPartSent(aPartNumber, i) && aAttempts >= 1) {
      for (int attempt = 1; attempt <= aAttempts; ++attempt) {
        if (attempt > 1) {
          iObserver->SmsSendRetry();
          User::Delay((attempt - 1) * KSecond);  // a little longer each time
        }
        TPduSmsFormat format;
        r = format.EncodePdu(aPart, i, Capabilities(), aCentre);
        if (r == KErrNone) {
          iSendBuffer.Copy(format.SendBuffer());
          iCentreOctets = format.ServiceCentreOctets();
          r = FormatAndSendSms();
        }
        if (r < KReplyCmsError) {
          if (r != KReplyOk) LogMessage(KLogFilePath, u"CMobilePhoneBase::DoSendSms - error %1!d!", r);
          break;
        }
      }
      if (r != KReplyOk) return r;
    }
    aWhole.SetRecipientFlag(aPartNumber, i);
    iLastPartSent = aPartNumber;
    ++iMessageCounter;
    iObserver->SmsPartSent();
    r = KReplyOk;
  }
  return r;
}

int CMobilePhoneBase::FormatAndSendSms() {
  LogMessage(KLogFilePath, u"CMobilePhoneBase::FormatAndSendSms");
  int length = iSendBuffer.Length() / 2 - iCentreOctets;
  iCommandBuffer.Copy(u"AT+CMGS=");
  iCommandBuffer.AppendNum(length);
  iResponseState = EStateSmsLength;
  iLastMessageReference = -1;
  int r = DoSendAndWait(EStateSmsLength, iCommandBuffer);
  if (r != KReplyOk) return r;
  iCommandBuffer.Copy(iSendBuffer);
  iCommandBuffer.Append(static_cast<TText16>(KCtrlZ));
  return DoSendAndWait(EStateSmsPdu, iCommandBuffer);
}

int CMobilePhoneBase::ReadSmsCentre(TModDesc16& aNumber) {
  aNumber.Zero();
  int r = EstablishConnection();
  if (r != 0) return r;
  iReadCentre.Zero();
  r = DoSendAndWait(EStateSmsCentre, TConstPtr16(u"AT+CSCA?"));
  if (r == KReplyOk) aNumber.Copy(iReadCentre);
  LogMessage(KLogFilePath, u"CMobilePhoneBase::ReadSmsCentre %1!d! (%2!d! digits)", r, iReadCentre.Length());
  return r;
}

int CMobilePhoneBase::SetSmsCentre(const TSmsAddress& aCentre) {
  int r = EstablishConnection();
  if (r != 0) return r;
  iCommandBuffer.Copy(u"AT+CSCA=");
  TModBuf16<KCommandLength> field;
  r = FormatNumberField(field, aCentre.iNumber);
  if (r != KErrNone) {
    LogMessage(KLogFilePath, u"CMobilePhoneBase::SetSmsCentre the number is no dial string");
    return r;
  }
  iCommandBuffer.Append(field);
  r = DoSendAndWait(EStateSmsCentre, iCommandBuffer);
  if (r == KReplyOk) return KReplyOk;
  // Some phones want the number without its type.
  iCommandBuffer.Copy(u"AT+CSCA=");
  AppendDialString(iCommandBuffer, aCentre.iNumber, iCommandBuffer.MaxLength());
  TModBuf16<KCommandLength + 1> text(iCommandBuffer);
  LogMessage(KLogFilePath, u"CMobilePhoneBase::SetSmsCentre buf=%1!s!", text.PtrZ());
  return DoSendAndWait(EStateSmsCentre, iCommandBuffer);
}
