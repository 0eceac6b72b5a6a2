// Long messages kept whole: each received part is joined to the record of
// the message it belongs to, whatever order and download it comes in.
#include <algorithm>
#include <memory>
#include <vector>

#include <kvplatform_db.h>

#include "kernel/arrays.h"
#include "kernel/log.h"
#include "store/message_parts_index.h"
#include "store/messages.h"

namespace {

template <typename T>
using TOwned = std::unique_ptr<T>;

// Records to delete are collected first, so the walk's position is not disturbed.
typedef CArrayFixFlat<CEOID> COidList;

unsigned long long TimeDistance(const FILETIME& aOne, const FILETIME& aOther) {
  unsigned long long one = (static_cast<unsigned long long>(aOne.dwHighDateTime) << 32) | aOne.dwLowDateTime;
  unsigned long long other = (static_cast<unsigned long long>(aOther.dwHighDateTime) << 32) | aOther.dwLowDateTime;
  return one > other ? one - other : other - one;
}

ULONGLONG Ticks(const FILETIME& aTime) {
  return (static_cast<ULONGLONG>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime;
}

FILETIME Now() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  FILETIME time{};
  SystemTimeToFileTime(&now, &time);
  return time;
}

}  // namespace

CKveMessagesItem* CKveMessagesDatabase::CopyForPartL(const CKveMessagesItem& aMessage) {
  auto* copy = static_cast<CKveMessagesItem*>(NewItemL());
  if (copy == nullptr) return nullptr;
  TConstPtr16 name = aMessage.Name();
  TConstPtr16 number = aMessage.Number();
  copy->SetDetailsL(&name, nullptr, &number, aMessage.Folder());
  copy->SetDateSentTime(aMessage.DateSentTime(), aMessage.ZoneMinutes());
  return copy;
}

CEOID CKveMessagesDatabase::WritePartL(CKveMessagesItem& aMessage, const TKvMessagePart& aPart, int* aPartsMissing) {
  if (aPartsMissing != nullptr) *aPartsMissing = 0;
  if (aPart.iReferenceBits == 0 || aPart.iTotal == 0) return WriteItemL(aMessage);
  LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - part %1!d! of %2!d!, reference %3!d!", aPart.iPart,
             aPart.iTotal, aPart.iReference);
  if (aPart.iPart < 1 || aPart.iPart > aPart.iTotal) {
    LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - part number out of range, stored as it is");
    return WriteItemL(aMessage);
  }
  const int part = static_cast<int>(aPart.iPart);
  const TConstPtr16 text = aMessage.Text();
  const FILETIME& date = aMessage.DateSentTime();

  // The candidates (through the parts index, or else a walk through every
  // record) give the message's record (of several with the same reference,
  // the nearest in time that lacks this part), whether the part is held
  // already, and the earlier version's records of this part: same folder,
  // sender and text, stored one part a record.
  TOwned<CKveMessagesItem> target;
  TOwned<CKveMessagesItem> firstEarlier;
  COidList earlier(4);
  bool held = false;
  auto consider = [&](TOwned<CKveMessagesItem> record) {
    TConstPtr16 heldText;
    if (record->IsPartOfSameMessage(aMessage, aPart)) {
      // The same part with another text belongs to a later message that
      // reused the reference.
      if (record->FindPart(part, heldText))
        held = held || heldText == text;
      else if (!target || TimeDistance(record->DateSentTime(), date) < TimeDistance(target->DateSentTime(), date))
        target = std::move(record);
    } else if (record->IsFromEarlierVersion() && record->Folder() == aMessage.Folder() &&
               record->Number() == aMessage.Number() && record->Text() == text) {
      if (firstEarlier)
        earlier.AppendL(record->Oid());
      else
        firstEarlier = std::move(record);
    }
  };
  const ULONGLONG messageKey = LongMessageKey(aMessage.Folder(), aMessage.Number(), aPart);
  const ULONGLONG earlierKey = EarlierPartKey(aMessage.Folder(), aMessage.Number(), text);
  const ULONGLONG keys[2] = {messageKey, earlierKey};
  std::vector<TOwned<CKveMessagesItem>> candidates;
  const bool indexed = PartsCandidatesL(keys, 2, candidates);
  if (indexed) {
    for (TOwned<CKveMessagesItem>& record : candidates) consider(std::move(record));
  } else {
    for (CEpocDatabaseItem* item = ReadFirstItemL(); item != nullptr; item = ReadNextItemL())
      consider(TOwned<CKveMessagesItem>(static_cast<CKveMessagesItem*>(item)));
  }

  // The record and the index change together, or neither does.
  const bool together = indexed && kvplatform::BeginVolumeTransaction(VolumeId());
  CEOID oid = 0;
  if (held) {
    LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - part already stored");
    // What an upgrade cut short left behind.
    if (firstEarlier) earlier.AppendL(firstEarlier->Oid());
  } else {
    bool newEntry = true;
    CEOID wasEarlier = 0;
    if (!target && firstEarlier) {
      // The earlier version's record of this part becomes the message's
      // record, keeping its name.
      LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - earlier record 0x%1!x! becomes the message",
                 firstEarlier->Oid());
      target = std::move(firstEarlier);
      target->SetLongMessageL(aPart);
      wasEarlier = target->Oid();
    } else if (!target) {
      target.reset(CopyForPartL(aMessage));
      if (!target) {
        if (together) kvplatform::EndVolumeTransaction(VolumeId(), FALSE);
        return 0;
      }
      target->SetLongMessageL(aPart);
    } else {
      newEntry = false;  // found through its entry, or by the walk
      if (firstEarlier) earlier.AppendL(firstEarlier->Oid());
    }
    // The wait for the missing parts counts from the first part stored.
    if (newEntry) target->SetWaitingSince(Now());
    target->AddPartL(part, text, date, aMessage.ZoneMinutes());
    // A part come in is news again, though the start was read.
    if (aMessage.IsUnread()) target->SetUnread(true);
    if (aPartsMissing != nullptr)
      *aPartsMissing = std::max(0, static_cast<int>(target->ConcatTotal()) - target->PartsHeld());

    if (target->Oid() != 0) {
      LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - joined to record 0x%1!x!", target->Oid());
      oid = ReplaceItemL(*target);
    } else {
      LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - new record");
      oid = AddItemL(*target);
    }
    if (indexed && oid != 0 && newEntry) IndexPartsRecordL(oid, messageKey);
    if (indexed && oid != 0 && wasEarlier != 0) UnindexPartsRecordL(wasEarlier, earlierKey);
  }
  // The earlier records go only once their part is safely in the message's.
  for (int i = 0; (held || oid != 0) && i < earlier.Count(); ++i) {
    LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - earlier record 0x%1!x! joined", earlier[i]);
    DeleteItem(earlier[i]);
    if (indexed) UnindexPartsRecordL(earlier[i], earlierKey);
  }
  if (together) {
    kvplatform::EndVolumeTransaction(VolumeId(), TRUE);
    // Synced once the transaction has committed, before the phone's copy may go.
    if (!held && oid != 0) CeFlushDBVol(&VolumeId());
  }
  return oid;
}

void CKveMessagesDatabase::PassOnOverdueL(const FILETIME& aNow, ULONGLONG aWait, std::vector<CEOID>& aPassed,
                                          ULONGLONG& aNextDue) {
  aNextDue = 0;
  const ULONGLONG now = Ticks(aNow);
  // Collected first, so that rewriting a record does not disturb the walk.
  std::vector<TOwned<CKveMessagesItem>> overdue;
  for (CEpocDatabaseItem* item = ReadFirstItemL(); item != nullptr; item = ReadNextItemL()) {
    TOwned<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(item));
    // Only what was received is passed on; the phone's own long messages
    // (Outbox, Sent) are not waited for.
    if (message->Folder() != EKvFolderInbox || !message->IsLongMessage() || message->IsPassedOn()) continue;
    if (message->PartsHeld() >= static_cast<int>(message->ConcatTotal())) continue;
    const ULONGLONG due = Ticks(message->WaitingSince()) + aWait;
    if (due <= now)
      overdue.push_back(std::move(message));
    else if (aNextDue == 0 || due < aNextDue)
      aNextDue = due;
  }
  for (TOwned<CKveMessagesItem>& message : overdue) {
    message->SetPassedOn(true);
    LogMessage(KLogFilePath, u"CKveMessagesDatabase::PassOnOverdueL - record 0x%1!x! passed on with %2!d! of %3!d! parts",
               message->Oid(), message->PartsHeld(), message->ConcatTotal());
    if (ReplaceItemL(*message) != 0) aPassed.push_back(message->Oid());
  }
}

