#include "app/views/kv_message_rows.h"

#include <algorithm>

#include "store/messages.h"

namespace {

int CompareTexts(const std::u16string& aLeft, const std::u16string& aRight) {
  int result = aLeft.compare(aRight);  // char16_t compares as unsigned code units
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

int CompareTimes(const FILETIME& aLeft, const FILETIME& aRight) {
  if (aLeft.dwHighDateTime != aRight.dwHighDateTime) return aLeft.dwHighDateTime < aRight.dwHighDateTime ? -1 : 1;
  if (aLeft.dwLowDateTime != aRight.dwLowDateTime) return aLeft.dwLowDateTime < aRight.dwLowDateTime ? -1 : 1;
  return 0;
}

}  // namespace

int KvCompareMessageRows(const TKvMessageRow& aLeft, const TKvMessageRow& aRight, int aColumn) {
  int result = aColumn == 0 ? CompareTexts(aLeft.iName, aRight.iName) : 0;
  if (result == 0) result = CompareTimes(aLeft.iTime, aRight.iTime);
  if (result == 0) result = CompareTexts(aLeft.iName, aRight.iName);
  return result;
}

TKvMessageRow KvMessageRowOf(const CKveMessagesItem& aMessage) {
  TConstPtr16 name = aMessage.Name();
  return TKvMessageRow{aMessage.Oid(), aMessage.DateSentTime(), std::u16string(name.Ptr(), name.Length())};
}

CKvMessageRows* CKvMessageRows::NewL() { return new CKvMessageRows; }

CEOID CKvMessageRows::OidAt(int aIndex) const {
  return aIndex >= 0 && aIndex < Count() ? iRows[static_cast<size_t>(aIndex)].iOid : 0;
}

int CKvMessageRows::IndexOf(CEOID aOid) const {
  for (size_t i = 0; i < iRows.size(); ++i)
    if (iRows[i].iOid == aOid) return static_cast<int>(i);
  return -1;
}

void CKvMessageRows::InsertAt(int aIndex, TKvMessageRow aRow) {
  aIndex = std::clamp(aIndex, 0, Count());
  iRows.insert(iRows.begin() + aIndex, std::move(aRow));
}

void CKvMessageRows::ReplaceAt(int aIndex, TKvMessageRow aRow) {
  if (aIndex >= 0 && aIndex < Count()) iRows[static_cast<size_t>(aIndex)] = std::move(aRow);
}

void CKvMessageRows::RemoveAt(int aIndex) {
  if (aIndex >= 0 && aIndex < Count()) iRows.erase(iRows.begin() + aIndex);
}

void CKvMessageRows::Sort(int aColumn) {
  std::stable_sort(iRows.begin(), iRows.end(), [aColumn](const TKvMessageRow& aLeft, const TKvMessageRow& aRight) {
    return KvCompareMessageRows(aLeft, aRight, aColumn) < 0;
  });
}
