// Whether a received message is in the store already.
#include <memory>

#include "store/messages.h"

bool CKveMessagesDatabase::HoldsL(CKveMessagesItem& aMessage, const TKvMessagePart& aPart) {
  if (aPart.iReferenceBits == 0 || aPart.iTotal == 0 || aPart.iPart < 1 || aPart.iPart > aPart.iTotal)
    return FindItem(aMessage) != -1;
  const TConstPtr16 text = aMessage.Text();
  for (CEpocDatabaseItem* item = ReadFirstItemL(); item != nullptr; item = ReadNextItemL()) {
    std::unique_ptr<CKveMessagesItem> record(static_cast<CKveMessagesItem*>(item));
    TConstPtr16 held;
    if (record->IsPartOfSameMessage(aMessage, aPart) && record->FindPart(static_cast<int>(aPart.iPart), held) &&
        held == text)
      return true;
  }
  return false;
}
