// The rows of one message folder's list view in the order shown: each
// message's identifier with the two fields the order compares, read in one
// pass over the store. The texts a row shows are read only when it is painted.
#pragma once

#include <string>
#include <vector>

#include <windbase.h>

#include "kernel/epocbase.h"

class CKveMessagesItem;

struct TKvMessageRow {
  CEOID iOid;
  FILETIME iTime;
  std::u16string iName;  // the name field itself, not the display name
};

// The list view's order: column 0 by name then time, column 1 by time then
// name; names code unit by code unit without case folding, a prefix first.
int KvCompareMessageRows(const TKvMessageRow& aLeft, const TKvMessageRow& aRight, int aColumn);
TKvMessageRow KvMessageRowOf(const CKveMessagesItem& aMessage);

class CKvMessageRows : public CEpocBase {
 public:
  static CKvMessageRows* NewL();

  int Count() const { return static_cast<int>(iRows.size()); }
  CEOID OidAt(int aIndex) const;
  // The row of the identifier, -1 when it is not shown.
  int IndexOf(CEOID aOid) const;
  void Append(TKvMessageRow aRow) { iRows.push_back(std::move(aRow)); }
  void InsertAt(int aIndex, TKvMessageRow aRow);
  void ReplaceAt(int aIndex, TKvMessageRow aRow);
  void RemoveAt(int aIndex);
  // Stable, so rows equal in both fields keep their order.
  void Sort(int aColumn);

 private:
  CKvMessageRows() { SetClassName(u"CKvMessageRows"); }

  std::vector<TKvMessageRow> iRows;
};
