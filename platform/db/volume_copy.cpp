// A whole volume file copied page by page with SQLite's online backup: the
// copy is one consistent state of the source however others write to it,
// and a destination in use by others takes the new content under its lock.
#include <sqlite3.h>

#include <string>

#include <kvplatform.h>
#include <winbase.h>

#include "statement.h"

namespace kvplatform {
namespace {

constexpr int kBusyTimeoutMs = 15000;

struct Connection {
  sqlite3* db = nullptr;
  ~Connection() { sqlite3_close_v2(db); }
};

}  // namespace

DWORD CopyDatabaseVolume(const std::string& fromHostPath, const std::string& toHostPath) {
  Connection from, to;
  int rc = sqlite3_open_v2(fromHostPath.c_str(), &from.db, SQLITE_OPEN_READONLY, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_open_v2(toHostPath.c_str(), &to.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) return db::Win32ErrorFromSqlite(rc);
  sqlite3_busy_timeout(from.db, kBusyTimeoutMs);
  sqlite3_busy_timeout(to.db, kBusyTimeoutMs);
  sqlite3_backup* backup = sqlite3_backup_init(to.db, "main", from.db, "main");
  if (backup == nullptr) return db::Win32ErrorFromSqlite(sqlite3_errcode(to.db));
  // All pages in one step: a single read transaction on the source, so a
  // writer elsewhere cannot make the copy start over or mix two states.
  // The busy handler covers the source; a busy destination is retried here
  // for as long, then given up.
  int waitedMs = 0;
  do {
    rc = sqlite3_backup_step(backup, -1);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) waitedMs += sqlite3_sleep(20);
  } while ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && waitedMs < kBusyTimeoutMs);
  int finished = sqlite3_backup_finish(backup);
  if (rc != SQLITE_DONE) return db::Win32ErrorFromSqlite(rc);
  return db::Win32ErrorFromSqlite(finished);
}

}  // namespace kvplatform
