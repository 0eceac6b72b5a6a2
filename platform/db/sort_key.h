// Byte strings whose plain byte order (memcmp, as SQLite compares blobs) is
// the order a sort specification asks for, so an index on them reads records
// in sort order.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windbase.h>

struct UCollator;

namespace kvplatform::db {

// One property value of a stored record.
struct StoredValue {
  CEPROPID propid = 0;
  WORD flags = 0;
  DWORD number = 0;          // CEVT_UI4
  FILETIME filetime = {0, 0};
  std::u16string text;       // CEVT_LPWSTR
};

class SortKeyMaker {
 public:
  SortKeyMaker();
  ~SortKeyMaker();
  SortKeyMaker(const SortKeyMaker&) = delete;
  SortKeyMaker& operator=(const SortKeyMaker&) = delete;

  // The key of a record under one sort specification. A sort property of 0
  // gives the same key to every record (identifier order).
  std::vector<unsigned char> KeyFor(const SORTORDERSPEC& spec, const std::vector<StoredValue>& values);

  // Identifies the collation rules; keys made under other rules must be remade.
  static std::string CollatorVersion();
  // Flags a sort specification may carry.
  static constexpr DWORD kKnownFlags = CEDB_SORT_DESCENDING | CEDB_SORT_IGNORENONSPACE | CEDB_SORT_IGNORESYMBOLS;

 private:
  UCollator* CollatorFor(DWORD flags);
  std::map<DWORD, UCollator*> collators_;
};

}  // namespace kvplatform::db
