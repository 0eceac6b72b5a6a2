#include "exchange/import_summary.h"

#include <kvplatform_db.h>

#include "store/epoc_database.h"

namespace kvexchange {

TImportTransaction::TImportTransaction() : iVolume{} {}

TImportTransaction::~TImportTransaction() {
  if (iOpen) kvplatform::EndVolumeTransaction(iVolume, FALSE);
  if (iMounted) CeUnmountDBVol(&iVolume);
}

bool TImportTransaction::Begin(std::string& aError) {
  // The stores' volume, mounted once more: mounts share one volume, so the
  // stores' writes fall inside this transaction.
  std::u16string path = KDatabaseVolume;
  iMounted = CeMountDBVol(&iVolume, path.data(), OPEN_EXISTING);
  iOpen = iMounted && kvplatform::BeginVolumeTransaction(iVolume);
  if (!iOpen) aError = "the contacts and messages cannot be changed now (error " + std::to_string(GetLastError()) + ")";
  return iOpen;
}

bool TImportTransaction::Commit(std::string& aError) {
  iOpen = false;
  if (kvplatform::EndVolumeTransaction(iVolume, TRUE)) return true;
  aError = "the import could not be stored (error " + std::to_string(GetLastError()) + "); nothing was imported";
  return false;
}

char FirstSignificant(const std::string& aText) {
  size_t start = aText.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  size_t at = aText.find_first_not_of(" \t\r\n", start);
  return at == std::string::npos ? '\0' : aText[at];
}

}  // namespace kvexchange
