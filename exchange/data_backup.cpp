#include "exchange/data_backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <kvplatform.h>
#include <windbase.h>

#include "exchange/exchange_file.h"
#include "exchange/exchange_text.h"
#include "store/epoc_database.h"

namespace kvexchange {
namespace {

const char KMagic[] = "KORVANET-BACKUP";
// Where a backup's volume is checked before anything is replaced.
const WCHAR KCheckVolume[] = u"\\Program Files\\Korvanet\\Data\\Database.restore-check";
// The most folders "... 2", "... 3" tried for the data kept aside.
const int KMaxAsideFolders = 1000;

unsigned long Crc32(const std::string& aBytes) {
  static const std::array<unsigned long, 256> table = [] {
    std::array<unsigned long, 256> t{};
    for (unsigned long n = 0; n < 256; ++n) {
      unsigned long c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  unsigned long crc = 0xFFFFFFFFUL;
  for (char byte : aBytes) crc = table[(crc ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFUL;
}

std::string HostPath(const WCHAR* aDevicePath) {
  std::string host;
  kvplatform::DevicePathToHost(aDevicePath, host);
  return host;
}

bool ReadWholeFile(const std::string& aPath, std::string& aBytes) {
  std::ifstream in(aPath, std::ios::binary);
  if (!in) return false;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  aBytes = bytes.str();
  return !in.bad();
}

// The volume and what the database keeps beside it: journals, and the stamp
// of its last whole check.
void RemoveVolumeFiles(const std::string& aPath) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal", "-checked"}) unlink((aPath + suffix).c_str());
}

std::string Section(const std::string& aName, const std::string& aBytes) {
  char header[96];
  std::snprintf(header, sizeof header, "section %s %zu %08lx\n", aName.c_str(), aBytes.size(), Crc32(aBytes));
  return header + aBytes + "\n";
}

// Whether the bytes are a volume of ours as the program would read it: an
// empty database, or another program's, would open, and hold nothing.
bool IsSoundVolume(const std::string& aBytes, std::string& aError) {
  std::string path = HostPath(KCheckVolume);
  RemoveVolumeFiles(path);
  if (!WriteFileAtomically(path, aBytes, aError)) return false;
  DWORD error = kvplatform::CheckDatabaseVolume(path);
  RemoveVolumeFiles(path);
  if (error == ERROR_BAD_FORMAT)
    aError = "its contacts and messages are not a Korvanet database";
  else if (error != ERROR_SUCCESS)
    aError = "its contacts and messages are damaged (the database does not open as sound)";
  return error == ERROR_SUCCESS;
}

// Copies one file byte for byte into a new file, never through a link.
bool CopyFileBytes(const std::string& aFrom, const std::string& aTo, std::string& aError) {
  int from = open(aFrom.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (from < 0) {
    if (errno == ENOENT) return true;  // nothing to keep
    aError = "cannot read " + aFrom + ": " + std::strerror(errno);
    return false;
  }
  int to = open(aTo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool ok = to >= 0;
  char buffer[65536];
  while (ok) {
    ssize_t n = read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      ssize_t written = write(to, buffer + done, static_cast<size_t>(n - done));
      if (written < 0 && errno == EINTR) continue;
      ok = written > 0;
      if (ok) done += written;
    }
  }
  ok = ok && fsync(to) == 0;
  int error = errno;
  close(from);
  if (to >= 0) close(to);
  if (!ok) aError = "cannot copy " + aFrom + " to " + aTo + ": " + std::strerror(error);
  return ok;
}

// The current files as they are, into a folder of their own that did not
// exist before: a damaged volume is kept as well as a sound one.
bool KeepCurrentFilesAside(const std::string& aBase, std::string& aFolder, std::string& aError) {
  std::string folder = aBase;
  int tried = 1;
  while (mkdir(folder.c_str(), 0700) != 0) {
    if (errno != EEXIST || ++tried > KMaxAsideFolders) {
      aError = "cannot make " + folder + ": " + std::strerror(errno);
      return false;
    }
    folder = aBase + " " + std::to_string(tried);
  }
  std::string volume = HostPath(KDatabaseVolume);
  for (const char* suffix : {"", "-wal"})
    if (!CopyFileBytes(volume + suffix, folder + "/Database" + suffix, aError)) return false;
  if (!CopyFileBytes(kvplatform::RegistryFilePath(), folder + "/registry.reg", aError)) return false;
  aFolder = folder;
  return true;
}

// Puts the staged volume in place of the current one. Copied in under the
// volume's lock, others that have it open see the new content; a current
// volume too damaged for that is replaced as a file, with its journal.
bool ReplaceVolume(const std::string& aStaged, std::string& aError) {
  std::string volumePath = HostPath(KDatabaseVolume);
  DWORD error = kvplatform::CopyDatabaseVolume(aStaged, volumePath);
  if (error == ERROR_SUCCESS) {
    RemoveVolumeFiles(aStaged);
    return true;
  }
  // Only a volume that is not one any more is replaced as a file: one that
  // is busy or cannot be written is left to its other users.
  if (error != ERROR_BAD_FORMAT && error != ERROR_BADDB) {
    aError = "cannot replace the contacts and messages (error " + std::to_string(error) + ")";
    RemoveVolumeFiles(aStaged);
    return false;
  }
  for (const char* suffix : {"-wal", "-shm", "-journal"}) unlink((volumePath + suffix).c_str());
  if (rename(aStaged.c_str(), volumePath.c_str()) == 0) {
    RemoveVolumeFiles(aStaged);
    return true;
  }
  aError = "cannot replace the contacts and messages (error " + std::to_string(error) + ", then " + std::strerror(errno) + ")";
  RemoveVolumeFiles(aStaged);
  return false;
}

}  // namespace

bool WriteBackup(const std::string& aHostPath, std::string& aError) {
  // Made if there is none yet, so that every backup holds a volume of ours.
  CEGUID mounted;
  if (!CeMountDBVol(&mounted, const_cast<LPWSTR>(KDatabaseVolume), OPEN_ALWAYS)) {
    aError = "cannot open the contacts and messages (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  CeUnmountDBVol(&mounted);
  std::string volumePath = HostPath(KDatabaseVolume);
  std::string copyPath = volumePath + ".backup-copy";
  std::string volume;
  RemoveVolumeFiles(copyPath);
  DWORD error = kvplatform::CopyDatabaseVolume(volumePath, copyPath);
  bool read = error == ERROR_SUCCESS && ReadWholeFile(copyPath, volume);
  RemoveVolumeFiles(copyPath);
  if (!read) {
    aError = "cannot copy the contacts and messages (error " + std::to_string(error) + ")";
    return false;
  }
  std::string settings;
  struct stat info;
  if (stat(kvplatform::RegistryFilePath().c_str(), &info) == 0 && !ReadWholeFile(kvplatform::RegistryFilePath(), settings)) {
    aError = "cannot read the settings";
    return false;
  }
  SYSTEMTIME now;
  FILETIME time;
  GetSystemTime(&now);
  SystemTimeToFileTime(&now, &time);
  std::string file = std::string(KMagic) + " " + std::to_string(KBackupFormatVersion) + "\ncreated " + IsoUtc(time) +
                     "\n" + Section("volume", volume) + Section("settings", settings) + "end\n";
  return WriteFileAtomically(aHostPath, file, aError);
}

bool ReadBackup(const std::string& aHostPath, TBackupContents& aContents, std::string& aError) {
  std::string file;
  if (!ReadInputFile(aHostPath, EInputBackup, file, aError)) return false;
  size_t pos = 0;
  auto line = [&](std::string& aLine) {
    size_t end = file.find('\n', pos);
    if (end == std::string::npos || end - pos > 200) return false;
    aLine = file.substr(pos, end - pos);
    pos = end + 1;
    return true;
  };
  std::string first;
  if (!line(first) || first.rfind(std::string(KMagic) + " ", 0) != 0) {
    aError = "it is not a Korvanet backup";
    return false;
  }
  TBackupContents contents;
  contents.iVersion = std::atoi(first.c_str() + sizeof KMagic);
  if (contents.iVersion < 1 || contents.iVersion > KBackupFormatVersion) {
    // The file's own words are not repeated: only a number it names.
    std::string format = first.substr(sizeof KMagic);
    bool number = !format.empty() && format.size() <= 9 && format.find_first_not_of("0123456789") == std::string::npos;
    aError = "it is a backup in " + (number ? "format " + format : std::string("an unknown format")) +
             ", which this Korvanet cannot read (it reads format " + std::to_string(KBackupFormatVersion) + ")";
    return false;
  }
  std::string created;
  if (line(created) && created.rfind("created ", 0) == 0) contents.iCreated = created.substr(8);
  bool volume = false, settings = false, ended = false;
  std::string header;
  while (!ended && line(header)) {
    if (header == "end") {
      ended = true;
      break;
    }
    char name[32];
    size_t size = 0;
    unsigned long crc = 0;
    if (std::sscanf(header.c_str(), "section %31s %zu %lx", name, &size, &crc) != 3 || size > file.size() - pos ||
        pos + size >= file.size() || file[pos + size] != '\n')
      break;
    std::string bytes = file.substr(pos, size);
    pos += size + 1;
    if (Crc32(bytes) != crc) {
      aError = std::string("it is damaged: its ") + (std::string(name) == "volume" ? "contacts and messages" : name) +
               " do not match their checksum";
      return false;
    }
    if (std::string(name) == "volume") {
      contents.iVolume = std::move(bytes);
      volume = true;
    } else if (std::string(name) == "settings") {
      contents.iSettings = std::move(bytes);
      settings = true;
    }
  }
  if (!ended || !volume || !settings) {
    aError = "it is damaged or incomplete (it ends before all its parts)";
    return false;
  }
  // Each part as the program would read it, before anything is replaced.
  if (contents.iVolume.empty()) {
    aError = "its contacts and messages are missing (the database is empty)";
    return false;
  }
  if (!IsSoundVolume(contents.iVolume, aError)) return false;
  std::string settingsError;
  if (!contents.iSettings.empty() && !kvplatform::CheckRegistryText(contents.iSettings, settingsError)) {
    aError = "its settings are damaged (" + settingsError + ")";
    return false;
  }
  aContents = std::move(contents);
  return true;
}

bool RestoreBackup(const TBackupContents& aContents, const std::string& aAsideHostPath, std::string& aAside,
                   std::string& aError) {
  std::string asideError;
  if (!KeepCurrentFilesAside(aAsideHostPath, aAside, asideError)) {
    aError = "cannot keep the current data aside, so nothing was restored: " + asideError;
    return false;
  }
  std::string stagedPath = HostPath(KDatabaseVolume) + ".restoring";
  RemoveVolumeFiles(stagedPath);
  if (!WriteFileAtomically(stagedPath, aContents.iVolume, aError)) {
    aError += "; nothing was restored";
    return false;
  }
  if (!ReplaceVolume(stagedPath, aError)) {
    aError += "; the previous data is in " + aAside;
    return false;
  }
  if (aContents.iSettings.empty()) {
    unlink(kvplatform::RegistryFilePath().c_str());
  } else if (!WriteFileAtomically(kvplatform::RegistryFilePath(), aContents.iSettings, aError)) {
    aError += "; the previous data is in " + aAside;
    return false;
  }
  kvplatform::ReloadRegistry();
  return true;
}

}  // namespace kvexchange
