// One mounted database volume: an SQLite file in WAL mode, shared by every
// handle of this process (one connection, one lock) and by other processes
// (WAL keeps readers and the writer consistent; every write is its own
// transaction, in the journal when it returns, and synced by Flush).
#pragma once

#include <sys/types.h>

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <kvplatform_db.h>

#include "sort_key.h"
#include "statement.h"

namespace kvplatform::db {

// "KvDB" in the file header: a volume file is recognised by it, and a file
// without it is never taken for one.
constexpr int kApplicationId = 0x4B764442;
// 2 added the indexes of text properties; a volume of 1 gets their tables on opening.
constexpr int kFormatVersion = 2;

// Every table and index definition of a volume, in a fixed order ("?" when
// they cannot be read).
std::string SchemaOf(sqlite3* db);
// The definitions a volume of that format has, read back from a volume made
// in memory.
const std::string& ExpectedSchema(int version = kFormatVersion);

// The current system time as FILETIME ticks.
ULONGLONG Now();

struct DatabaseInfo {
  CEOID oid = 0;
  std::u16string name;
  DWORD type = 0;
  DWORD flags = 0;
  ULONGLONG modified = 0;  // FILETIME ticks
  std::vector<SORTORDERSPEC> sortOrders;  // at least one; propid 0 = identifier order
};

// The slot of a handle that reads records in the order they are stored, by
// identifier, through no sort order: the cheapest way through a database.
constexpr int kStoredOrder = -1;

// Where a handle reads next: the first record at or after (key, oid) in
// sort order (inclusive), or strictly after it. Positions by key, not by
// index, so a read costs one index lookup and survives others' changes.
struct Position {
  std::vector<unsigned char> key;
  CEOID oid = 0;
  bool inclusive = true;
};

// What one handle reading on through its sort order was given ahead of its
// reads: each read after a seek costs a query and a read transaction of its
// own, while the rows that follow come from one query, answered while the
// volume is as it was when they were read.
struct ReadAhead {
  struct Row {
    std::vector<unsigned char> key;
    CEOID oid = 0;
    std::vector<unsigned char> props;
  };
  std::vector<Row> rows;
  size_t next = 0;  // rows[next] follows the last row read
  std::vector<unsigned char> lastKey;
  CEOID lastOid = 0;
  // The volume as the rows saw it: the journal's header (any process's
  // commit changes it) and this connection's count of changed rows.
  std::array<unsigned char, 48> journalHeader{};
  sqlite3_int64 changes = -1;
  size_t batch = 0;  // how many the last query asked for
};

class Volume {
 public:
  // Opens (and for a new or empty file, initialises) the volume file. A file
  // that is not a volume, or is damaged, is refused and left as it is.
  static std::shared_ptr<Volume> Open(const std::string& hostPath, DWORD creation);
  ~Volume();

  const std::string& path() const { return path_; }
  dev_t device() const { return device_; }
  ino_t inode() const { return inode_; }

  // Each call below takes the volume's lock and sets the last error on failure.
  CEOID CreateDatabase(const CEDBASEINFO& info);
  std::optional<DatabaseInfo> FindDatabase(const std::u16string* name, CEOID oid);
  // The record at the index in sort order (or in the stored order); position set on it.
  CEOID SeekIndex(const DatabaseInfo& db, int slot, DWORD index, Position& position);
  // The record with the identifier; position set on it; index filled when asked.
  CEOID SeekRecord(const DatabaseInfo& db, int slot, CEOID record, Position& position, LPDWORD index);
  // The first record in sort order whose value of the slot's sort property
  // sorts equal to value; position set on it; index filled when asked.
  CEOID SeekValue(const DatabaseInfo& db, int slot, const CEPROPVAL& value, Position& position, LPDWORD index);
  // The first record in sort order whose value sorts after value.
  CEOID SeekAfterValue(const DatabaseInfo& db, int slot, const CEPROPVAL& value, Position& position, LPDWORD index);
  // The record back records before the last in sort order.
  CEOID SeekFromEnd(const DatabaseInfo& db, int slot, DWORD back, Position& position, LPDWORD index);
  // The record at the position, its properties and its key (for moving on);
  // also in the stored order (kStoredOrder), where every key is empty.
  // With ahead, a handle reading on record after record is given the next
  // rows in one query, kept there.
  CEOID ReadAt(const DatabaseInfo& db, int slot, const Position& position, std::vector<unsigned char>& props,
               std::vector<unsigned char>& key, ReadAhead* ahead = nullptr);
  CEOID Write(const DatabaseInfo& db, CEOID record, const CEPROPVAL* values, WORD count);
  BOOL Delete(const DatabaseInfo& db, CEOID record);
  BOOL ObjectInfo(CEOID object, CEOIDINFO& info);
  // Name, type and sort orders, as the info's valid flags say; new sort
  // orders remake every record's keys in the same transaction.
  BOOL SetDatabaseInfo(CEOID database, const CEDBASEINFO& info);
  // Every commit so far made to survive a crash of the system (the journal
  // synced), then moved into the volume file when the journal has grown.
  BOOL Flush();
  // One transaction around many writes of this process: they all take
  // effect at EndTransaction(true), or none of them does.
  BOOL BeginTransaction();
  BOOL EndTransaction(bool commit);

  // Indexes of text properties (volume_indexes.cpp; kvplatform_db.h says what each does).
  BOOL AddValueIndex(CEOID database, CEPROPID property, bool& made, IndexProgress progress, void* context);
  BOOL FindWithValue(CEOID database, CEPROPID property, const std::u16string& value, std::vector<CEOID>& records);
  BOOL FindWithAnyValue(CEOID database, CEPROPID property, std::vector<CEOID>& records);
  BOOL IndexedValues(CEOID database, CEPROPID property, std::vector<IndexedValue>& values);
  BOOL AddTextIndex(CEOID database, const std::vector<CEPROPID>& properties, IndexProgress progress, void* context);
  // folded: a query as FoldForSearch gives it.
  BOOL SearchText(CEOID database, const std::u16string& folded, CEOID before, DWORD limit, std::vector<CEOID>& records);

 private:
  // How large the journal may grow before Flush() moves it into the file.
  off_t JournalBound() const;
  // After each commit: how many pages the journal holds, not yet in the file.
  static int OnJournalCommit(void* volume, sqlite3* db, const char* name, int pages);
  Volume() = default;
  bool Initialise();
  bool Validate();
  bool IsSound();
  bool BeginUpgrade();
  bool EndUpgrade();
  bool KeysAreCurrent();
  bool Prepare();
  // The header of the journal's shared index, which every commit rewrites;
  // false when the journal is not open yet.
  bool JournalHeader(std::array<unsigned char, 48>& header);
  bool AheadIsCurrent(const ReadAhead& ahead);
  bool RemakeKeysIfCollationChanged();
  bool Exec(const char* sql);
  bool Fail(int rc);
  // The key of a value of the slot's sort property; false when it is not one.
  bool KeyOfValue(const DatabaseInfo& db, int slot, const CEPROPVAL& value, std::vector<unsigned char>& key);
  CEOID LandOn(const DatabaseInfo& db, int slot, std::vector<unsigned char> key, CEOID record, Position& position,
               LPDWORD index);
  CEOID LandOnRow(Statement& query, int rc, const DatabaseInfo& db, int slot, Position& position, LPDWORD index);
  std::optional<DatabaseInfo> FindDatabaseLocked(const std::u16string* name, CEOID oid);
  bool LoadRecord(CEOID record, CEOID& database, std::vector<StoredValue>& values);
  bool PutKeys(const DatabaseInfo& db, CEOID record, const std::vector<StoredValue>& values);
  // Every record's keys under the database's sort orders, made again.
  bool RemakeKeys(const DatabaseInfo& db);
  bool Touch(CEOID database);
  // The record's entries in its database's indexes, made again where the
  // write changed an indexed property (every one for a new record).
  bool IndexRecord(CEOID database, CEOID record, const std::vector<StoredValue>& values, const CEPROPVAL* written,
                   WORD count, bool created);
  bool UnindexRecord(CEOID record);
  bool IndexedProperties(Statement& query, CEOID database, std::vector<CEPROPID>& properties);
  CEOID NextOid();

  std::mutex lock_;
  sqlite3* db_ = nullptr;
  std::string path_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  bool upgrading_ = false;  // a volume of an earlier format, taken on while opening
  bool accepted_ = false;  // passed every check: stamped as checked when closed
  int journalPages_ = 0;   // in the journal since it last moved into the file
  int pageSize_ = 4096;
  SortKeyMaker keys_;

  struct Statements {
    Statement begin, commit, rollback;
    Statement getMeta, setMeta;
    Statement dbByName, dbByOid, sortOrders, insertDb, insertSortOrder, touchDb, dbStats;
    Statement storedInclusive, storedExclusive, storedAtIndex;
    Statement nextInclusive, nextExclusive, atIndex, fromEnd, keyOf, indexOf, firstWithKey, firstAfterKey;
    Statement recordProps, insertRecord, updateRecord, deleteRecord;
    Statement insertKey, deleteKeys, deleteDbKeys, recordsOfDb;
    Statement renameDb, retypeDb, deleteSortOrders;
    Statement valueIndexesOf, insertValueIndex, deleteValueOf, insertValue, deleteValuesOfRecord, deleteValuesOfIndex;
    Statement findValue, findAnyValue, valueGroups;
    Statement textIndexesOf, insertTextIndex, deleteTextIndexes, insertText, deleteText, deleteTextsOfDb;
    Statement matchText, scanText, countRecords;
  };
  std::unique_ptr<Statements> s_;
};

}  // namespace kvplatform::db
