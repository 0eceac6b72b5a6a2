// The Ce* database calls: the process's table of mounted volumes (mounts are
// counted per file) and database handles, each with its own read position.
#include <sys/stat.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include <kvplatform.h>
#include <kvplatform_db.h>
#include <windbase.h>

#include "../core/handle_table.h"
#include "record_codec.h"
#include "volume.h"

namespace kvplatform::db {
namespace {

// Identifiers of mounted volumes carry this mark beside their number, so a
// stray or invalid CEGUID is not taken for one.
constexpr DWORD kGuidMark = 0x4B764442;

struct Mount {
  DWORD number;
  std::shared_ptr<Volume> volume;
  int count;
};

std::mutex gMountLock;
std::vector<Mount> gMounts;
DWORD gNextMount = 1;

std::shared_ptr<Volume> VolumeOf(const CEGUID* guid) {
  if (guid == nullptr || guid->Data2 != kGuidMark || guid->Data3 != 0 || guid->Data4 != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard guard(gMountLock);
  for (Mount& mount : gMounts)
    if (mount.number == guid->Data1) return mount.volume;
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

void SetGuid(PCEGUID guid, DWORD number) { *guid = {number, kGuidMark, 0, 0}; }

class DatabaseObject : public KernelObject {
 public:
  DatabaseObject(std::shared_ptr<Volume> volume, DatabaseInfo info, int slot, DWORD flags)
      : volume(std::move(volume)), info(std::move(info)), slot(slot), flags(flags) {}

  // The volume outlives an unmount while a handle still uses it.
  const std::shared_ptr<Volume> volume;
  const DatabaseInfo info;
  const int slot;
  const DWORD flags;
  Position position;
  ReadAhead ahead;
};

HANDLE NewDatabaseHandle(std::shared_ptr<Volume> volume, DatabaseInfo info, int slot, DWORD flags) {
  uintptr_t handle =
      kvplatform::InsertHandle(std::make_shared<DatabaseObject>(std::move(volume), std::move(info), slot, flags));
  if (handle == 0) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return INVALID_HANDLE_VALUE;
  }
  return kvplatform::ToHandle(handle);
}

std::shared_ptr<DatabaseObject> DatabaseOf(HANDLE handle) {
  auto object = LookupAs<DatabaseObject>(handle);
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

}  // namespace
}  // namespace kvplatform::db

using namespace kvplatform::db;

BOOL CeMountDBVol(PCEGUID volume, LPWSTR path, DWORD flags) {
  if (volume == nullptr || path == nullptr ||
      (flags != OPEN_EXISTING && flags != OPEN_ALWAYS && flags != CREATE_NEW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string hostPath;
  if (!kvplatform::DevicePathToHost(path, hostPath)) return FALSE;
  std::lock_guard guard(gMountLock);
  struct stat info;
  if (stat(hostPath.c_str(), &info) == 0) {
    for (Mount& mount : gMounts) {
      if (mount.volume->device() == info.st_dev && mount.volume->inode() == info.st_ino) {
        if (flags == CREATE_NEW) {
          SetLastError(ERROR_FILE_EXISTS);
          return FALSE;
        }
        ++mount.count;
        SetGuid(volume, mount.number);
        return TRUE;
      }
    }
  }
  std::shared_ptr<Volume> opened = Volume::Open(hostPath, flags);
  if (!opened) return FALSE;
  DWORD number = gNextMount++;
  gMounts.push_back({number, std::move(opened), 1});
  SetGuid(volume, number);
  return TRUE;
}

BOOL CeUnmountDBVol(PCEGUID volume) {
  if (!VolumeOf(volume)) return FALSE;
  std::lock_guard guard(gMountLock);
  for (auto it = gMounts.begin(); it != gMounts.end(); ++it) {
    if (it->number != volume->Data1) continue;
    if (--it->count == 0) gMounts.erase(it);
    return TRUE;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

BOOL CeFlushDBVol(PCEGUID volume) {
  auto mounted = VolumeOf(volume);
  return mounted ? mounted->Flush() : FALSE;
}

CEOID CeCreateDatabaseEx(PCEGUID volume, CEDBASEINFO* info) {
  auto mounted = VolumeOf(volume);
  if (!mounted) return 0;
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return mounted->CreateDatabase(*info);
}

HANDLE CeOpenDatabaseEx(PCEGUID volume, PCEOID database, LPWSTR name, CEPROPID sortProperty, DWORD flags,
                        CENOTIFYREQUEST* request) {
  auto mounted = VolumeOf(volume);
  if (!mounted) return INVALID_HANDLE_VALUE;
  if (database == nullptr || (flags & ~DWORD{CEDB_AUTOINCREMENT}) != 0 || (name == nullptr && *database == 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (request != nullptr) {
    // Changes are announced by the program itself, not by the system.
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string text = name ? std::u16string(name) : std::u16string();
  auto info = mounted->FindDatabase(name ? &text : nullptr, *database);
  if (!info) return INVALID_HANDLE_VALUE;
  int slot = 0;
  if (sortProperty != 0) {
    slot = -1;
    for (size_t i = 0; i < info->sortOrders.size() && slot < 0; ++i)
      if (info->sortOrders[i].propid == sortProperty) slot = static_cast<int>(i);
    if (slot < 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
    }
  }
  CEOID oid = info->oid;
  HANDLE handle = NewDatabaseHandle(std::move(mounted), std::move(*info), slot, flags);
  if (handle != INVALID_HANDLE_VALUE) *database = oid;
  return handle;
}

HANDLE kvplatform::OpenDatabaseInStoredOrder(const CEGUID& volume, CEOID database) {
  auto mounted = VolumeOf(&volume);
  if (!mounted) return INVALID_HANDLE_VALUE;
  if (database == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto info = mounted->FindDatabase(nullptr, database);
  if (!info) return INVALID_HANDLE_VALUE;
  return NewDatabaseHandle(std::move(mounted), std::move(*info), kStoredOrder, CEDB_AUTOINCREMENT);
}

CEOID CeSeekDatabase(HANDLE database, DWORD seekType, DWORD_PTR value, LPDWORD index) {
  auto db = DatabaseOf(database);
  if (!db) return 0;
  if (db->slot == kStoredOrder && seekType != CEDB_SEEK_BEGINNING) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  if (seekType == CEDB_SEEK_BEGINNING) {
    if (value > 0xffffffffu) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    CEOID found = db->volume->SeekIndex(db->info, db->slot, static_cast<DWORD>(value), db->position);
    if (found != 0 && index != nullptr) *index = static_cast<DWORD>(value);
    return found;
  }
  if (seekType == CEDB_SEEK_CEOID) {
    if (value > 0xffffffffu) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    return db->volume->SeekRecord(db->info, db->slot, static_cast<CEOID>(value), db->position, index);
  }
  if (seekType == CEDB_SEEK_END) {
    if (value > 0xffffffffu) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    return db->volume->SeekFromEnd(db->info, db->slot, static_cast<DWORD>(value), db->position, index);
  }
  if (seekType == CEDB_SEEK_VALUEFIRSTEQUAL || seekType == CEDB_SEEK_VALUEGREATER) {
    const auto* wanted = reinterpret_cast<const CEPROPVAL*>(value);
    if (wanted == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    if (seekType == CEDB_SEEK_VALUEGREATER)
      return db->volume->SeekAfterValue(db->info, db->slot, *wanted, db->position, index);
    return db->volume->SeekValue(db->info, db->slot, *wanted, db->position, index);
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

CEOID CeReadRecordProps(HANDLE database, DWORD flags, LPWORD propertyCount, CEPROPID* properties, LPBYTE* buffer,
                        LPDWORD bufferSize) {
  auto db = DatabaseOf(database);
  if (!db) return 0;
  if (propertyCount == nullptr || properties != nullptr || buffer == nullptr || bufferSize == nullptr ||
      (flags & ~DWORD{CEDB_ALLOWREALLOC}) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::vector<unsigned char> props;
  std::vector<unsigned char> key;
  CEOID record = db->volume->ReadAt(db->info, db->slot, db->position, props, key, &db->ahead);
  if (record == 0) return 0;
  WORD count = 0;
  std::optional<size_t> size = ReadBufferSize(props, count);
  if (!size) {
    SetLastError(ERROR_BADDB);
    return 0;
  }
  size_t needed = *size;
  if (needed > 0xffffffffu) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (*buffer == nullptr || *bufferSize < needed) {
    if (!(flags & CEDB_ALLOWREALLOC)) {
      *bufferSize = static_cast<DWORD>(needed);
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    HLOCAL grown = *buffer == nullptr ? LocalAlloc(LMEM_FIXED, needed) : LocalReAlloc(*buffer, needed, LMEM_MOVEABLE);
    if (grown == nullptr) return 0;  // the caller's block is still valid
    *buffer = static_cast<LPBYTE>(grown);
    *bufferSize = static_cast<DWORD>(needed);
  }
  FillReadBuffer(props, count, *buffer);
  *propertyCount = count;
  db->position = (db->flags & CEDB_AUTOINCREMENT) ? Position{std::move(key), record, false}
                                                  : Position{std::move(key), record, true};
  return record;
}

CEOID CeWriteRecordProps(HANDLE database, CEOID record, WORD propertyCount, CEPROPVAL* values) {
  auto db = DatabaseOf(database);
  if (!db) return 0;
  if (values == nullptr && propertyCount != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return db->volume->Write(db->info, record, values, propertyCount);
}

BOOL CeDeleteRecord(HANDLE database, CEOID record) {
  auto db = DatabaseOf(database);
  if (!db) return FALSE;
  return db->volume->Delete(db->info, record);
}

BOOL CeSetDatabaseInfoEx(PCEGUID volume, CEOID database, CEDBASEINFO* info) {
  auto mounted = VolumeOf(volume);
  if (!mounted) return FALSE;
  if (info == nullptr || database == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return mounted->SetDatabaseInfo(database, *info);
}

BOOL CeOidGetInfoEx(PCEGUID volume, CEOID object, CEOIDINFO* info) {
  auto mounted = VolumeOf(volume);
  if (!mounted) return FALSE;
  if (info == nullptr || object == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return mounted->ObjectInfo(object, *info);
}

BOOL kvplatform::BeginVolumeTransaction(const CEGUID& volume) {
  std::shared_ptr<Volume> mounted = VolumeOf(&volume);
  return mounted != nullptr && mounted->BeginTransaction();
}

BOOL kvplatform::EndVolumeTransaction(const CEGUID& volume, BOOL commit) {
  std::shared_ptr<Volume> mounted = VolumeOf(&volume);
  return mounted != nullptr && mounted->EndTransaction(commit != FALSE);
}

BOOL kvplatform::AddValueIndex(const CEGUID& volume, CEOID database, CEPROPID property, bool& made,
                               IndexProgress progress, void* context) {
  made = false;
  std::shared_ptr<Volume> mounted = VolumeOf(&volume);
  return mounted != nullptr && mounted->AddValueIndex(database, property, made, progress, context);
}

BOOL kvplatform::FindRecordsWithValue(const CEGUID& volume, CEOID database, CEPROPID property,
                                      const std::u16string& value, std::vector<CEOID>& records) {
  std::shared_ptr<Volume> mounted = VolumeOf(&volume);
  return mounted != nullptr && mounted->FindWithValue(database, property, value, records);
}

BOOL kvplatform::FindRecordsWithAnyValue(const CEGUID& volume, CEOID database, CEPROPID property,
                                         std::vector<CEOID>& records) {
  std::shared_ptr<Volume> mounted = VolumeOf(&volume);
  return mounted != nullptr && mounted->FindWithAnyValue(database, property, records);
}

BOOL kvplatform::ReadIndexedValues(const CEGUID& volume, CEOID database, CEPROPID property,
                                   std::vector<IndexedValue>& values) {
  std::shared_ptr<Volume> mounted = VolumeOf(&volume);
  return mounted != nullptr && mounted->IndexedValues(database, property, values);
}

BOOL kvplatform::AddTextIndex(const CEGUID& volume, CEOID database, const CEPROPID* properties, WORD count,
                              IndexProgress progress, void* context) {
  std::shared_ptr<Volume> mounted = VolumeOf(&volume);
  if (mounted == nullptr) return FALSE;
  if (properties == nullptr || count == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return mounted->AddTextIndex(database, std::vector<CEPROPID>(properties, properties + count), progress, context);
}

BOOL kvplatform::SearchText(const CEGUID& volume, CEOID database, const std::u16string& query, CEOID before,
                            DWORD limit, std::vector<CEOID>& records) {
  std::shared_ptr<Volume> mounted = VolumeOf(&volume);
  return mounted != nullptr && mounted->SearchText(database, FoldForSearch(query), before, limit, records);
}
