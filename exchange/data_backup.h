// Whole backups: the record volume (contacts and messages) and the settings
// in one file with a format version and a checksum per part, and restoring
// one after checking it whole.
#pragma once

#include <string>

namespace kvexchange {

inline constexpr int KBackupFormatVersion = 1;

struct TBackupContents {
  int iVersion = 0;
  std::string iCreated;   // ISO 8601, UTC
  std::string iVolume;    // the volume file's bytes
  std::string iSettings;  // the settings file's bytes
};

// Writes a backup of the current data to aHostPath: the volume as one
// consistent state even while another program writes to it.
bool WriteBackup(const std::string& aHostPath, std::string& aError);

// Reads and checks a backup: our format, a version this program reads, every
// part whole and matching its checksum, and a volume that opens as sound.
// False with aError saying what is wrong; nothing is changed either way.
bool ReadBackup(const std::string& aHostPath, TBackupContents& aContents, std::string& aError);

// Replaces the contacts, messages and settings by a checked backup's, after
// writing the current data to aAsideHostPath as a backup of its own.
bool RestoreBackup(const TBackupContents& aContents, const std::string& aAsideHostPath, std::string& aError);

}  // namespace kvexchange
