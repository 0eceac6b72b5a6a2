// What an import did, and the undoing of a failed one.
#pragma once

#include <string>
#include <vector>

#include "store/epoc_database.h"

namespace kvexchange {

struct TImportSummary {
  int iAdded = 0;
  int iSkipped = 0;    // already in the store
  std::vector<std::string> iRefused;  // "card 3 (line 20): no number"
};

// The records one import has added, taken out again unless the whole import
// went through: a failure part-way leaves the store as it was.
class TStagedWrite {
 public:
  explicit TStagedWrite(CEpocDatabase& aStore) : iStore(aStore) {}
  ~TStagedWrite();
  TStagedWrite(const TStagedWrite&) = delete;
  TStagedWrite& operator=(const TStagedWrite&) = delete;

  void Added(CEOID aOid) { iAdded.push_back(aOid); }
  void Commit() { iAdded.clear(); }

 private:
  CEpocDatabase& iStore;
  std::vector<CEOID> iAdded;
};

// The first non-blank character of a file's text, past a byte order mark.
char FirstSignificant(const std::string& aText);

}  // namespace kvexchange
