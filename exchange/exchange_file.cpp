#include "exchange/exchange_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <streambuf>

namespace kvexchange {
namespace {

const char KBackupMark[] = "KORVANET-BACKUP ";
// Enough to tell a text file from a binary one, and a backup by its mark.
const size_t KFirstBytes = 4096;

long long LimitOf(TInputKind aKind) {
  switch (aKind) {
    case EInputContacts: return KMaxContactsFileBytes;
    case EInputMessages: return KMaxMessagesFileBytes;
    case EInputBackup: return KMaxBackupFileBytes;
  }
  return 0;
}

const char* KindName(TInputKind aKind) {
  switch (aKind) {
    case EInputContacts: return "a contacts file";
    case EInputMessages: return "a messages file";
    case EInputBackup: return "a backup";
  }
  return "a file";
}

std::string MiB(long long aBytes) { return std::to_string(aBytes >> 20) + " MiB"; }

bool ReadFully(int aFd, char* aData, size_t aSize, size_t& aRead) {
  aRead = 0;
  while (aRead < aSize) {
    ssize_t n = read(aFd, aData + aRead, aSize - aRead);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    aRead += static_cast<size_t>(n);
  }
  return true;
}

// Whether the first bytes can start a file of the kind. Imports are text
// (UTF-8 or Latin-1): a NUL is a binary file, or UTF-16, which they do not read.
bool LooksLike(TInputKind aKind, const std::string& aFirst) {
  if (aKind == EInputBackup) return aFirst.rfind(KBackupMark, 0) == 0;
  return aFirst.find('\0') == std::string::npos;
}

}  // namespace

bool ReadInputFile(const std::string& aPath, TInputKind aKind, std::string& aBytes, std::string& aError) {
  int fd = open(aPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    aError = std::string("cannot read it: ") + std::strerror(errno);
    return false;
  }
  struct stat info;
  bool ok = fstat(fd, &info) == 0;
  if (!ok) {
    aError = std::string("cannot read it: ") + std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    aError = "it is not a regular file";
    ok = false;
  } else if (info.st_size > LimitOf(aKind)) {
    aError = std::string("it is larger than ") + KindName(aKind) + " may be (at most " + MiB(LimitOf(aKind)) + ")";
    ok = false;
  }
  std::string bytes;
  if (ok) {
    // The first bytes first: a file of another kind is refused before it is read whole.
    bytes.resize(std::min<size_t>(KFirstBytes, static_cast<size_t>(info.st_size)));
    size_t read = 0;
    ok = ReadFully(fd, bytes.data(), bytes.size(), read);
    bytes.resize(read);
    if (!ok) {
      aError = std::string("cannot read it: ") + std::strerror(errno);
    } else if (!LooksLike(aKind, bytes)) {
      aError = aKind == EInputBackup ? "it is not a Korvanet backup" : "it is not a text file (UTF-8 or Latin-1)";
      ok = false;
    }
  }
  if (ok && bytes.size() < static_cast<size_t>(info.st_size)) {
    // The size the file had when checked is all that is read, even if it grows.
    size_t start = bytes.size();
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t read = 0;
    ok = ReadFully(fd, bytes.data() + start, bytes.size() - start, read);
    bytes.resize(start + read);
    if (!ok) aError = std::string("cannot read it: ") + std::strerror(errno);
  }
  close(fd);
  if (ok) aBytes = std::move(bytes);
  return ok;
}

// An output buffer that writes to a file descriptor and remembers the first error.
class TAtomicFile::TFdBuffer : public std::streambuf {
 public:
  explicit TFdBuffer(int aFd) : iFd(aFd) { setp(iBuffer, iBuffer + sizeof iBuffer); }
  int Error() const { return iError; }
  bool Flush() { return sync() == 0; }

 protected:
  int_type overflow(int_type aChar) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(aChar, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(aChar);
      pbump(1);
    }
    return traits_type::not_eof(aChar);
  }

  int sync() override {
    for (char* from = pbase(); from < pptr() && iError == 0;) {
      ssize_t n = write(iFd, from, static_cast<size_t>(pptr() - from));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) iError = n < 0 ? errno : EIO;
      else from += n;
    }
    setp(iBuffer, iBuffer + sizeof iBuffer);
    return iError == 0 ? 0 : -1;
  }

 private:
  int iFd;
  int iError = 0;
  char iBuffer[65536];
};

TAtomicFile::TAtomicFile() = default;

TAtomicFile::~TAtomicFile() {
  if (iFd >= 0) {
    close(iFd);
    unlink(iTemporary.c_str());
  }
}

bool TAtomicFile::Open(const std::string& aPath, std::string& aError) {
  iPath = aPath;
  // mkostemp makes the name afresh with O_EXCL, 0600: a link or a file put
  // there by someone else is never opened.
  std::string name = aPath + ".part-XXXXXX";
  iFd = mkostemp(name.data(), O_CLOEXEC);
  if (iFd < 0) {
    aError = "cannot write " + aPath + ": " + std::strerror(errno);
    return false;
  }
  iTemporary = name;
  iBuffer = std::make_unique<TFdBuffer>(iFd);
  iStream = std::make_unique<std::ostream>(iBuffer.get());
  return true;
}

std::ostream& TAtomicFile::Stream() { return *iStream; }

bool TAtomicFile::Commit(std::string& aError) {
  if (iFd < 0) {
    aError = "cannot write " + iPath;
    return false;
  }
  iStream->flush();
  bool ok = iBuffer->Flush() && *iStream;
  int error = iBuffer->Error();
  if (ok && fsync(iFd) != 0) {
    ok = false;
    error = errno;
  }
  if (ok && rename(iTemporary.c_str(), iPath.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    aError = "cannot write " + iPath + ": " + std::strerror(error != 0 ? error : EIO);
    return false;  // the destructor removes the temporary file
  }
  close(iFd);
  iFd = -1;
  // The rename itself survives a crash once the folder is synced.
  std::string folder = iPath.find('/') == std::string::npos ? "." : iPath.substr(0, iPath.rfind('/') + 1);
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

bool WriteFileAtomically(const std::string& aPath, const std::string& aBytes, std::string& aError) {
  TAtomicFile file;
  if (!file.Open(aPath, aError)) return false;
  file.Stream().write(aBytes.data(), static_cast<std::streamsize>(aBytes.size()));
  return file.Commit(aError);
}

}  // namespace kvexchange
