#include "store/epoc_database.h"

#include <cstring>

#include <kvplatform_db.h>

#include "kernel/errors.h"
#include "kernel/log.h"
#include "kernel/panic.h"
#include "store/duplicate_key.h"

namespace {

const int KInitialReadBufferSize = 256;
const int KPropValSize = 16;
const DWORD KCreateFlags = 0x10017;  // valid name, type, sort spec and flags; no compression
const DWORD KSortFlags = CEDB_SORT_IGNORENONSPACE | CEDB_SORT_IGNORESYMBOLS;
// Descending, so that records without a key (written by an earlier version)
// come first: one read at opening tells whether any is left to key.
const DWORD KKeySortFlags = CEDB_SORT_DESCENDING;
const int KKeyedProgressStep = 1000;

}  // namespace

CEpocDatabaseItem::~CEpocDatabaseItem() = default;

CEpocDatabase::CEpocDatabase()
    : iDatabase(INVALID_HANDLE_VALUE), iKeyDatabase(INVALID_HANDLE_VALUE), iStoredOrder(INVALID_HANDLE_VALUE) {
  SetClassName(u"CEpocDatabase");
}

CEpocDatabase::~CEpocDatabase() {
  LocalFree(iNotification);
  LocalFree(iReadBuffer);
  CloseDuplicateIndex();
  if (iStoredOrder != INVALID_HANDLE_VALUE) CloseHandle(iStoredOrder);
  LocalFree(iStoredReadBuffer);
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
    info.wNumSortOrder = 2;
    info.rgSortSpecs[0].propid = aSortProperty;
    info.rgSortSpecs[0].dwFlags = KSortFlags;
    info.rgSortSpecs[1].propid = KDuplicateKeyProp;
    info.rgSortSpecs[1].dwFlags = KKeySortFlags;
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
  if (iDatabase == INVALID_HANDLE_VALUE) {
    LogMessage(KLogFilePath, u"CEpocDatabase::BaseConstructL - Failed to open database %1!d!", GetLastError());
    return;
  }
  OpenDuplicateIndexL();
}

void CEpocDatabase::OpenDuplicateIndexL() {
  iKeyDatabase = OpenOrderL(KDuplicateKeyProp, KKeySortFlags, u"CEpocDatabase::NewL - Making the duplicate index");
  // An index that cannot be completed is not used: a search through it
  // could miss a record.
  if (iKeyDatabase != INVALID_HANDLE_VALUE && !KeyUnkeyedRecordsL()) CloseDuplicateIndex();
}

HANDLE CEpocDatabase::OpenOrderL(CEPROPID aProperty, DWORD aFlags, LPCWSTR aMakingLine) {
  // Opening fails only when the database lacks the sort order: the usual
  // case costs no look at the database's description.
  CEOID oid = iDatabaseOid;
  HANDLE handle = CeOpenDatabaseEx(&iVolume, &oid, nullptr, aProperty, CEDB_AUTOINCREMENT, nullptr);
  if (handle != INVALID_HANDLE_VALUE) return handle;
  CEOIDINFO info;
  if (!CeOidGetInfoEx(&iVolume, iDatabaseOid, &info)) {
    LogMessageWithError(KLogFilePath, u"CEpocDatabase::OpenOrderL - Failed to read the sort orders");
    return INVALID_HANDLE_VALUE;
  }
  CEDBASEINFO& changed = info.infDatabase;
  bool present = false;
  for (int i = 0; i < changed.wNumSortOrder; ++i) present = present || changed.rgSortSpecs[i].propid == aProperty;
  if (!present) {
    LogMessage(KLogFilePath, aMakingLine);
    // The order of keys made the earlier way is no use to anyone now: the
    // current key takes its place, where every place may already be taken.
    int place = changed.wNumSortOrder;
    for (int i = 0; i < changed.wNumSortOrder; ++i)
      if (aProperty == KDuplicateKeyProp && changed.rgSortSpecs[i].propid == KEarlierDuplicateKeyProp) place = i;
    if (place >= CEDB_MAXSORTORDER) {
      LogMessage(KLogFilePath, u"CEpocDatabase::OpenOrderL - No room for another sort order");
      return INVALID_HANDLE_VALUE;
    }
    changed.dwFlags = CEDB_VALIDSORTSPEC;
    if (place == changed.wNumSortOrder) ++changed.wNumSortOrder;
    changed.rgSortSpecs[place].propid = aProperty;
    changed.rgSortSpecs[place].dwFlags = aFlags;
    if (!CeSetDatabaseInfoEx(&iVolume, iDatabaseOid, &changed)) {
      LogMessageWithError(KLogFilePath, u"CEpocDatabase::OpenOrderL - Failed to add the sort order");
      return INVALID_HANDLE_VALUE;
    }
  }
  handle = CeOpenDatabaseEx(&iVolume, &oid, nullptr, aProperty, CEDB_AUTOINCREMENT, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    LogMessageWithError(KLogFilePath, u"CEpocDatabase::OpenOrderL - Failed to open the sort order");
  return handle;
}

// Records without a key (all of an earlier version's volume, or those an
// earlier version wrote since) sort first in the key order: key them one
// by one until the first record has one.
bool CEpocDatabase::KeyUnkeyedRecordsL() {
  int keyed = 0;
  CEOID previous = 0;
  for (;;) {
    CEOID oid = CeSeekDatabase(iKeyDatabase, CEDB_SEEK_BEGINNING, 0, nullptr);
    if (oid == 0) {
      if (GetLastError() == ERROR_NO_MORE_ITEMS) break;  // an empty database
      LogMessageWithError(KLogFilePath, u"CEpocDatabase::NewL - Failed to read the duplicate index");
      return false;
    }
    bool hasKey = false;
    ULONGLONG key = 0;
    CEpocDatabaseItem* record = ReadIndexedItemL(hasKey, key);
    if (record == nullptr) return false;
    if (hasKey || record->Oid() == previous) {
      // Keyed, or a write that did not take: the same record would come again.
      delete record;
      if (!hasKey) return false;
      break;
    }
    if (keyed == 0) LogMessage(KLogFilePath, u"CEpocDatabase::NewL - Keying records for the duplicate index");
    // The key made the earlier way goes in the same write: it is never read.
    CEPROPVAL values[2] = {DuplicateKeyProperty(record->DuplicateKey()), {}};
    values[1].propid = KEarlierDuplicateKeyProp;
    values[1].wFlags = CEDB_PROPDELETE;
    previous = record->Oid();
    if (CeWriteRecordProps(iKeyDatabase, previous, 2, values) == 0) {
      delete record;
      LogMessageWithError(KLogFilePath, u"CEpocDatabase::NewL - Failed to key a record");
      return false;
    }
    RecordKeyedL(*record);
    delete record;
    if (++keyed % KKeyedProgressStep == 0)
      LogMessage(KLogFilePath, u"CEpocDatabase::NewL - %1!d! records keyed", keyed);
  }
  if (keyed > 0) LogMessage(KLogFilePath, u"CEpocDatabase::NewL - Duplicate index complete, %1!d! records keyed", keyed);
  return true;
}

void CEpocDatabase::CloseDuplicateIndex() {
  if (iKeyDatabase != INVALID_HANDLE_VALUE) CloseHandle(iKeyDatabase);
  iKeyDatabase = INVALID_HANDLE_VALUE;
  LocalFree(iKeyReadBuffer);
  iKeyReadBuffer = nullptr;
  iKeyReadBufferSize = 0;
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
  ++iReadsByIdentifier;
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
  bool hasKey = false;
  ULONGLONG key = 0;
  return ItemFromPropertiesL(oid, reinterpret_cast<const CEPROPVAL*>(iReadBuffer), count, hasKey, key);
}

CEpocDatabaseItem* CEpocDatabase::ItemFromPropertiesL(CEOID aOid, const CEPROPVAL* aValues, int aCount, bool& aHasKey,
                                                      ULONGLONG& aKey) {
  CEpocDatabaseItem* item = CreateItemL();
  if (item == nullptr) return nullptr;
  item->ConstructL();
  item->SetOid(aOid);
  aHasKey = false;
  for (int i = 0; i < aCount; ++i) {
    if (aValues[i].propid == KDuplicateKeyProp) {
      aHasKey = true;
      aKey = DuplicateKeyOf(aValues[i]);
    } else if (aValues[i].propid != KEarlierDuplicateKeyProp) {
      item->SetL(aValues[i]);
    }
  }
  return item;
}

CEpocDatabaseItem* CEpocDatabase::ReadIndexedItemL(bool& aHasKey, ULONGLONG& aKey) {
  return ReadItemFromL(iKeyDatabase, iKeyReadBuffer, iKeyReadBufferSize, aHasKey, aKey);
}

const CEPROPVAL* CEpocDatabase::ReadStoredPropertiesL(bool aFirst, CEOID& aOid, int& aCount) {
  if (aFirst && iStoredOrder == INVALID_HANDLE_VALUE && iDatabase != INVALID_HANDLE_VALUE) {
    iStoredOrder = kvplatform::OpenDatabaseInStoredOrder(iVolume, iDatabaseOid);
    // Every record is still read, in the sort order: slower, not wrong.
    if (iStoredOrder == INVALID_HANDLE_VALUE)
      LogMessageWithError(KLogFilePath, u"CEpocDatabase::ReadStoredPropertiesL - Failed to open the stored order");
  }
  HANDLE handle = iStoredOrder != INVALID_HANDLE_VALUE ? iStoredOrder : iDatabase;
  if (aFirst && CeSeekDatabase(handle, CEDB_SEEK_BEGINNING, 0, nullptr) == 0) return nullptr;
  if (iStoredOrder == INVALID_HANDLE_VALUE)
    return CacheDatabaseData(aOid, aCount) == KErrNone ? reinterpret_cast<const CEPROPVAL*>(iReadBuffer) : nullptr;
  WORD count = 0;
  aOid = CeReadRecordProps(iStoredOrder, CEDB_ALLOWREALLOC, &count, nullptr, &iStoredReadBuffer, &iStoredReadBufferSize);
  if (aOid == 0) {
    if (GetLastError() != ERROR_NO_MORE_ITEMS)
      LogMessageWithError(KLogFilePath, u"CEpocDatabase::ReadStoredPropertiesL - Failed to read a record");
    return nullptr;
  }
  aCount = count;
  return reinterpret_cast<const CEPROPVAL*>(iStoredReadBuffer);
}

int CEpocDatabase::CompareSortTexts(const TDesc16& aOne, const TDesc16& aOther) {
  // The flags that compare as the sort order's flags sort.
  const DWORD flags = (KSortFlags & CEDB_SORT_IGNORENONSPACE ? NORM_IGNORENONSPACE : 0) |
                      (KSortFlags & CEDB_SORT_IGNORESYMBOLS ? NORM_IGNORESYMBOLS : 0);
  int order = CompareStringW(LOCALE_USER_DEFAULT, flags, aOne.Ptr() != nullptr ? aOne.Ptr() : u"", aOne.Length(),
                             aOther.Ptr() != nullptr ? aOther.Ptr() : u"", aOther.Length());
  return order == 0 ? 0 : order - CSTR_EQUAL;
}

CEpocDatabaseItem* CEpocDatabase::ReadItemFromL(HANDLE aHandle, LPBYTE& aBuffer, DWORD& aSize) {
  bool hasKey = false;
  ULONGLONG key = 0;
  return ReadItemFromL(aHandle, aBuffer, aSize, hasKey, key);
}

CEpocDatabaseItem* CEpocDatabase::ReadItemFromL(HANDLE aHandle, LPBYTE& aBuffer, DWORD& aSize, bool& aHasKey,
                                                ULONGLONG& aKey) {
  WORD count = 0;
  CEOID oid = CeReadRecordProps(aHandle, CEDB_ALLOWREALLOC, &count, nullptr, &aBuffer, &aSize);
  if (oid == 0) return nullptr;
  return ItemFromPropertiesL(oid, reinterpret_cast<const CEPROPVAL*>(aBuffer), count, aHasKey, aKey);
}

CEpocDatabaseItem* CEpocDatabase::ReadRecordL(CEOID aOid, DWORD* aIndex) {
  if (CeSeekDatabase(iDatabase, CEDB_SEEK_CEOID, aOid, aIndex) == 0) return nullptr;
  return ReadNextItemL();
}

CEpocDatabaseItem* CEpocDatabase::NewItemL() {
  CEpocDatabaseItem* item = CreateItemL();
  if (item != nullptr) item->ConstructL();
  return item;
}

int CEpocDatabase::FindItem(CEpocDatabaseItem& aItem) {
  int index = -1;
  const ULONGLONG key = aItem.DuplicateKey();
  const int found = SeekKey(key);
  if (found < 0) {
    FindEqualItemByWalkL(aItem, &index);
    return index;
  }
  // Of several equal records (a long message's parts are stored without the
  // duplicate test) the first in sort order is the answer.
  for (CEOID oid = found ? NextEqualOfKeyL(aItem, key) : 0; oid != 0; oid = NextEqualOfKeyL(aItem, key)) {
    DWORD place = 0;
    if (CeSeekDatabase(iDatabase, CEDB_SEEK_CEOID, oid, &place) != 0 && (index < 0 || static_cast<int>(place) < index))
      index = static_cast<int>(place);
  }
  return index;
}

CEOID CEpocDatabase::FindEqualItemL(CEpocDatabaseItem& aItem) {
  const ULONGLONG key = aItem.DuplicateKey();
  const int found = SeekKey(key);
  if (found < 0) return FindEqualItemByWalkL(aItem, nullptr);
  return found ? NextEqualOfKeyL(aItem, key) : 0;
}

int CEpocDatabase::SeekKey(ULONGLONG aKey) {
  if (iKeyDatabase == INVALID_HANDLE_VALUE) return -1;
  CEPROPVAL value = DuplicateKeyProperty(aKey);
  if (CeSeekDatabase(iKeyDatabase, CEDB_SEEK_VALUEFIRSTEQUAL, reinterpret_cast<DWORD_PTR>(&value), nullptr) != 0)
    return 1;
  return GetLastError() == ERROR_NO_MORE_ITEMS ? 0 : -1;  // a failed index is never guessed from
}

// Records of one key follow each other in the key order; one that shares the
// key without being equal is passed over.
CEOID CEpocDatabase::NextEqualOfKeyL(CEpocDatabaseItem& aItem, ULONGLONG aKey) {
  for (;;) {
    bool hasKey = false;
    ULONGLONG recordKey = 0;
    CEpocDatabaseItem* record = ReadIndexedItemL(hasKey, recordKey);
    if (record == nullptr) return 0;
    const bool sameKey = hasKey && recordKey == aKey;
    const bool equal = sameKey && record->Compare(aItem) == 0;
    const CEOID oid = record->Oid();
    delete record;
    if (equal) return oid;
    if (!sameKey) return 0;
  }
}

CEOID CEpocDatabase::FindEqualItemByWalkL(CEpocDatabaseItem& aItem, int* aIndex) {
  int index = 0;
  for (CEpocDatabaseItem* record = ReadItemL(0); record != nullptr; record = ReadNextItemL(), ++index) {
    bool same = record->Compare(aItem) == 0;
    CEOID oid = record->Oid();
    delete record;
    if (same) {
      if (aIndex != nullptr) *aIndex = index;
      return oid;
    }
  }
  return 0;
}

CEPROPVAL* CEpocDatabase::SavedPropertiesL(CEpocDatabaseItem& aItem, int& aCount) {
  const int properties = aItem.PropertyCount();
  aCount = properties + 1;
  auto* buffer = static_cast<CEPROPVAL*>(LocalAlloc(LPTR, static_cast<size_t>(aCount) * KPropValSize));
  User::LeaveIfNull(buffer);
  if (buffer == nullptr) return nullptr;
  aItem.SaveProperties(buffer);
  buffer[properties] = DuplicateKeyProperty(aItem.DuplicateKey());
  return buffer;
}

CEOID CEpocDatabase::WriteItemL(CEpocDatabaseItem& aItem) {
  LogMessage(KLogFilePath, u"CEpocDatabase::WriteItemL");
  if (FindEqualItemL(aItem) != 0) {
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
