// Whether a received message is in the store already.
#include <algorithm>
#include <memory>
#include <vector>

#include "store/message_parts_index.h"
#include "store/messages.h"

bool CKveMessagesDatabase::HoldsL(CKveMessagesItem& aMessage, const TKvMessagePart& aPart) {
  if (aPart.iReferenceBits == 0 || aPart.iTotal == 0 || aPart.iPart < 1 || aPart.iPart > aPart.iTotal)
    return FindItem(aMessage) != -1;
  const TConstPtr16 text = aMessage.Text();
  auto holds = [&](const CKveMessagesItem& aRecord) {
    TConstPtr16 held;
    return aRecord.IsPartOfSameMessage(aMessage, aPart) && aRecord.FindPart(static_cast<int>(aPart.iPart), held) &&
           held == text;
  };
  const ULONGLONG key = LongMessageKey(aMessage.Folder(), aMessage.Number(), aPart);
  std::vector<std::unique_ptr<CKveMessagesItem>> candidates;
  if (PartsCandidatesL(&key, 1, candidates))
    return std::any_of(candidates.begin(), candidates.end(), [&](const auto& aRecord) { return holds(*aRecord); });
  for (CEpocDatabaseItem* item = ReadFirstItemL(); item != nullptr; item = ReadNextItemL()) {
    std::unique_ptr<CKveMessagesItem> record(static_cast<CKveMessagesItem*>(item));
    if (holds(*record)) return true;
  }
  return false;
}
