// Delivery reports: the references the phone gives the parts of a message
// sent with a report request, and the reports that come back for them.
#include <memory>

#include "engine/engine_text.h"
#include "engine/phone_engine.h"
#include "kernel/log.h"
#include "sms/sms_time_stamp.h"

namespace {

const int KSignificantDigits = 9;

// The same recipient written in international or national form: the last
// nine digits agree (all of them when one number is shorter).
bool SameRecipient(const TDesc16& aOne, const TDesc16& aOther) {
  auto digitsFromEnd = [](const TDesc16& aNumber, int aIndex, TText16& aDigit) {
    for (int i = aNumber.Length() - 1; i >= 0; --i) {
      if (aNumber[i] < u'0' || aNumber[i] > u'9') continue;
      if (aIndex-- == 0) {
        aDigit = aNumber[i];
        return true;
      }
    }
    return false;
  };
  int compared = 0;
  for (; compared < KSignificantDigits; ++compared) {
    TText16 one = 0, other = 0;
    bool hasOne = digitsFromEnd(aOne, compared, one);
    bool hasOther = digitsFromEnd(aOther, compared, other);
    if (!hasOne || !hasOther) return hasOne == hasOther && compared > 0;
    if (one != other) return false;
  }
  return true;
}

const TKvPartDelivery* PartWithReference(const TKvDeliveryList& aList, int aReference) {
  for (const TKvPartDelivery& entry : aList)
    if (entry.iReference == aReference) return &entry;
  return nullptr;
}

bool IsFinal(const TKvPartDelivery& aPart) {
  return aPart.iStatus != KKvNoReportYet && DeliveryStateOfStatus(aPart.iStatus) != EKvDeliveryPending;
}

unsigned long long TimeValue(const FILETIME& aTime) {
  return (static_cast<unsigned long long>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime;
}

const TText16* StateName(TKvDeliveryState aState) {
  switch (aState) {
    case EKvDeliveryDelivered: return u"delivered";
    case EKvDeliveryFailed: return u"failed";
    case EKvDeliveryPending: return u"pending";
    default: return u"none";
  }
}

}  // namespace

void CPhoneEng::SmsPartSent() {
  if (!iRequestingReports) return;
  int reference = iPhone->LastMessageReference();
  int part = iPhone->LastPartSent();
  if (reference < 0) {
    // Its report could not be matched; the other parts still count.
    LogMessage(KLogFilePath, u"CPhoneEng::SmsPartSent - part %1!d! sent without a message reference", part);
    return;
  }
  LogMessage(KLogFilePath, u"CPhoneEng::SmsPartSent - part %1!d! has reference %2!d!", part, reference);
  iSentParts.push_back({part, reference, KKvNoReportYet, {0, 0}});
}

bool CPhoneEng::ApplyStatusReportL(const CStdSms& aReport) {
  const int reference = aReport.iMessageReference;
  const int status = aReport.iReportStatus;
  TConstPtr16 recipient;
  if (aReport.NumRecipients() > 0) recipient = TConstPtr16(aReport.RecipientNumber(0));
  TZText<KSmsNumberLength> number(recipient);
  LogMessage(KLogFilePath, u"CPhoneEng::ApplyStatusReportL - reference %1!d! to %2!s! status 0x%3!x!", reference,
             number.Ptr(), status);

  // References repeat after 256 messages: of the Sent records with a part of
  // that reference to that recipient, one still waiting for its report wins,
  // then the one sent last.
  std::unique_ptr<CKveMessagesItem> best;
  bool bestFinal = false;
  for (CEpocDatabaseItem* item = iMessagesDatabase->ReadFirstItemL(); item != nullptr;
       item = iMessagesDatabase->ReadNextItemL()) {
    std::unique_ptr<CKveMessagesItem> record(static_cast<CKveMessagesItem*>(item));
    if (record->Folder() != EKvFolderSent || !SameRecipient(record->Number(), recipient)) continue;
    TKvDeliveryList parts = record->Delivery();
    const TKvPartDelivery* part = PartWithReference(parts, reference);
    if (part == nullptr) continue;
    bool final = IsFinal(*part);
    if (best && (final && !bestFinal)) continue;
    if (best && final == bestFinal && TimeValue(record->DateSentTime()) < TimeValue(best->DateSentTime())) continue;
    best = std::move(record);
    bestFinal = final;
  }
  if (!best) {
    LogMessage(KLogFilePath, u"CPhoneEng::ApplyStatusReportL - no sent message has reference %1!d!", reference);
    return false;
  }
  const FILETIME discharged = SmsStampToUtc(aReport.iDischargeTime, SmsZoneMinutes(aReport.iDischargeZone));
  if (!best->ApplyReportL(reference, status, discharged)) {
    LogMessage(KLogFilePath, u"CPhoneEng::ApplyStatusReportL - record 0x%1!x! already has this report", best->Oid());
    return true;
  }
  if (iMessagesDatabase->ReplaceItemL(*best) == 0) {
    LogMessage(KLogFilePath, u"CPhoneEng::ApplyStatusReportL - record 0x%1!x! could not be written", best->Oid());
    return false;
  }
  LogMessage(KLogFilePath, u"CPhoneEng::ApplyStatusReportL - record 0x%1!x! is %2!s!", best->Oid(),
             StateName(best->DeliveryState()));
  if (iAction != nullptr)
    SendMessageW(iAction->iWindow, EKvDeliveryReportApplied, reinterpret_cast<WPARAM>(iAction),
                 static_cast<LPARAM>(best->Oid()));
  return true;
}
