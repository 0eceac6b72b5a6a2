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

#include "exchange/exchange_text.h"
#include "store/epoc_database.h"

namespace kvexchange {
namespace {

const char KMagic[] = "KORVANET-BACKUP";
// Where a backup's volume is checked before anything is replaced.
const WCHAR KCheckVolume[] = u"\\Program Files\\Korvanet\\Data\\Database.restore-check";

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

// Written beside its place, synced, then renamed over it: a reader sees the
// old file or the new one, never half of one. Private to the user.
bool WriteFileAtomically(const std::string& aPath, const std::string& aBytes, std::string& aError) {
  std::string temporary = aPath + ".part";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  bool ok = fd >= 0;
  for (size_t done = 0; ok && done < aBytes.size();) {
    ssize_t n = write(fd, aBytes.data() + done, aBytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  int error = errno;
  if (fd >= 0) close(fd);
  ok = ok && rename(temporary.c_str(), aPath.c_str()) == 0;
  if (!ok) {
    aError = "cannot write " + aPath + ": " + std::strerror(error != 0 ? error : errno);
    unlink(temporary.c_str());
  }
  return ok;
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

// Whether the bytes open as a sound volume of ours, as the program opens one.
bool IsSoundVolume(const std::string& aBytes, std::string& aError) {
  std::string path = HostPath(KCheckVolume);
  RemoveVolumeFiles(path);
  if (!WriteFileAtomically(path, aBytes, aError)) return false;
  CEGUID volume;
  std::u16string device = KCheckVolume;
  bool sound = CeMountDBVol(&volume, device.data(), OPEN_EXISTING);
  if (sound) CeUnmountDBVol(&volume);
  RemoveVolumeFiles(path);
  if (!sound) aError = "its contacts and messages are damaged (the database does not open as sound)";
  return sound;
}

}  // namespace

bool WriteBackup(const std::string& aHostPath, std::string& aError) {
  std::string volumePath = HostPath(KDatabaseVolume);
  std::string copyPath = volumePath + ".backup-copy";
  std::string volume;
  struct stat info;
  if (stat(volumePath.c_str(), &info) == 0) {
    RemoveVolumeFiles(copyPath);
    DWORD error = kvplatform::CopyDatabaseVolume(volumePath, copyPath);
    bool read = error == ERROR_SUCCESS && ReadWholeFile(copyPath, volume);
    RemoveVolumeFiles(copyPath);
    if (!read) {
      aError = "cannot copy the contacts and messages (error " + std::to_string(error) + ")";
      return false;
    }
  }
  std::string settings;
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
  if (!ReadWholeFile(aHostPath, file)) {
    aError = "cannot read " + aHostPath + ": " + std::strerror(errno);
    return false;
  }
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
    aError = "it is a backup in format " + first.substr(sizeof KMagic) + ", which this Korvanet cannot read (it reads format " +
             std::to_string(KBackupFormatVersion) + ")";
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
  if (!contents.iVolume.empty() && !IsSoundVolume(contents.iVolume, aError)) return false;
  aContents = std::move(contents);
  return true;
}

bool RestoreBackup(const TBackupContents& aContents, const std::string& aAsideHostPath, std::string& aError) {
  std::string asideError;
  if (!WriteBackup(aAsideHostPath, asideError)) {
    aError = "cannot keep the current data aside, so nothing was restored: " + asideError;
    return false;
  }
  std::string volumePath = HostPath(KDatabaseVolume);
  std::string stagedPath = volumePath + ".restoring";
  RemoveVolumeFiles(stagedPath);
  if (aContents.iVolume.empty()) {
    // A backup of a program that had stored nothing yet: an empty volume.
    CEGUID volume;
    std::u16string device = std::u16string(KDatabaseVolume) + u".restoring";
    if (!CeMountDBVol(&volume, device.data(), CREATE_NEW)) {
      aError = "cannot make an empty database to restore";
      return false;
    }
    CeUnmountDBVol(&volume);
  } else if (!WriteFileAtomically(stagedPath, aContents.iVolume, aError)) {
    return false;
  }
  DWORD error = kvplatform::CopyDatabaseVolume(stagedPath, volumePath);
  RemoveVolumeFiles(stagedPath);
  if (error != ERROR_SUCCESS) {
    aError = "cannot replace the contacts and messages (error " + std::to_string(error) + "); the previous data is in " +
             aAsideHostPath;
    return false;
  }
  if (aContents.iSettings.empty()) {
    unlink(kvplatform::RegistryFilePath().c_str());
  } else if (!WriteFileAtomically(kvplatform::RegistryFilePath(), aContents.iSettings, aError)) {
    aError += "; the previous data is in " + aAsideHostPath;
    return false;
  }
  kvplatform::ReloadRegistry();
  return true;
}

}  // namespace kvexchange
