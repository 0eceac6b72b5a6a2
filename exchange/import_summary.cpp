#include "exchange/import_summary.h"

namespace kvexchange {

TStagedWrite::~TStagedWrite() {
  for (auto oid = iAdded.rbegin(); oid != iAdded.rend(); ++oid) iStore.DeleteItem(*oid);
}

char FirstSignificant(const std::string& aText) {
  size_t start = aText.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  size_t at = aText.find_first_not_of(" \t\r\n", start);
  return at == std::string::npos ? '\0' : aText[at];
}

}  // namespace kvexchange
