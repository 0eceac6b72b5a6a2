// A prepared SQLite statement that resets itself after each use, and the
// mapping of SQLite failures to the Win32 errors callers test.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include <winbase.h>

namespace kvplatform::db {

inline DWORD Win32ErrorFromSqlite(int code) {
  switch (code & 0xff) {
    case SQLITE_OK: return ERROR_SUCCESS;
    case SQLITE_NOTADB: return ERROR_BAD_FORMAT;
    case SQLITE_CORRUPT: return ERROR_BADDB;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_BUSY: case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_PERM: case SQLITE_READONLY: case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_CANTOPEN: return ERROR_CANTOPEN;
    case SQLITE_IOERR: return ERROR_WRITE_FAULT;
    case SQLITE_TOOBIG: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
  }
}

class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }

  int Prepare(sqlite3* db, const char* sql) { return sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr); }

  // Binds the arguments in order (1-based) and leaves the statement ready to step.
  template <typename... Args>
  Statement& Bind(const Args&... args) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    int index = 1;
    (BindOne(index++, args), ...);
    return *this;
  }

  // SQLITE_ROW, SQLITE_DONE or an error; resets on anything but a row.
  int Step() {
    int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW) sqlite3_reset(stmt_);
    return rc;
  }
  void Reset() { sqlite3_reset(stmt_); }
  sqlite3* Db() const { return sqlite3_db_handle(stmt_); }

  sqlite3_int64 Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::vector<unsigned char> Blob(int column) const {
    const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(stmt_, column));
    int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::vector<unsigned char>(data, data + size) : std::vector<unsigned char>();
  }
  std::u16string Text16(int column) const {
    const auto* data = static_cast<const char16_t*>(sqlite3_column_text16(stmt_, column));
    int size = sqlite3_column_bytes16(stmt_, column);
    return data ? std::u16string(data, size / 2) : std::u16string();
  }

 private:
  void BindOne(int index, sqlite3_int64 value) { sqlite3_bind_int64(stmt_, index, value); }
  void BindOne(int index, const std::vector<unsigned char>& blob) {
    // A zero-length blob must still be a blob (not NULL) to compare as one.
    sqlite3_bind_blob(stmt_, index, blob.empty() ? "" : static_cast<const void*>(blob.data()),
                      static_cast<int>(blob.size()), SQLITE_TRANSIENT);
  }
  void BindOne(int index, const std::u16string& text) {
    sqlite3_bind_text16(stmt_, index, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
  }

  sqlite3_stmt* stmt_ = nullptr;
};

// Undoes a write transaction unless it was committed. Inside a transaction
// held open around many writes (an import's), it is a savepoint of that one.
class WriteTransaction {
 public:
  WriteTransaction(Statement& begin, Statement& commit, Statement& rollback)
      : commit_(commit), rollback_(rollback), db_(begin.Db()), nested_(sqlite3_get_autocommit(db_) == 0) {
    rc_ = nested_ ? Exec("SAVEPOINT kv_write") : begin.Bind().Step();
  }
  ~WriteTransaction() {
    if (rc_ != SQLITE_DONE || committed_) return;
    if (nested_) {
      Exec("ROLLBACK TO kv_write");
      Exec("RELEASE kv_write");
    } else {
      rollback_.Bind().Step();
    }
  }
  int began() const { return rc_ == SQLITE_DONE ? SQLITE_OK : rc_; }
  int Commit() {
    int rc = nested_ ? Exec("RELEASE kv_write") : commit_.Bind().Step();
    if (rc == SQLITE_DONE) committed_ = true;
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }

 private:
  int Exec(const char* sql) {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? SQLITE_DONE : rc;
  }

  Statement& commit_;
  Statement& rollback_;
  sqlite3* db_;
  bool nested_;
  int rc_;
  bool committed_ = false;
};

}  // namespace kvplatform::db
