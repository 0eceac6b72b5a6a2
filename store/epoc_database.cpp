#include "store/epoc_database.h"

#include <cstring>

#include "kernel/errors.h"
#include "kernel/log.h"
#include "kernel/panic.h"

namespace {

const int KInitialReadBufferSize = 256;
const int KPropValSize = 16;
const DWORD KCreateFlags = 0x10017;  // valid name, type, sort spec and flags; no compression
const DWORD KSortFlags = CEDB_SORT_IGNORENONSPACE | CEDB_SORT_IGNORESYMBOLS;

}  // namespace

CEpocDatabaseItem::~CEpocDatabaseItem() = default;

CEpocDatabase::CEpocDatabase() : iDatabase(INVALID_HANDLE_VALUE) { SetClassName(u"CEpocDatabase"); }

CEpocDatabase::~CEpocDatabase() {
  LocalFree(iNotification);
  LocalFree(iReadBuffer);
  if (iDatabase != INVALID_HANDLE_VALUE) CloseHandle(iDatabase);
  if (!CeUnmountDBVol(&iVolume))
    LogMessageWithError(KLogFilePath, u"CEpocDatabase::~CEpocDatabase failed to unmount volume");
}

void CEpocDatabase::BaseConstructL(LPCWSTR aName, CEPROPID aSortProperty, HWND aNotifyWindow) {
  if (!CeMountDBVol(&iVolume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_ALWAYS))
    LogMessageWithError(KLogFilePath, u"CEpocDatabase::NewL Failed to open volume");

  iNotifyWindow = aNotifyWindow;
  iNotification = static_cast<CENOTIFICATION*>(LocalAlloc(LPTR, sizeof(CENOTIFICATION)));

  iDatabase = CeOpenDatabaseEx(&iVolume, &iDatabaseOid, const_cast<LPWSTR>(aName), aSortProperty,
                               CEDB_AUTOINCREMENT, nullptr);
  if (iDatabase == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
    LogMessage(KLogFilePath, u"CEpocDatabase::NewL - Creating database");
    CEDBASEINFO info;
    std::memset(&info, 0, sizeof info);
    info.dwFlags = KCreateFlags;
    for (int i = 0; aName[i] != 0 && i < CEDB_MAXDBASENAMELEN - 1; ++i) info.szDbaseName[i] = aName[i];
    info.dwDbaseType = 0;
    info.wNumSortOrder = 1;
    info.rgSortSpecs[0].propid = aSortProperty;
    info.rgSortSpecs[0].dwFlags = KSortFlags;
    iDatabaseOid = CeCreateDatabaseEx(&iVolume, &info);
    if (iDatabaseOid == 0 && GetLastError() == ERROR_ALREADY_EXISTS) {
      // The other thread's store made it in the meantime: share that one.
      iDatabase = CeOpenDatabaseEx(&iVolume, &iDatabaseOid, const_cast<LPWSTR>(aName), aSortProperty,
                                   CEDB_AUTOINCREMENT, nullptr);
    } else if (iDatabaseOid == 0) {
      LogMessageWithError(KLogFilePath, u"CEpocDatabase::NewL - Failed to create database");
      return;
    } else {
      iDatabase = CeOpenDatabaseEx(&iVolume, &iDatabaseOid, nullptr, aSortProperty, CEDB_AUTOINCREMENT, nullptr);
    }
  }
  if (iDatabase == INVALID_HANDLE_VALUE)
    LogMessage(KLogFilePath, u"CEpocDatabase::BaseConstructL - Failed to open database %1!d!", GetLastError());
}

CEpocDatabaseItem* CEpocDatabase::ReadItemL(int aIndex) {
  if (CeSeekDatabase(iDatabase, CEDB_SEEK_BEGINNING, static_cast<DWORD>(aIndex), nullptr) == 0) {
    LogMessageWithError(KLogFilePath, u"CEpocDatabase::ReadItemL failed to seek to index %d", aIndex);
    User::Leave(-1);
    return nullptr;
  }
  return ReadNextItemL();
}

CEpocDatabaseItem* CEpocDatabase::ReadItemL(CEOID aOid) {
  if (CeSeekDatabase(iDatabase, CEDB_SEEK_CEOID, aOid, nullptr) == 0) {
    LogMessageWithError(KLogFilePath, u"CEpocDatabase::ReadItemL failed to seek to oid 0x%x", aOid);
    User::Leave(-1);
    return nullptr;
  }
  return ReadNextItemL();
}

int CEpocDatabase::CacheDatabaseData(CEOID& aOid, int& aCount) {
  if (iReadBuffer == nullptr) {
    iReadBuffer = static_cast<LPBYTE>(LocalAlloc(LMEM_FIXED, KInitialReadBufferSize));
    iReadBufferSize = iReadBuffer ? KInitialReadBufferSize : 0;
  }
  DWORD size = static_cast<DWORD>(iReadBufferSize);
  WORD count = 0;
  aOid = CeReadRecordProps(iDatabase, CEDB_ALLOWREALLOC, &count, nullptr, &iReadBuffer, &size);
  if (static_cast<int>(size) > iReadBufferSize) iReadBufferSize = static_cast<int>(size);
  if (aOid != 0) {
    aCount = count;
    if (static_cast<int>(size) < count * KPropValSize) PanicEpocDatabase(0);
    return KErrNone;
  }
  DWORD error = GetLastError();
  if (error == ERROR_NO_MORE_ITEMS) return KErrEof;
  LogMessage(KLogFilePath, u"CEpocDatabase::CacheDatabaseData failed %1!d!", error);
  return KErrGeneral;
}

CEpocDatabaseItem* CEpocDatabase::ReadNextItemL() {
  CEOID oid = 0;
  int count = 0;
  if (CacheDatabaseData(oid, count) != KErrNone) return nullptr;
  CEpocDatabaseItem* item = CreateItemL();
  if (item == nullptr) return nullptr;
  item->ConstructL();
  item->SetOid(oid);
  const CEPROPVAL* values = reinterpret_cast<const CEPROPVAL*>(iReadBuffer);
  for (int i = 0; i < count; ++i) item->SetL(values[i]);
  return item;
}

CEpocDatabaseItem* CEpocDatabase::NewItemL() {
  CEpocDatabaseItem* item = CreateItemL();
  if (item != nullptr) item->ConstructL();
  return item;
}

int CEpocDatabase::FindItem(CEpocDatabaseItem& aItem) {
  int index = 0;
  for (CEpocDatabaseItem* record = ReadItemL(0); record != nullptr; record = ReadNextItemL(), ++index) {
    bool same = record->Compare(aItem) == 0;
    delete record;
    if (same) return index;
  }
  return -1;
}

CEPROPVAL* CEpocDatabase::SavedPropertiesL(CEpocDatabaseItem& aItem, int& aCount) {
  aCount = aItem.PropertyCount();
  auto* buffer = static_cast<CEPROPVAL*>(LocalAlloc(LPTR, static_cast<size_t>(aCount) * KPropValSize));
  User::LeaveIfNull(buffer);
  if (buffer != nullptr) aItem.SaveProperties(buffer);
  return buffer;
}

CEOID CEpocDatabase::WriteItemL(CEpocDatabaseItem& aItem) {
  LogMessage(KLogFilePath, u"CEpocDatabase::WriteItemL");
  if (FindItem(aItem) != -1) {
    LogMessage(KLogFilePath, u"CEpocDatabase::WriteItemL - duplicate entry not written");
    return 0;
  }
  return AddItemL(aItem);
}

CEOID CEpocDatabase::AddItemL(CEpocDatabaseItem& aItem) {
  LogMessage(KLogFilePath, u"CEpocDatabase::WriteItemL - writing to database");
  int count = 0;
  CEPROPVAL* buffer = SavedPropertiesL(aItem, count);
  if (buffer == nullptr) return 0;
  CEOID oid = CeWriteRecordProps(iDatabase, 0, static_cast<WORD>(count), buffer);
  if (oid == 0)
    LogMessageWithError(KLogFilePath, u"CEpocDatabase::WriteItem failed write");
  else if (iNotifyWindow != nullptr)
    Notify(DB_CEOID_CREATED, oid);
  LocalFree(buffer);
  CeFlushDBVol(&iVolume);
  LogMessage(KLogFilePath, u"CEpocDatabase::WriteItemL - complete");
  return oid;
}

CEOID CEpocDatabase::ReplaceItemL(CEpocDatabaseItem& aItem) {
  LogMessage(KLogFilePath, u"CEpocDatabase::ReplaceItemL");
  int count = 0;
  CEPROPVAL* buffer = SavedPropertiesL(aItem, count);
  if (buffer == nullptr) return 0;
  CEOID oid = CeWriteRecordProps(iDatabase, aItem.Oid(), static_cast<WORD>(count), buffer);
  if (oid == 0)
    LogMessageWithError(KLogFilePath, u"CEpocDatabase::ReplaceItem failed write");
  else if (iNotifyWindow != nullptr)
    Notify(DB_CEOID_CHANGED, oid);
  LocalFree(buffer);
  CeFlushDBVol(&iVolume);
  return oid;
}

void CEpocDatabase::DeleteItem(CEOID aOid) {
  if (!CeDeleteRecord(iDatabase, aOid))
    LogMessageWithError(KLogFilePath, u"CEpocDatabase::DeleteItem failed to delete item");
  else if (iNotifyWindow != nullptr)
    Notify(DB_CEOID_RECORD_DELETED, aOid);
}

// Synchronous, so the window has seen the change when the store call returns;
// the one block is reused only after the window has handled it.
void CEpocDatabase::Notify(UINT aType, CEOID aOid) {
  if (iNotification == nullptr) return;
  iNotification->dwSize = sizeof(CENOTIFICATION);
  iNotification->dwParam = 0;
  iNotification->uType = aType;
  iNotification->guid = iVolume;
  iNotification->oid = aOid;
  iNotification->oidParent = iDatabaseOid;
  SendMessageW(iNotifyWindow, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(iNotification));
}
