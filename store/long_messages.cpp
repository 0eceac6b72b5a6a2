// Long messages kept whole: each received part is joined to the record of
// the message it belongs to, whatever order and download it comes in.
#include <memory>

#include "kernel/arrays.h"
#include "kernel/log.h"
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

}  // namespace

CKveMessagesItem* CKveMessagesDatabase::CopyForPartL(const CKveMessagesItem& aMessage) {
  auto* copy = static_cast<CKveMessagesItem*>(NewItemL());
  if (copy == nullptr) return nullptr;
  TConstPtr16 name = aMessage.Name();
  TConstPtr16 number = aMessage.Number();
  copy->SetDetailsL(&name, nullptr, &number, aMessage.Folder());
  copy->SetDateSentTime(aMessage.DateSentTime());
  return copy;
}

CEOID CKveMessagesDatabase::WritePartL(CKveMessagesItem& aMessage, const TKvMessagePart& aPart) {
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

  // One walk finds the message's record (of several with the same reference,
  // the nearest in time that lacks this part), whether the part is held
  // already, and the earlier version's records of this part: same folder,
  // sender and text, stored one part a record.
  TOwned<CKveMessagesItem> target;
  TOwned<CKveMessagesItem> firstEarlier;
  COidList earlier(4);
  bool held = false;
  for (CEpocDatabaseItem* item = ReadFirstItemL(); item != nullptr; item = ReadNextItemL()) {
    TOwned<CKveMessagesItem> record(static_cast<CKveMessagesItem*>(item));
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
  }

  if (held) {
    LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - part already stored");
    // What an upgrade cut short left behind.
    if (firstEarlier) earlier.AppendL(firstEarlier->Oid());
    for (int i = 0; i < earlier.Count(); ++i) {
      LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - earlier record 0x%1!x! joined", earlier[i]);
      DeleteItem(earlier[i]);
    }
    return 0;
  }
  if (!target && firstEarlier) {
    // The earlier version's record of this part becomes the message's record,
    // keeping its name.
    LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - earlier record 0x%1!x! becomes the message",
               firstEarlier->Oid());
    target = std::move(firstEarlier);
    target->SetLongMessageL(aPart);
  } else if (!target) {
    target.reset(CopyForPartL(aMessage));
    if (!target) return 0;
    target->SetLongMessageL(aPart);
  } else if (firstEarlier) {
    earlier.AppendL(firstEarlier->Oid());
  }
  target->AddPartL(part, text, date);

  CEOID oid = 0;
  if (target->Oid() != 0) {
    LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - joined to record 0x%1!x!", target->Oid());
    oid = ReplaceItemL(*target);
  } else {
    LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - new record");
    oid = AddItemL(*target);
  }
  // The earlier records go only once their part is safely in the message's.
  for (int i = 0; oid != 0 && i < earlier.Count(); ++i) {
    LogMessage(KLogFilePath, u"CKveMessagesDatabase::WritePartL - earlier record 0x%1!x! joined", earlier[i]);
    DeleteItem(earlier[i]);
  }
  return oid;
}
