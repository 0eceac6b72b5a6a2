#include "volume.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <kvplatform.h>

#include "record_codec.h"
#include "../core/host_errors.h"

namespace kvplatform::db {
namespace {

constexpr int kBusyTimeoutMs = 15000;

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS databases(oid INTEGER PRIMARY KEY, name TEXT NOT NULL,"
    "  folded TEXT NOT NULL UNIQUE, type INTEGER NOT NULL, flags INTEGER NOT NULL, modified INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS sortorders(db INTEGER NOT NULL, slot INTEGER NOT NULL, propid INTEGER NOT NULL,"
    "  flags INTEGER NOT NULL, PRIMARY KEY(db, slot)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS records(oid INTEGER PRIMARY KEY, db INTEGER NOT NULL, props BLOB NOT NULL);"
    "CREATE INDEX IF NOT EXISTS records_by_db ON records(db);"
    "CREATE TABLE IF NOT EXISTS sortkeys(db INTEGER NOT NULL, slot INTEGER NOT NULL, key BLOB NOT NULL,"
    "  oid INTEGER NOT NULL, PRIMARY KEY(db, slot, key, oid)) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS sortkeys_by_oid ON sortkeys(oid);"
    "INSERT OR IGNORE INTO meta VALUES('next_oid', 1);";

// Added in format 2: indexes a database asks for on its text properties
// (volume_indexes.cpp), kept in the same transaction as each record.
const char kIndexSchema[] =
    "CREATE TABLE IF NOT EXISTS valueindexes(db INTEGER NOT NULL, propid INTEGER NOT NULL,"
    "  PRIMARY KEY(db, propid)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS indexedvalues(db INTEGER NOT NULL, propid INTEGER NOT NULL, value TEXT NOT NULL,"
    "  oid INTEGER NOT NULL, PRIMARY KEY(db, propid, value, oid)) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS indexedvalues_by_oid ON indexedvalues(oid);"
    "CREATE TABLE IF NOT EXISTS textindexes(db INTEGER NOT NULL, position INTEGER NOT NULL, propid INTEGER NOT NULL,"
    "  PRIMARY KEY(db, position)) WITHOUT ROWID;"
    "CREATE VIRTUAL TABLE IF NOT EXISTS fulltext USING fts5(body, db UNINDEXED,"
    "  tokenize='trigram case_sensitive 1');";

std::string SchemaMadeBy(const std::string& sql) {
  sqlite3* db = nullptr;
  std::string made = "?";
  if (sqlite3_open(":memory:", &db) == SQLITE_OK && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
    made = SchemaOf(db);
  sqlite3_close(db);
  return made;
}

}  // namespace

std::string SchemaOf(sqlite3* db) {
  std::string schema;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name", -1,
                         &statement, nullptr) != SQLITE_OK)
    return "?";
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    for (int column = 0; column < 4; ++column) {
      const unsigned char* text = sqlite3_column_text(statement, column);
      schema += text ? reinterpret_cast<const char*>(text) : "";
      schema += '\x1f';
    }
    schema += '\n';
  }
  sqlite3_finalize(statement);
  return rc == SQLITE_DONE ? schema : "?";
}

const std::string& ExpectedSchema(int version) {
  static const std::string first = SchemaMadeBy(kSchema);
  static const std::string current = SchemaMadeBy(std::string(kSchema) + kIndexSchema);
  return version == 1 ? first : current;
}

namespace {

// Up to four sort orders, each on a property type the volume holds.
bool ValidSortSpecs(const CEDBASEINFO& info, WORD count) {
  if (count > CEDB_MAXSORTORDER) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  for (WORD i = 0; i < count; ++i) {
    WORD type = TypeFromPropID(info.rgSortSpecs[i].propid);
    if ((info.rgSortSpecs[i].dwFlags & ~SortKeyMaker::kKnownFlags) != 0 ||
        (type != CEVT_LPWSTR && type != CEVT_UI4 && type != CEVT_FILETIME)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
  }
  return true;
}

// The name in a CEDBASEINFO; empty when it is missing or not terminated.
std::u16string NameOf(const CEDBASEINFO& info) {
  size_t length = 0;
  while (length < CEDB_MAXDBASENAMELEN && info.szDbaseName[length] != 0) ++length;
  if (length == CEDB_MAXDBASENAMELEN) return std::u16string();
  return std::u16string(info.szDbaseName, length);
}

// How the volume file stands: its identity, size and times, or empty while
// its journal holds writes not yet in it.
std::string FileStamp(const std::string& path) {
  struct stat wal;
  if (stat((path + "-wal").c_str(), &wal) == 0 && wal.st_size != 0) return std::string();
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return std::string();
  return std::to_string(info.st_dev) + " " + std::to_string(info.st_ino) + " " + std::to_string(info.st_size) + " " +
         std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) + " " +
         std::to_string(info.st_ctim.tv_sec) + "." + std::to_string(info.st_ctim.tv_nsec);
}

// Beside the volume file, while it is closed: how this program left it after
// checking it whole. An unchanged file need not be read through again; any
// other writer, a crash, or damage from outside changes it (or leaves a
// journal), and the full check runs.
std::string CheckedStampPath(const std::string& path) { return path + "-checked"; }

std::string ReadStamp(const std::string& path) {
  char buffer[256];
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  ssize_t length = read(fd, buffer, sizeof buffer);
  close(fd);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

void WriteStamp(const std::string& path, const std::string& stamp) {
  std::string temporary = path + ".new";
  int fd = open(temporary.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return;
  bool written = write(fd, stamp.data(), stamp.size()) == static_cast<ssize_t>(stamp.size());
  close(fd);
  if (!written || rename(temporary.c_str(), path.c_str()) != 0) unlink(temporary.c_str());
}

}  // namespace

ULONGLONG Now() {
  SYSTEMTIME st;
  FILETIME ft;
  GetSystemTime(&st);
  SystemTimeToFileTime(&st, &ft);
  return (ULONGLONG{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

namespace {

std::u16string Folded(const std::u16string& name) {
  std::u16string folded = name;
  if (!folded.empty()) CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  return folded;
}

}  // namespace

std::shared_ptr<Volume> Volume::Open(const std::string& hostPath, DWORD creation) {
  struct stat info;
  bool exists = stat(hostPath.c_str(), &info) == 0;
  if (!exists) {
    if (creation == OPEN_EXISTING) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    // Created here, private to the user; SQLite gives its journal the same mode.
    int fd = open(hostPath.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) {
      SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
      return nullptr;
    }
    if (fd >= 0) close(fd);
    if (stat(hostPath.c_str(), &info) != 0) {
      SetLastErrorFromErrno();
      return nullptr;
    }
  } else if (creation == CREATE_NEW) {
    SetLastError(ERROR_FILE_EXISTS);
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }

  std::shared_ptr<Volume> volume(new Volume);
  volume->path_ = hostPath;
  volume->device_ = info.st_dev;
  volume->inode_ = info.st_ino;
  int rc = sqlite3_open_v2(hostPath.c_str(), &volume->db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    SetLastError(Win32ErrorFromSqlite(rc));
    return nullptr;
  }
  sqlite3_extended_result_codes(volume->db_, 1);
  sqlite3_busy_timeout(volume->db_, kBusyTimeoutMs);
  // A file that is refused must be left as it was: the checks only read, and
  // remaking the keys is one transaction in the rollback journal, undone
  // whole if it fails. The switch to WAL comes last.
  if (!volume->Validate() || !volume->BeginUpgrade() || !volume->Prepare() ||
      !volume->RemakeKeysIfCollationChanged() || !volume->EndUpgrade()) {
    if (volume->upgrading_) sqlite3_exec(volume->db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return nullptr;
  }
  // A commit is in the journal when a write returns, so it survives the
  // program; Flush() syncs the journal where the caller needs a write to
  // survive the system as well, one sync however many commits it covers.
  if (!volume->Exec("PRAGMA journal_mode=WAL") || !volume->Exec("PRAGMA synchronous=NORMAL")) return nullptr;
  // Pages copied in with a read each, not mapped (whatever SQLite was built
  // to do): on a virtual machine the first touch of each mapped page costs
  // more than the copy, and the pages of a large volume, once mapped, count
  // against the program's memory.
  volume->Exec("PRAGMA mmap_size=0");
  // Our own count of the journal's pages instead of SQLite's checkpoints
  // at a thousand: Flush() moves the journal much sooner (JournalBound).
  sqlite3_stmt* pageSize = nullptr;
  if (sqlite3_prepare_v2(volume->db_, "PRAGMA page_size", -1, &pageSize, nullptr) == SQLITE_OK &&
      sqlite3_step(pageSize) == SQLITE_ROW)
    volume->pageSize_ = sqlite3_column_int(pageSize, 0);
  sqlite3_finalize(pageSize);
  sqlite3_wal_hook(volume->db_, &Volume::OnJournalCommit, volume.get());
  // Open now: the stamp would no longer tell how the file was left.
  unlink(CheckedStampPath(hostPath).c_str());
  volume->accepted_ = true;
  return volume;
}

Volume::~Volume() {
  s_.reset();  // statements before the connection
  sqlite3_close_v2(db_);
  // Closing the last connection moved the journal into the file; a refused
  // file gets no stamp.
  if (!accepted_) return;
  std::string stamp = FileStamp(path_);
  if (!stamp.empty()) WriteStamp(CheckedStampPath(path_), stamp);
}

bool Volume::Fail(int rc) {
  SetLastError(Win32ErrorFromSqlite(rc));
  return false;
}

bool Volume::Exec(const char* sql) {
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK || Fail(rc);
}

// Nothing is written before the file is known to be ours and sound.
bool Volume::Validate() {
  Statement query;
  int rc = query.Prepare(db_, "PRAGMA application_id");
  if (rc == SQLITE_OK) rc = query.Bind().Step();
  if (rc != SQLITE_ROW) return Fail(rc);
  int id = static_cast<int>(query.Int(0));
  query.Reset();

  if (id == 0) {
    // An empty file, or one another process is initialising right now: both
    // hold nothing to lose. Any other SQLite file is someone else's.
    Statement tables;
    rc = tables.Prepare(db_, "SELECT count(*) FROM sqlite_master");
    if (rc == SQLITE_OK) rc = tables.Bind().Step();
    if (rc != SQLITE_ROW) return Fail(rc);
    bool empty = tables.Int(0) == 0;
    tables.Reset();
    if (!empty) {
      SetLastError(ERROR_BAD_FORMAT);
      return false;
    }
    // A damaged file can read as having no tables: only a sound one is new.
    if (!IsSound()) return false;
    return Initialise();
  }
  if (id != kApplicationId) {
    SetLastError(ERROR_BAD_FORMAT);
    return false;
  }
  Statement version;
  rc = version.Prepare(db_, "PRAGMA user_version");
  if (rc == SQLITE_OK) rc = version.Bind().Step();
  if (rc != SQLITE_ROW) return Fail(rc);
  if (version.Int(0) > kFormatVersion) {  // written by a newer program
    SetLastError(ERROR_BAD_FORMAT);
    return false;
  }
  const int format = static_cast<int>(version.Int(0));
  version.Reset();
  const std::string stamp = FileStamp(path_);
  const bool unchanged = !stamp.empty() && ReadStamp(CheckedStampPath(path_)) == stamp;
  if (!unchanged && !IsSound()) return false;
  // Tables and indexes exactly as this program makes them: a changed
  // definition can pass every check of SQLite's and still lose records.
  if (SchemaOf(db_) != ExpectedSchema(format)) {
    SetLastError(ERROR_BADDB);
    return false;
  }
  upgrading_ = format < kFormatVersion;
  return true;
}

// The full check, indexes against their tables included: a damaged index
// would take writes where later reads do not find them.
// A sound volume of the first format gets the index tables, empty (each
// database fills its own when it asks for them), in one transaction with
// the checks still to come, so a volume refused by them is left as it was.
bool Volume::BeginUpgrade() {
  if (!upgrading_) return true;
  std::string sql = std::string("BEGIN IMMEDIATE;") + kIndexSchema + "PRAGMA user_version=" +
                    std::to_string(kFormatVersion) + ";";
  return Exec(sql.c_str());
}

bool Volume::EndUpgrade() {
  if (!upgrading_ || !Exec("COMMIT")) return !upgrading_;
  upgrading_ = false;
  return true;
}

bool Volume::IsSound() {
  Statement check;
  int rc = check.Prepare(db_, "PRAGMA integrity_check(1)");
  if (rc == SQLITE_OK) rc = check.Bind().Step();
  if (rc != SQLITE_ROW) return Fail(rc);
  bool sound = check.Text16(0) == u"ok";
  check.Reset();
  if (!sound) SetLastError(ERROR_BADDB);
  return sound;
}

bool Volume::Initialise() {
  if (!Exec("BEGIN IMMEDIATE")) return false;
  std::string sql = std::string(kSchema) + kIndexSchema + "INSERT OR IGNORE INTO meta VALUES('collator', '" +
                    SortKeyMaker::CollatorVersion() + "');PRAGMA application_id=" + std::to_string(kApplicationId) +
                    ";PRAGMA user_version=" + std::to_string(kFormatVersion) + ";";
  if (!Exec(sql.c_str()) || !Exec("COMMIT")) {
    DWORD error = GetLastError();
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    SetLastError(error);
    return false;
  }
  return true;
}

bool Volume::Prepare() {
  s_ = std::make_unique<Statements>();
  struct Item {
    Statement& statement;
    const char* sql;
  };
  Item items[] = {
      {s_->begin, "BEGIN IMMEDIATE"},
      {s_->commit, "COMMIT"},
      {s_->rollback, "ROLLBACK"},
      {s_->getMeta, "SELECT value FROM meta WHERE name=?"},
      {s_->setMeta, "INSERT OR REPLACE INTO meta VALUES(?, ?)"},
      {s_->dbByName, "SELECT oid, name, type, flags, modified FROM databases WHERE folded=?"},
      {s_->dbByOid, "SELECT oid, name, type, flags, modified FROM databases WHERE oid=?"},
      {s_->sortOrders, "SELECT propid, flags FROM sortorders WHERE db=? ORDER BY slot"},
      {s_->insertDb, "INSERT INTO databases VALUES(?, ?, ?, ?, ?, ?)"},
      {s_->insertSortOrder, "INSERT INTO sortorders VALUES(?, ?, ?, ?)"},
      {s_->touchDb, "UPDATE databases SET modified=? WHERE oid=?"},
      {s_->dbStats, "SELECT count(*), coalesce(sum(length(props)), 0) FROM records WHERE db=?"},
      {s_->storedInclusive, "SELECT x'', oid, props FROM records WHERE db=?1 AND oid >= ?2 ORDER BY oid LIMIT ?3"},
      {s_->storedExclusive, "SELECT x'', oid, props FROM records WHERE db=?1 AND oid > ?2 ORDER BY oid LIMIT ?3"},
      {s_->storedAtIndex, "SELECT x'', oid FROM records WHERE db=? ORDER BY oid LIMIT 1 OFFSET ?"},
      {s_->nextInclusive,
       "SELECT s.key, s.oid, r.props FROM sortkeys s JOIN records r ON r.oid = s.oid"
       " WHERE s.db=?1 AND s.slot=?2 AND (s.key, s.oid) >= (?3, ?4) ORDER BY s.key, s.oid LIMIT ?5"},
      {s_->nextExclusive,
       "SELECT s.key, s.oid, r.props FROM sortkeys s JOIN records r ON r.oid = s.oid"
       " WHERE s.db=?1 AND s.slot=?2 AND (s.key, s.oid) > (?3, ?4) ORDER BY s.key, s.oid LIMIT ?5"},
      {s_->atIndex, "SELECT key, oid FROM sortkeys WHERE db=? AND slot=? ORDER BY key, oid LIMIT 1 OFFSET ?"},
      {s_->fromEnd, "SELECT key, oid FROM sortkeys WHERE db=? AND slot=? ORDER BY key DESC, oid DESC LIMIT 1 OFFSET ?"},
      {s_->keyOf, "SELECT key FROM sortkeys WHERE oid=?3 AND db=?1 AND slot=?2"},
      {s_->indexOf, "SELECT count(*) FROM sortkeys WHERE db=?1 AND slot=?2 AND (key, oid) < (?3, ?4)"},
      {s_->firstWithKey, "SELECT oid FROM sortkeys WHERE db=? AND slot=? AND key=? ORDER BY oid LIMIT 1"},
      {s_->firstAfterKey, "SELECT key, oid FROM sortkeys WHERE db=? AND slot=? AND key>? ORDER BY key, oid LIMIT 1"},
      {s_->recordProps, "SELECT db, props FROM records WHERE oid=?"},
      {s_->insertRecord, "INSERT INTO records VALUES(?, ?, ?)"},
      {s_->updateRecord, "UPDATE records SET props=? WHERE oid=?"},
      {s_->deleteRecord, "DELETE FROM records WHERE oid=?"},
      {s_->insertKey, "INSERT INTO sortkeys VALUES(?, ?, ?, ?)"},
      {s_->deleteKeys, "DELETE FROM sortkeys WHERE oid=?"},
      {s_->deleteDbKeys, "DELETE FROM sortkeys WHERE db=?"},
      {s_->recordsOfDb, "SELECT oid, props FROM records WHERE db=?"},
      {s_->renameDb, "UPDATE databases SET name=?, folded=? WHERE oid=?"},
      {s_->retypeDb, "UPDATE databases SET type=? WHERE oid=?"},
      {s_->deleteSortOrders, "DELETE FROM sortorders WHERE db=?"},
      {s_->valueIndexesOf, "SELECT propid FROM valueindexes WHERE db=? ORDER BY propid"},
      {s_->insertValueIndex, "INSERT INTO valueindexes VALUES(?, ?)"},
      {s_->deleteValueOf, "DELETE FROM indexedvalues WHERE oid=?1 AND db=?2 AND propid=?3"},
      {s_->insertValue, "INSERT INTO indexedvalues VALUES(?, ?, ?, ?)"},
      {s_->deleteValuesOfRecord, "DELETE FROM indexedvalues WHERE oid=?"},
      {s_->deleteValuesOfIndex, "DELETE FROM indexedvalues WHERE db=? AND propid=?"},
      {s_->findValue, "SELECT oid FROM indexedvalues WHERE db=? AND propid=? AND value=? ORDER BY oid"},
      // A range of the key past the empty text, so the empty ones are never visited.
      {s_->findAnyValue, "SELECT oid FROM indexedvalues WHERE db=? AND propid=? AND value>'' ORDER BY oid"},
      {s_->valueGroups,
       "SELECT value, count(*), max(oid) AS newest FROM indexedvalues WHERE db=? AND propid=?"
       " GROUP BY value ORDER BY newest DESC"},
      {s_->textIndexesOf, "SELECT propid FROM textindexes WHERE db=? ORDER BY position"},
      {s_->insertTextIndex, "INSERT INTO textindexes VALUES(?, ?, ?)"},
      {s_->deleteTextIndexes, "DELETE FROM textindexes WHERE db=?"},
      {s_->insertText, "INSERT INTO fulltext(rowid, body, db) VALUES(?, ?, ?)"},
      {s_->deleteText, "DELETE FROM fulltext WHERE rowid=?"},
      {s_->deleteTextsOfDb, "DELETE FROM fulltext WHERE db=?"},
      {s_->matchText,
       "SELECT rowid FROM fulltext WHERE fulltext MATCH ?2 AND db = ?1 AND rowid < ?3 ORDER BY rowid DESC LIMIT ?4"},
      // Each text holds its database's identifier: a scan reads the texts alone.
      {s_->scanText,
       "SELECT rowid FROM fulltext WHERE db = ?1 AND rowid < ?3 AND instr(body, ?2) > 0 ORDER BY rowid DESC LIMIT ?4"},
      {s_->countRecords, "SELECT count(*) FROM records WHERE db=?"},
  };
  for (Item& item : items) {
    int rc = item.statement.Prepare(db_, item.sql);
    if (rc != SQLITE_OK) return Fail(rc);
  }
  return true;
}

bool Volume::KeysAreCurrent() {
  bool current = s_->getMeta.Bind(std::u16string(u"collator")).Step() == SQLITE_ROW &&
                 ToUtf8(s_->getMeta.Text16(0)) == SortKeyMaker::CollatorVersion();
  s_->getMeta.Reset();
  return current;
}

// Keys made by another collator version would read in a stale order.
bool Volume::RemakeKeysIfCollationChanged() {
  std::string current = SortKeyMaker::CollatorVersion();
  if (KeysAreCurrent()) return true;
  WriteTransaction transaction(s_->begin, s_->commit, s_->rollback);
  if (transaction.began() != SQLITE_OK) return Fail(transaction.began());
  Statement databases;
  int rc = databases.Prepare(db_, "SELECT oid FROM databases");
  if (rc != SQLITE_OK) return Fail(rc);
  std::vector<CEOID> oids;
  for (rc = databases.Bind().Step(); rc == SQLITE_ROW; rc = databases.Step())
    oids.push_back(static_cast<CEOID>(databases.Int(0)));
  if (rc != SQLITE_DONE) return Fail(rc);
  for (CEOID oid : oids) {
    auto db = FindDatabaseLocked(nullptr, oid);
    if (!db || !RemakeKeys(*db)) return false;
  }
  rc = s_->setMeta.Bind(std::u16string(u"collator"), FromUtf8(current)).Step();
  if (rc != SQLITE_DONE) return Fail(rc);
  rc = transaction.Commit();
  return rc == SQLITE_OK || Fail(rc);
}

bool Volume::RemakeKeys(const DatabaseInfo& db) {
  int rc = s_->deleteDbKeys.Bind(sqlite3_int64{db.oid}).Step();
  if (rc != SQLITE_DONE) return Fail(rc);
  // Read one record at a time: only the keys table changes under the walk.
  Statement& records = s_->recordsOfDb;
  for (rc = records.Bind(sqlite3_int64{db.oid}).Step(); rc == SQLITE_ROW; rc = records.Step()) {
    auto values = DecodeRecord(records.Blob(1));
    if (!values) {
      records.Reset();
      SetLastError(ERROR_BADDB);
      return false;
    }
    if (!PutKeys(db, static_cast<CEOID>(records.Int(0)), *values)) {
      records.Reset();
      return false;
    }
  }
  records.Reset();
  return rc == SQLITE_DONE || Fail(rc);
}

CEOID Volume::NextOid() {
  if (s_->getMeta.Bind(std::u16string(u"next_oid")).Step() != SQLITE_ROW) {
    SetLastError(ERROR_BADDB);
    return 0;
  }
  sqlite3_int64 next = s_->getMeta.Int(0);
  s_->getMeta.Reset();
  if (next <= 0 || next > 0xffffffffLL) {
    SetLastError(ERROR_DISK_FULL);  // the identifiers are used up
    return 0;
  }
  int rc = s_->setMeta.Bind(std::u16string(u"next_oid"), next + 1).Step();
  if (rc != SQLITE_DONE) {
    Fail(rc);
    return 0;
  }
  return static_cast<CEOID>(next);
}

CEOID Volume::CreateDatabase(const CEDBASEINFO& info) {
  std::lock_guard guard(lock_);
  std::u16string name = NameOf(info);
  if (!(info.dwFlags & CEDB_VALIDNAME) || name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WORD sortCount = (info.dwFlags & CEDB_VALIDSORTSPEC) ? info.wNumSortOrder : 0;
  if (!ValidSortSpecs(info, sortCount)) return 0;
  WriteTransaction transaction(s_->begin, s_->commit, s_->rollback);
  if (transaction.began() != SQLITE_OK) return Fail(transaction.began());
  if (s_->dbByName.Bind(Folded(name)).Step() == SQLITE_ROW) {
    s_->dbByName.Reset();
    SetLastError(ERROR_ALREADY_EXISTS);
    return 0;
  }
  CEOID oid = NextOid();
  if (oid == 0) return 0;
  int rc = s_->insertDb
               .Bind(sqlite3_int64{oid}, name, Folded(name),
                     sqlite3_int64{(info.dwFlags & CEDB_VALIDTYPE) ? info.dwDbaseType : 0},
                     sqlite3_int64{(info.dwFlags & CEDB_VALIDDBFLAGS) ? (info.dwFlags & CEDB_NOCOMPRESS) : 0},
                     static_cast<sqlite3_int64>(Now()))
               .Step();
  for (WORD i = 0; rc == SQLITE_DONE && i < sortCount; ++i)
    rc = s_->insertSortOrder
             .Bind(sqlite3_int64{oid}, sqlite3_int64{i}, sqlite3_int64{info.rgSortSpecs[i].propid},
                   sqlite3_int64{info.rgSortSpecs[i].dwFlags})
             .Step();
  if (rc != SQLITE_DONE) return Fail(rc);
  rc = transaction.Commit();
  if (rc != SQLITE_OK) return Fail(rc);
  return oid;
}

BOOL Volume::SetDatabaseInfo(CEOID database, const CEDBASEINFO& info) {
  std::lock_guard guard(lock_);
  WORD sortCount = (info.dwFlags & CEDB_VALIDSORTSPEC) ? info.wNumSortOrder : 0;
  if (!ValidSortSpecs(info, sortCount)) return FALSE;
  std::u16string name = NameOf(info);
  if ((info.dwFlags & CEDB_VALIDNAME) && name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WriteTransaction transaction(s_->begin, s_->commit, s_->rollback);
  if (transaction.began() != SQLITE_OK) return Fail(transaction.began());
  auto db = FindDatabaseLocked(nullptr, database);
  if (!db) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int rc;
  if (info.dwFlags & CEDB_VALIDNAME) {
    if (s_->dbByName.Bind(Folded(name)).Step() == SQLITE_ROW) {
      bool other = static_cast<CEOID>(s_->dbByName.Int(0)) != database;
      s_->dbByName.Reset();
      if (other) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
      }
    }
    rc = s_->renameDb.Bind(name, Folded(name), sqlite3_int64{database}).Step();
    if (rc != SQLITE_DONE) return Fail(rc);
  }
  if (info.dwFlags & CEDB_VALIDTYPE) {
    rc = s_->retypeDb.Bind(sqlite3_int64{info.dwDbaseType}, sqlite3_int64{database}).Step();
    if (rc != SQLITE_DONE) return Fail(rc);
  }
  if (info.dwFlags & CEDB_VALIDSORTSPEC) {
    rc = s_->deleteSortOrders.Bind(sqlite3_int64{database}).Step();
    for (WORD i = 0; rc == SQLITE_DONE && i < sortCount; ++i)
      rc = s_->insertSortOrder
               .Bind(sqlite3_int64{database}, sqlite3_int64{i}, sqlite3_int64{info.rgSortSpecs[i].propid},
                     sqlite3_int64{info.rgSortSpecs[i].dwFlags})
               .Step();
    if (rc != SQLITE_DONE) return Fail(rc);
    auto changed = FindDatabaseLocked(nullptr, database);
    if (!changed || !RemakeKeys(*changed)) return FALSE;
  }
  if (!Touch(database)) return FALSE;
  rc = transaction.Commit();
  return rc == SQLITE_OK ? TRUE : Fail(rc);
}

std::optional<DatabaseInfo> Volume::FindDatabase(const std::u16string* name, CEOID oid) {
  std::lock_guard guard(lock_);
  return FindDatabaseLocked(name, oid);
}

std::optional<DatabaseInfo> Volume::FindDatabaseLocked(const std::u16string* name, CEOID oid) {
  Statement& query = name ? s_->dbByName : s_->dbByOid;
  int rc = name ? query.Bind(Folded(*name)).Step() : query.Bind(sqlite3_int64{oid}).Step();
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_DONE)
      SetLastError(ERROR_FILE_NOT_FOUND);
    else
      Fail(rc);
    return std::nullopt;
  }
  DatabaseInfo info;
  info.oid = static_cast<CEOID>(query.Int(0));
  info.name = query.Text16(1);
  info.type = static_cast<DWORD>(query.Int(2));
  info.flags = static_cast<DWORD>(query.Int(3));
  info.modified = static_cast<ULONGLONG>(query.Int(4));
  query.Reset();
  for (rc = s_->sortOrders.Bind(sqlite3_int64{info.oid}).Step(); rc == SQLITE_ROW; rc = s_->sortOrders.Step())
    info.sortOrders.push_back({static_cast<CEPROPID>(s_->sortOrders.Int(0)), static_cast<DWORD>(s_->sortOrders.Int(1))});
  if (rc != SQLITE_DONE) {
    Fail(rc);
    return std::nullopt;
  }
  if (info.sortOrders.empty()) info.sortOrders.push_back({0, 0});
  return info;
}

}  // namespace kvplatform::db
