#include "store/tests/earlier_version_store.h"

#include <memory>

#include <windbase.h>

#include "store/messages.h"

CEOID WriteEarlierVersionMessage(const std::u16string& aName, const std::u16string& aNumber,
                                 const std::u16string& aText, DWORD aFolder, const FILETIME& aDate) {
  // The program's own store makes the volume and the database when missing.
  std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
  return WriteEarlierVersionRecord(aName, aNumber, aText, aFolder, aDate);
}

bool MakeEarlierVersionMessagesDatabase() {
  CEGUID volume;
  if (!CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_ALWAYS)) return false;
  CEOID databaseOid = 0;
  HANDLE database = CeOpenDatabaseEx(&volume, &databaseOid, const_cast<LPWSTR>(u"KvMessages"), 0, 0, nullptr);
  bool made = database != INVALID_HANDLE_VALUE;
  if (made) {
    CloseHandle(database);
  } else {
    CEDBASEINFO info = {};
    info.dwFlags = 0x10017;
    std::u16string(u"KvMessages").copy(info.szDbaseName, 10);
    info.wNumSortOrder = 1;
    info.rgSortSpecs[0] = {KMessageNameProp, CEDB_SORT_IGNORENONSPACE | CEDB_SORT_IGNORESYMBOLS};
    made = CeCreateDatabaseEx(&volume, &info) != 0;
  }
  CeUnmountDBVol(&volume);
  return made;
}

CEOID WriteEarlierVersionRecord(const std::u16string& aName, const std::u16string& aNumber,
                                const std::u16string& aText, DWORD aFolder, const FILETIME& aDate) {
  CEGUID volume;
  if (!CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return 0;
  CEOID databaseOid = 0;
  HANDLE database = CeOpenDatabaseEx(&volume, &databaseOid, const_cast<LPWSTR>(u"KvMessages"), KMessageNameProp, 0, nullptr);
  CEOID oid = 0;
  if (database != INVALID_HANDLE_VALUE) {
    std::u16string name = aName, text = aText, number = aNumber;
    CEPROPVAL values[5] = {};
    values[0].propid = KMessageNameProp;
    values[0].val.lpwstr = name.data();
    values[1].propid = KMessageTextProp;
    values[1].val.lpwstr = text.data();
    values[2].propid = KMessageNumberProp;
    values[2].val.lpwstr = number.data();
    values[3].propid = KMessageFolderProp;
    values[3].val.ulVal = aFolder;
    values[4].propid = KMessageDateProp;
    values[4].val.filetime = aDate;
    oid = CeWriteRecordProps(database, 0, 5, values);
    CloseHandle(database);
  }
  CeUnmountDBVol(&volume);
  return oid;
}

bool ForgetKeysCountry() {
  CEGUID volume;
  if (!CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return false;
  CEOID databaseOid = 0;
  HANDLE database = CeOpenDatabaseEx(&volume, &databaseOid, const_cast<LPWSTR>(u"KvKeysCountry"), 0, 0, nullptr);
  bool forgotten = database == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND;
  if (database != INVALID_HANDLE_VALUE) {
    forgotten = true;
    for (CEOID record = CeSeekDatabase(database, CEDB_SEEK_BEGINNING, 0, nullptr); record != 0;
         record = CeSeekDatabase(database, CEDB_SEEK_BEGINNING, 0, nullptr))
      if (!CeDeleteRecord(database, record)) {
        forgotten = false;
        break;
      }
    CloseHandle(database);
  }
  CeUnmountDBVol(&volume);
  return forgotten;
}
