// A closed volume file checked as the program would read it, before it is
// put in place of the one in use: a file that opens but is not ours, or is
// empty, would otherwise be taken as a volume with nothing in it.
#include <sqlite3.h>

#include <string>

#include <kvplatform.h>
#include <winbase.h>

#include "record_codec.h"
#include "statement.h"
#include "volume.h"

namespace kvplatform {
namespace {

struct CheckedConnection {
  sqlite3* db = nullptr;
  ~CheckedConnection() { sqlite3_close_v2(db); }
};

// The first column of the statement's first row, or nothing when it fails.
bool QueryInt(sqlite3* aDb, const char* aSql, sqlite3_int64& aValue, int& aRc) {
  db::Statement query;
  aRc = query.Prepare(aDb, aSql);
  if (aRc == SQLITE_OK) aRc = query.Bind().Step();
  if (aRc != SQLITE_ROW) return false;
  aValue = query.Int(0);
  query.Reset();
  return true;
}

}  // namespace

DWORD CheckDatabaseVolume(const std::string& hostPath) {
  CheckedConnection connection;
  int rc = sqlite3_open_v2(hostPath.c_str(), &connection.db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) return db::Win32ErrorFromSqlite(rc);
  sqlite3* handle = connection.db;
  sqlite3_int64 value = 0;
  // An empty file has no application id: the program would make it a new,
  // empty volume, which is not what a backup of one holds.
  if (!QueryInt(handle, "PRAGMA application_id", value, rc)) return db::Win32ErrorFromSqlite(rc);
  if (value != db::kApplicationId) return ERROR_BAD_FORMAT;
  if (!QueryInt(handle, "PRAGMA user_version", value, rc)) return db::Win32ErrorFromSqlite(rc);
  if (value < 1 || value > db::kFormatVersion) return ERROR_BAD_FORMAT;
  if (db::SchemaOf(handle) != db::ExpectedSchema(static_cast<int>(value))) return ERROR_BADDB;

  db::Statement check;
  rc = check.Prepare(handle, "PRAGMA integrity_check(1)");
  if (rc == SQLITE_OK) rc = check.Bind().Step();
  if (rc != SQLITE_ROW) return db::Win32ErrorFromSqlite(rc);
  bool sound = check.Text16(0) == u"ok";
  check.Reset();
  if (!sound) return ERROR_BADDB;
  if (!QueryInt(handle, "SELECT count(*) FROM meta WHERE name='next_oid'", value, rc)) return db::Win32ErrorFromSqlite(rc);
  if (value != 1) return ERROR_BADDB;

  // Every record as the stores would decode it, one at a time.
  db::Statement records;
  rc = records.Prepare(handle, "SELECT props FROM records");
  if (rc != SQLITE_OK) return db::Win32ErrorFromSqlite(rc);
  for (rc = records.Bind().Step(); rc == SQLITE_ROW; rc = records.Step()) {
    if (!db::DecodeRecord(records.Blob(0))) {
      records.Reset();
      return ERROR_BADDB;
    }
  }
  records.Reset();
  return rc == SQLITE_DONE ? ERROR_SUCCESS : db::Win32ErrorFromSqlite(rc);
}

}  // namespace kvplatform
