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

// Reads and checks a backup as the program would read each of its parts: our
// format, a version this program reads, every part whole and matching its
// checksum, a volume of ours that opens as sound with every record readable,
// and settings that load. False with aError saying what is wrong; nothing is
// changed either way.
bool ReadBackup(const std::string& aHostPath, TBackupContents& aContents, std::string& aError);

// Replaces the contacts, messages and settings by a checked backup's, after
// copying the current files byte for byte into a new folder (so that even a
// damaged volume is kept and replaced): aAsideHostPath, or, when that exists,
// the first of "aAsideHostPath 2", "aAsideHostPath 3"... that does not. The
// folder made is in aAside.
bool RestoreBackup(const TBackupContents& aContents, const std::string& aAsideHostPath, std::string& aAside,
                   std::string& aError);

}  // namespace kvexchange
