// What an import did, and the transaction that makes it all or nothing.
#pragma once

#include <string>
#include <vector>

#include <windbase.h>

namespace kvexchange {

struct TImportSummary {
  int iAdded = 0;
  int iSkipped = 0;    // already in the store
  std::vector<std::string> iRefused;  // "card 3 (line 20): no number"
};

// One transaction around an import's writes to the record volume: they all
// take effect at Commit, or, when the import fails or the process dies first,
// none of them does.
class TImportTransaction {
 public:
  TImportTransaction();
  ~TImportTransaction();
  TImportTransaction(const TImportTransaction&) = delete;
  TImportTransaction& operator=(const TImportTransaction&) = delete;

  // False, with aError, when the volume cannot take a transaction now.
  bool Begin(std::string& aError);
  // False, with aError, when the writes could not be made lasting; then none is.
  bool Commit(std::string& aError);

 private:
  CEGUID iVolume;
  bool iMounted = false;
  bool iOpen = false;
};

// The first non-blank character of a file's text, past a byte order mark.
char FirstSignificant(const std::string& aText);

}  // namespace kvexchange
