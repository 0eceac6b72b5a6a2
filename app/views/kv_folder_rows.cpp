#include "app/views/kv_folder_rows.h"

#include <algorithm>

#include "store/messages.h"

namespace {

// How many rows are remembered before the memory starts afresh: a few
// screens, and every row of a selection being deleted one by one.
const size_t KRowsKept = 4096;

}  // namespace

CKvFolderRows::CKvFolderRows(CKveMessagesDatabase* aStore, DWORD aFolder) : iStore(aStore), iFolder(aFolder) {
  SetClassName(u"CKvFolderRows");
}

CKvFolderRows* CKvFolderRows::NewL(CKveMessagesDatabase* aStore, DWORD aFolder) {
  return new CKvFolderRows(aStore, aFolder);
}

bool CKvFolderRows::LoadL() {
  iTop.clear();
  Forget();
  return RangeL();
}

bool CKvFolderRows::RangeL() {
  if (iRangeRead) return true;
  int first = 0, count = 0;
  if (iStore == nullptr || !iStore->FolderRangeL(iFolder, first, count)) return false;
  iFirst = first;
  iCount = count;
  iTopIndexes.clear();
  for (CEOID oid : iTop) {
    int index = iStore->FolderIndexL(oid);
    if (index >= iFirst && index < iFirst + iCount) iTopIndexes.push_back(index - iFirst);
  }
  std::sort(iTopIndexes.begin(), iTopIndexes.end());
  iRangeRead = true;
  return true;
}

int CKvFolderRows::Count() { return RangeL() ? iCount : 0; }

int CKvFolderRows::StoreIndexOf(int aRow) {
  int index = aRow - static_cast<int>(iTop.size());
  for (int top : iTopIndexes)
    if (top <= index) ++index;
  return iFirst + index;
}

CEOID CKvFolderRows::OidAt(int aRow) {
  if (aRow < 0 || aRow >= Count()) return 0;
  if (aRow < static_cast<int>(iTop.size())) return iTop[static_cast<size_t>(aRow)];
  auto known = iOids.find(aRow);
  if (known != iOids.end()) return known->second;
  ReadRowsL(aRow, aRow);
  known = iOids.find(aRow);
  return known != iOids.end() ? known->second : 0;
}

void CKvFolderRows::ReadRowsL(int aFirst, int aLast) {
  if (!RangeL()) return;
  aFirst = std::max(aFirst, static_cast<int>(iTop.size()));
  aLast = std::min(aLast, iCount - 1);
  if (aFirst > aLast) return;
  if (iOids.size() + static_cast<size_t>(aLast - aFirst + 1) > KRowsKept) ForgetRows();
  // Read on from the first row; a top row's own place is passed over.
  int index = StoreIndexOf(aFirst);
  CKveMessagesItem* message = iStore->ReadFolderItemL(index);
  for (int row = aFirst; message != nullptr; ++index) {
    bool top = std::binary_search(iTopIndexes.begin(), iTopIndexes.end(), index - iFirst);
    if (!top) Remember(row++, message->Oid());
    delete message;
    message = row <= aLast ? iStore->ReadNextFolderItemL() : nullptr;
  }
  delete message;
}

int CKvFolderRows::KnownRowOf(CEOID aOid) const {
  for (size_t i = 0; i < iTop.size(); ++i)
    if (iTop[i] == aOid) return static_cast<int>(i);
  auto known = iRows.find(aOid);
  return known != iRows.end() ? known->second : -1;
}

int CKvFolderRows::StoredRowOf(CEOID aOid) {
  if (!iTop.empty() || !RangeL()) return -1;
  int row = iStore->FolderIndexL(aOid) - iFirst;
  return row >= 0 && row < iCount ? row : -1;
}

void CKvFolderRows::Remember(int aRow, CEOID aOid) {
  iOids[aRow] = aOid;
  iRows[aOid] = aRow;
}

void CKvFolderRows::ForgetRows() {
  iOids.clear();
  iRows.clear();
}

void CKvFolderRows::InsertAtTop(CEOID aOid) {
  const bool known = iRangeRead;
  iTop.insert(iTop.begin(), aOid);
  // Every row below moves down by one: the rows under the top ones keep
  // their order, whatever place the store gave the new message.
  std::map<int, CEOID> moved;
  for (auto& [row, oid] : iOids) moved.emplace(row + 1, oid);
  iOids.swap(moved);
  for (auto& [oid, row] : iRows) ++row;
  if (!known) return;  // all read again at the next use
  int index = iStore->FolderIndexL(aOid) - iFirst;
  if (index < 0 || index > iCount) {
    iRangeRead = false;
    return;
  }
  for (int& top : iTopIndexes)
    if (top >= index) ++top;
  iTopIndexes.insert(std::lower_bound(iTopIndexes.begin(), iTopIndexes.end(), index), index);
  ++iCount;
}

void CKvFolderRows::Removed(int aRow) {
  if (aRow < static_cast<int>(iTop.size())) {
    // Where the store had it is not kept: read again at the next use.
    iTop.erase(iTop.begin() + aRow);
    iRangeRead = false;
  } else if (iRangeRead) {
    int index = StoreIndexOf(aRow) - iFirst;
    for (int& top : iTopIndexes)
      if (top > index) --top;
    --iCount;
  }
  std::map<int, CEOID> moved;
  for (auto& [row, oid] : iOids) {
    if (row < aRow) moved.emplace(row, oid);
    else if (row > aRow) moved.emplace(row - 1, oid);
  }
  iOids.swap(moved);
  iRows.clear();
  for (auto& [row, oid] : iOids) iRows.emplace(oid, row);
}

void CKvFolderRows::Forget() {
  ForgetRows();
  iRangeRead = false;
}
