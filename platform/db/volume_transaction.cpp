// A transaction held open around many writes, so that an import of many
// records is all or nothing even when the disk fills or the process dies.
#include "volume.h"

namespace kvplatform::db {

BOOL Volume::BeginTransaction() {
  std::lock_guard guard(lock_);
  if (sqlite3_get_autocommit(db_) == 0) {  // one at a time
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  int rc = s_->begin.Bind().Step();
  return rc == SQLITE_DONE ? TRUE : Fail(rc);
}

BOOL Volume::EndTransaction(bool commit) {
  std::lock_guard guard(lock_);
  // SQLite may have rolled the whole transaction back itself (a full disk):
  // nothing is left to undo then, and nothing to commit.
  if (sqlite3_get_autocommit(db_) != 0) {
    if (!commit) return TRUE;
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  if (!commit) {
    int rc = s_->rollback.Bind().Step();
    return rc == SQLITE_DONE ? TRUE : Fail(rc);
  }
  int rc = s_->commit.Bind().Step();
  if (rc == SQLITE_DONE) return TRUE;
  // A commit that fails leaves the transaction open: undo it.
  s_->rollback.Bind().Step();
  return Fail(rc);
}

}  // namespace kvplatform::db
