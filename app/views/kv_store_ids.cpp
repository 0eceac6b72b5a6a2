#include "app/views/kv_store_ids.h"

#include "store/epoc_database.h"

CEOID KvDatabaseOid(LPCWSTR aName) {
  CEGUID volume;
  if (!CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return 0;
  CEOID oid = 0;
  HANDLE database = CeOpenDatabaseEx(&volume, &oid, const_cast<LPWSTR>(aName), 0, 0, nullptr);
  if (database != INVALID_HANDLE_VALUE) CloseHandle(database);
  CeUnmountDBVol(&volume);
  return oid;
}
