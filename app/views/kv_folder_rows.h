// The rows of one message folder's list view as the store orders them
// (CKveMessagesDatabase::FolderRangeL), read only when asked for: a folder of
// 100,000 messages opens with two index lookups. Messages that come in while
// the list shows go at the top, as the list's own sort would place them, until
// the list is ordered again; the rest follow in the store's order.
#pragma once

#include <map>
#include <unordered_map>
#include <vector>

#include <windbase.h>

#include "kernel/epocbase.h"

class CKveMessagesDatabase;

class CKvFolderRows : public CEpocBase {
 public:
  static CKvFolderRows* NewL(CKveMessagesDatabase* aStore, DWORD aFolder);

  // Takes the folder's rows as the store orders them now: the rows at the
  // top join their places. False when the store's order cannot be read.
  bool LoadL();
  int Count();
  // The message of a row, read when not known; 0 past the end.
  CEOID OidAt(int aRow);
  // Reads the rows from aFirst to aLast (as far as they go) in one pass.
  void ReadRowsL(int aFirst, int aLast);
  // The row of a message read lately; -1 when it has not been.
  int KnownRowOf(CEOID aOid) const;
  // The row of a stored message of the folder, when no row is at the top
  // (just after LoadL); -1 for none.
  int StoredRowOf(CEOID aOid);
  // The rows at the top, newest first.
  const std::vector<CEOID>& TopRows() const { return iTop; }

  // A message of the folder stored since: it shows at the top.
  void InsertAtTop(CEOID aOid);
  // The message of a known row is gone (deleted, or moved to another folder).
  void Removed(int aRow);
  // The store changed in ways the rows cannot follow (a message changed
  // folder unseen, another process wrote): the count is read again at the
  // next use, and the rows with it.
  void Forget();

 private:
  CKvFolderRows(CKveMessagesDatabase* aStore, DWORD aFolder);
  bool RangeL();
  // The store index of row aRow past the top rows, the top rows' own places
  // passed over.
  int StoreIndexOf(int aRow);
  void Remember(int aRow, CEOID aOid);
  void ForgetRows();

  CKveMessagesDatabase* iStore;
  DWORD iFolder;
  bool iRangeRead;
  int iFirst;  // the folder's first index in the store's order
  int iCount;
  std::vector<CEOID> iTop;       // newest first
  std::vector<int> iTopIndexes;  // their store indexes, in order; read with the range
  std::map<int, CEOID> iOids;    // rows read lately
  std::unordered_map<CEOID, int> iRows;
};
