// Files read in and written out by imports, exports and backups. A file to
// read is checked by its size and its first bytes before it is read whole;
// a file written appears whole or not at all, private to the user.
#pragma once

#include <memory>
#include <ostream>
#include <string>

namespace kvexchange {

enum TInputKind { EInputContacts, EInputMessages, EInputBackup };

// The largest file of each kind read: far above any real address book,
// message archive or backup, and small enough to hold in memory.
inline constexpr long long KMaxContactsFileBytes = 64LL << 20;
inline constexpr long long KMaxMessagesFileBytes = 128LL << 20;
inline constexpr long long KMaxBackupFileBytes = 1LL << 30;

// Reads a regular file of at most the kind's size whose first bytes are of
// the kind (text for imports, a backup's own mark for backups). False, with
// aError saying why, and aBytes untouched otherwise.
bool ReadInputFile(const std::string& aPath, TInputKind aKind, std::string& aBytes, std::string& aError);

// A file written beside its place under a name of its own, made afresh
// (never through a link or over a file that is there), 0600, synced, and
// renamed over aPath by Commit(): a reader sees the earlier file or the new
// one whole. Not committed, the temporary file is removed.
class TAtomicFile {
 public:
  TAtomicFile();
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  bool Open(const std::string& aPath, std::string& aError);
  std::ostream& Stream();
  bool Commit(std::string& aError);

 private:
  class TFdBuffer;
  std::string iPath;
  std::string iTemporary;
  int iFd = -1;
  std::unique_ptr<TFdBuffer> iBuffer;
  std::unique_ptr<std::ostream> iStream;
};

// The whole of aBytes as aPath, through a TAtomicFile.
bool WriteFileAtomically(const std::string& aPath, const std::string& aBytes, std::string& aError);

}  // namespace kvexchange
