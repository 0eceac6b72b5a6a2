// Records of a volume: seeking, reading in sort order, writing, deleting.
#include <sys/statvfs.h>

#include <algorithm>
#include <cstring>

#include "record_codec.h"
#include "volume.h"

namespace kvplatform::db {

bool Volume::LoadRecord(CEOID record, CEOID& database, std::vector<StoredValue>& values) {
  int rc = s_->recordProps.Bind(sqlite3_int64{record}).Step();
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_DONE)
      SetLastError(ERROR_INVALID_PARAMETER);
    else
      Fail(rc);
    return false;
  }
  database = static_cast<CEOID>(s_->recordProps.Int(0));
  auto decoded = DecodeRecord(s_->recordProps.Blob(1));
  s_->recordProps.Reset();
  if (!decoded) {
    SetLastError(ERROR_BADDB);
    return false;
  }
  values = std::move(*decoded);
  return true;
}

bool Volume::PutKeys(const DatabaseInfo& db, CEOID record, const std::vector<StoredValue>& values) {
  for (size_t slot = 0; slot < db.sortOrders.size(); ++slot) {
    int rc = s_->insertKey
                 .Bind(sqlite3_int64{db.oid}, static_cast<sqlite3_int64>(slot), keys_.KeyFor(db.sortOrders[slot], values),
                       sqlite3_int64{record})
                 .Step();
    if (rc != SQLITE_DONE) return Fail(rc);
  }
  return true;
}

bool Volume::Touch(CEOID database) {
  int rc = s_->touchDb.Bind(static_cast<sqlite3_int64>(Now()), sqlite3_int64{database}).Step();
  return rc == SQLITE_DONE || Fail(rc);
}

CEOID Volume::SeekIndex(const DatabaseInfo& db, int slot, DWORD index, Position& position) {
  std::lock_guard guard(lock_);
  if (slot == kStoredOrder) {
    Statement& query = s_->storedAtIndex;
    int rc = query.Bind(sqlite3_int64{db.oid}, sqlite3_int64{index}).Step();
    return LandOnRow(query, rc, db, slot, position, nullptr);
  }
  Statement& query = s_->atIndex;
  return LandOnRow(query, query.Bind(sqlite3_int64{db.oid}, sqlite3_int64{slot}, sqlite3_int64{index}).Step(), db,
                   slot, position, nullptr);
}

// Every seek ends here: the position set on the record, and its index in the
// sort order when the caller asked for it.
CEOID Volume::LandOn(const DatabaseInfo& db, int slot, std::vector<unsigned char> key, CEOID record,
                     Position& position, LPDWORD index) {
  if (index != nullptr) {
    int rc = s_->indexOf.Bind(sqlite3_int64{db.oid}, sqlite3_int64{slot}, key, sqlite3_int64{record}).Step();
    if (rc != SQLITE_ROW) return Fail(rc), 0;
    *index = static_cast<DWORD>(s_->indexOf.Int(0));
    s_->indexOf.Reset();
  }
  position = {std::move(key), record, true};
  return record;
}

// A seek's query has run: no row is past the end of the order (or a failure),
// a row (its key, its record) is where the seek lands.
CEOID Volume::LandOnRow(Statement& query, int rc, const DatabaseInfo& db, int slot, Position& position,
                        LPDWORD index) {
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_DONE)
      SetLastError(ERROR_NO_MORE_ITEMS);
    else
      Fail(rc);
    return 0;
  }
  std::vector<unsigned char> found = query.Blob(0);
  CEOID record = static_cast<CEOID>(query.Int(1));
  query.Reset();
  return LandOn(db, slot, std::move(found), record, position, index);
}

CEOID Volume::SeekRecord(const DatabaseInfo& db, int slot, CEOID record, Position& position, LPDWORD index) {
  std::lock_guard guard(lock_);
  int rc = s_->keyOf.Bind(sqlite3_int64{db.oid}, sqlite3_int64{slot}, sqlite3_int64{record}).Step();
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_DONE)
      SetLastError(ERROR_INVALID_PARAMETER);  // no such record in this database
    else
      Fail(rc);
    return 0;
  }
  std::vector<unsigned char> key = s_->keyOf.Blob(0);
  s_->keyOf.Reset();
  return LandOn(db, slot, std::move(key), record, position, index);
}

bool Volume::KeyOfValue(const DatabaseInfo& db, int slot, const CEPROPVAL& value, std::vector<unsigned char>& key) {
  const SORTORDERSPEC& spec = db.sortOrders[static_cast<size_t>(slot)];
  std::vector<StoredValue> wanted;
  DWORD error = 0;
  if (spec.propid == 0 || value.propid != spec.propid || !MergeValues(wanted, &value, 1, error) || wanted.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  key = keys_.KeyFor(spec, wanted);
  return true;
}

CEOID Volume::SeekValue(const DatabaseInfo& db, int slot, const CEPROPVAL& value, Position& position,
                        LPDWORD index) {
  std::lock_guard guard(lock_);
  std::vector<unsigned char> key;
  if (!KeyOfValue(db, slot, value, key)) return 0;
  int rc = s_->firstWithKey.Bind(sqlite3_int64{db.oid}, sqlite3_int64{slot}, key).Step();
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_DONE)
      SetLastError(ERROR_NO_MORE_ITEMS);  // no record has that value
    else
      Fail(rc);
    return 0;
  }
  CEOID record = static_cast<CEOID>(s_->firstWithKey.Int(0));
  s_->firstWithKey.Reset();
  return LandOn(db, slot, std::move(key), record, position, index);
}

CEOID Volume::SeekAfterValue(const DatabaseInfo& db, int slot, const CEPROPVAL& value, Position& position,
                             LPDWORD index) {
  std::lock_guard guard(lock_);
  std::vector<unsigned char> key;
  if (!KeyOfValue(db, slot, value, key)) return 0;
  Statement& query = s_->firstAfterKey;
  // No row: every record sorts at or before the value.
  return LandOnRow(query, query.Bind(sqlite3_int64{db.oid}, sqlite3_int64{slot}, key).Step(), db, slot, position,
                   index);
}

CEOID Volume::SeekFromEnd(const DatabaseInfo& db, int slot, DWORD back, Position& position, LPDWORD index) {
  std::lock_guard guard(lock_);
  Statement& query = s_->fromEnd;
  return LandOnRow(query, query.Bind(sqlite3_int64{db.oid}, sqlite3_int64{slot}, sqlite3_int64{back}).Step(), db,
                   slot, position, index);
}

namespace {

// Rows read ahead grow from a few after the first read to this many.
constexpr size_t kFirstAhead = 16;
constexpr size_t kMostAhead = 256;

}  // namespace

bool Volume::JournalHeader(std::array<unsigned char, 48>& header) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || file == nullptr ||
      file->pMethods == nullptr || file->pMethods->iVersion < 2 || file->pMethods->xShmMap == nullptr ||
      file->pMethods->xShmBarrier == nullptr)
    return false;
  // The first region of the index, mapped by SQLite since the journal was
  // opened; asking for it maps nothing new.
  constexpr int kIndexRegion = 32768;
  void volatile* region = nullptr;
  if (file->pMethods->xShmMap(file, 0, kIndexRegion, 0, &region) != SQLITE_OK || region == nullptr) return false;
  // SQLite's own barrier around reads of the shared index, as it reads it.
  file->pMethods->xShmBarrier(file);
  const volatile unsigned char* bytes = static_cast<const volatile unsigned char*>(region);
  for (size_t i = 0; i < header.size(); ++i) header[i] = bytes[i];
  file->pMethods->xShmBarrier(file);
  return true;
}

// Rows read ahead answer only while nothing has changed the volume since:
// no commit by any process (each rewrites the journal's header) and no
// write of this connection, also inside a transaction held open.
bool Volume::AheadIsCurrent(const ReadAhead& ahead) {
  std::array<unsigned char, 48> header;
  return ahead.changes == sqlite3_total_changes64(db_) && JournalHeader(header) && header == ahead.journalHeader;
}

CEOID Volume::ReadAt(const DatabaseInfo& db, int slot, const Position& position, std::vector<unsigned char>& props,
                     std::vector<unsigned char>& key, ReadAhead* ahead) {
  std::lock_guard guard(lock_);
  // Reading on from the row this handle read last: its next rows may be here already.
  const bool readingOn = ahead != nullptr && !position.inclusive && ahead->lastOid != 0 &&
                         position.oid == ahead->lastOid && position.key == ahead->lastKey;
  if (!readingOn && ahead != nullptr) *ahead = ReadAhead{};
  if (readingOn && ahead->next < ahead->rows.size() && AheadIsCurrent(*ahead)) {
    ReadAhead::Row& row = ahead->rows[ahead->next++];
    props = std::move(row.props);
    key = row.key;
    ahead->lastKey = std::move(row.key);
    ahead->lastOid = row.oid;
    return ahead->lastOid;
  }
  // The volume as it is before the query: a commit after this point shows
  // as a changed header, so rows kept are never older than it says. Inside
  // a transaction held open none are kept: its writes may yet be undone.
  size_t wanted = 1;
  if (ahead != nullptr) {
    ahead->rows.clear();
    ahead->next = 0;
  }
  if (readingOn && sqlite3_get_autocommit(db_) != 0 && JournalHeader(ahead->journalHeader)) {
    ahead->changes = sqlite3_total_changes64(db_);
    wanted = std::min(kMostAhead, std::max(kFirstAhead, ahead->batch * 2));
  }
  // One statement finds and loads the records, so all come from one snapshot
  // even while another process writes.
  const auto limit = static_cast<sqlite3_int64>(wanted);
  int rc = SQLITE_ERROR;
  Statement* query = nullptr;
  if (slot == kStoredOrder) {
    query = position.inclusive ? &s_->storedInclusive : &s_->storedExclusive;
    rc = query->Bind(sqlite3_int64{db.oid}, sqlite3_int64{position.oid}, limit).Step();
  } else {
    query = position.inclusive ? &s_->nextInclusive : &s_->nextExclusive;
    rc = query->Bind(sqlite3_int64{db.oid}, sqlite3_int64{slot}, position.key, sqlite3_int64{position.oid}, limit)
             .Step();
  }
  Statement& next = *query;
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_DONE)
      SetLastError(ERROR_NO_MORE_ITEMS);
    else
      Fail(rc);
    return 0;
  }
  key = next.Blob(0);
  CEOID found = static_cast<CEOID>(next.Int(1));
  props = next.Blob(2);
  if (wanted > 1) {
    ahead->batch = wanted;
    while ((rc = next.Step()) == SQLITE_ROW)
      ahead->rows.push_back({next.Blob(0), static_cast<CEOID>(next.Int(1)), next.Blob(2)});
    // A query cut short keeps none: the next read asks again.
    if (rc != SQLITE_DONE) ahead->rows.clear();
  }
  next.Reset();
  if (ahead != nullptr) {
    ahead->lastKey = key;
    ahead->lastOid = found;
  }
  return found;
}

CEOID Volume::Write(const DatabaseInfo& db, CEOID record, const CEPROPVAL* values, WORD count) {
  std::lock_guard guard(lock_);
  WriteTransaction transaction(s_->begin, s_->commit, s_->rollback);
  if (transaction.began() != SQLITE_OK) return Fail(transaction.began()), 0;
  std::vector<StoredValue> stored;
  if (record != 0) {
    CEOID parent = 0;
    if (!LoadRecord(record, parent, stored)) return 0;
    if (parent != db.oid) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  }
  DWORD error = 0;
  if (!MergeValues(stored, values, count, error)) {
    SetLastError(error);
    return 0;
  }
  std::vector<unsigned char> bytes = EncodeRecord(stored);
  int rc;
  const bool created = record == 0;
  if (created) {
    record = NextOid();
    if (record == 0) return 0;
    rc = s_->insertRecord.Bind(sqlite3_int64{record}, sqlite3_int64{db.oid}, bytes).Step();
  } else {
    rc = s_->deleteKeys.Bind(sqlite3_int64{record}).Step();
    if (rc == SQLITE_DONE) rc = s_->updateRecord.Bind(bytes, sqlite3_int64{record}).Step();
  }
  if (rc != SQLITE_DONE) return Fail(rc), 0;
  // Keys for the sort orders the database has now: another handle may have
  // changed them since this one was opened.
  auto current = FindDatabaseLocked(nullptr, db.oid);
  if (!current || !PutKeys(*current, record, stored) || !IndexRecord(db.oid, record, stored, values, count, created) ||
      !Touch(db.oid))
    return 0;
  rc = transaction.Commit();
  if (rc != SQLITE_OK) return Fail(rc), 0;
  return record;
}

BOOL Volume::Delete(const DatabaseInfo& db, CEOID record) {
  std::lock_guard guard(lock_);
  WriteTransaction transaction(s_->begin, s_->commit, s_->rollback);
  if (transaction.began() != SQLITE_OK) return Fail(transaction.began());
  CEOID parent = 0;
  std::vector<StoredValue> stored;
  if (!LoadRecord(record, parent, stored)) return FALSE;
  if (parent != db.oid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int rc = s_->deleteKeys.Bind(sqlite3_int64{record}).Step();
  if (rc == SQLITE_DONE) rc = s_->deleteRecord.Bind(sqlite3_int64{record}).Step();
  if (rc != SQLITE_DONE) return Fail(rc);
  if (!UnindexRecord(record) || !Touch(db.oid)) return FALSE;
  rc = transaction.Commit();
  return rc == SQLITE_OK ? TRUE : Fail(rc);
}

BOOL Volume::ObjectInfo(CEOID object, CEOIDINFO& info) {
  std::lock_guard guard(lock_);
  std::memset(&info, 0, sizeof info);
  if (auto db = FindDatabaseLocked(nullptr, object)) {
    int rc = s_->dbStats.Bind(sqlite3_int64{object}).Step();
    if (rc != SQLITE_ROW) return Fail(rc);
    sqlite3_int64 records = s_->dbStats.Int(0);
    sqlite3_int64 size = s_->dbStats.Int(1);
    s_->dbStats.Reset();
    CEDBASEINFO& out = info.infDatabase;
    info.wObjType = OBJTYPE_DATABASE;
    out.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC | CEDB_VALIDMODTIME | CEDB_VALIDDBFLAGS | db->flags;
    std::memcpy(out.szDbaseName, db->name.data(), db->name.size() * sizeof(WCHAR));
    out.dwDbaseType = db->type;
    out.wNumRecords = static_cast<WORD>(records > 0xffff ? 0xffff : records);
    out.dwSize = static_cast<DWORD>(size > 0xffffffffLL ? 0xffffffffLL : size);
    out.ftLastModified = {static_cast<DWORD>(db->modified), static_cast<DWORD>(db->modified >> 32)};
    WORD count = 0;
    for (const SORTORDERSPEC& spec : db->sortOrders)
      if (spec.propid != 0) out.rgSortSpecs[count++] = spec;
    out.wNumSortOrder = count;
    return TRUE;
  }
  CEOID parent = 0;
  std::vector<StoredValue> values;
  if (!LoadRecord(object, parent, values)) return FALSE;
  info.wObjType = OBJTYPE_RECORD;
  info.infRecord.oidParent = parent;
  return TRUE;
}

BOOL Volume::Flush() {
  std::lock_guard guard(lock_);
  // The journal's own file, synced as SQLite syncs it (its folder too, the
  // first time): the commits in it then survive a crash of the system, even
  // when a reader elsewhere keeps the checkpoint below from copying them.
  sqlite3_file* journal = nullptr;
  int rc = sqlite3_file_control(db_, "main", SQLITE_FCNTL_JOURNAL_POINTER, &journal);
  if (rc != SQLITE_OK) return Fail(rc);
  if (journal != nullptr && journal->pMethods != nullptr) {
    rc = journal->pMethods->xSync(journal, SQLITE_SYNC_NORMAL);
    if (rc != SQLITE_OK) return Fail(rc);
  }
  // Then moved into the volume file once the journal has grown past a bound:
  // moving it costs a second sync, so it is done for many writes at once,
  // yet a journal left to grow to SQLite's own limit would take megabytes a
  // small or nearly full disk does not have. Inside a transaction held open
  // nothing is in the journal yet to move.
  if (sqlite3_get_autocommit(db_) == 0) return TRUE;
  if (static_cast<off_t>(journalPages_) * pageSize_ <= JournalBound()) return TRUE;
  int moved = 0;
  rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, &journalPages_, &moved);
  if (rc != SQLITE_OK) return Fail(rc);
  // Pages a reader elsewhere still needs stay in the journal for later.
  journalPages_ -= moved;
  return TRUE;
}

int Volume::OnJournalCommit(void* volume, sqlite3* db, const char* name, int pages) {
  auto* self = static_cast<Volume*>(volume);
  self->journalPages_ = pages;
  // A long run of writes with no flush between (an import in one
  // transaction) moves the journal as SQLite itself would.
  constexpr int kMostPagesUnflushed = 1000;
  if (pages > kMostPagesUnflushed) {
    int moved = 0;
    if (sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, &self->journalPages_, &moved) == SQLITE_OK)
      self->journalPages_ -= moved;
  }
  return SQLITE_OK;
}

// A quarter of a megabyte, or an eighth of the space left on the volume's
// disk when that is less: the journal is never what fills a disk.
off_t Volume::JournalBound() const {
  constexpr off_t kMostJournal = 256 * 1024;
  struct statvfs disk;
  if (statvfs(path_.c_str(), &disk) != 0) return 0;
  const unsigned long long free = static_cast<unsigned long long>(disk.f_bavail) * disk.f_frsize;
  return static_cast<off_t>(std::min<unsigned long long>(kMostJournal, free / 8));
}

}  // namespace kvplatform::db
