// Services of the platform layer that have no Windows CE counterpart: where
// the device's file system lives, and what tests need to look at.
#pragma once

#include <string>
#include <vector>

#include "wintypes.h"

namespace kvplatform {

// The host folder that stands for the device's root "\": $KORVANET_ROOT, else
// $XDG_DATA_HOME/korvanet, else ~/.local/share/korvanet; empty without HOME.
// Created (0700) on demand.
std::string DeviceRoot();
// Why the data folder may not be used (there is none, or another user owns
// it or may write in it); empty when it may. While there is a reason, device
// paths map to nothing and the settings are neither read nor written.
std::string DeviceRootProblem();
// Overrides the root for this process (a tool's --root, a test's temporary root).
void SetDeviceRoot(const std::string& hostPath);
// Maps a device path ("\My Documents\x.txt") to its host path under the root.
// Returns false for names that are too long or try to leave the root.
bool DevicePathToHost(const std::u16string& devicePath, std::string& hostPath);

// A data file installed with the program, by its path below <prefix>/share
// ("icons/hicolor/48x48/apps/korvanet.png"), where the running program's
// <prefix>/bin is its own folder's parent; empty when there is none.
std::string InstalledDataFile(const std::string& relativePath);

// UTF-16 <-> UTF-8 for messages to the host (standard error, file names).
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);

// Message boxes shown so far (caption, text, style), for unattended runs and tests.
struct MessageBoxRecord {
  std::u16string caption;
  std::u16string text;
  UINT type;
  DWORD threadId;
};
std::vector<MessageBoxRecord> MessageBoxHistory();
void ClearMessageBoxHistory();

// Copies a database volume file as one consistent state while others, in
// this process or another, may be writing to it (SQLite's online backup). The
// destination is created, or overwritten in place under its lock so that its
// other users see the new content at their next read. ERROR_SUCCESS or the
// error.
DWORD CopyDatabaseVolume(const std::string& fromHostPath, const std::string& toHostPath);

// Checks a closed volume file as the program reads one: its own format, the
// tables it makes, every record readable, and sound. ERROR_SUCCESS;
// ERROR_BAD_FORMAT for a file that is not a volume of ours (an empty one
// included); ERROR_BADDB for a damaged one; else the error met.
DWORD CheckDatabaseVolume(const std::string& hostPath);

// Whether text reads as a registry file, as the program would load it; false
// with the line and reason in error.
bool CheckRegistryText(const std::string& text, std::string& error);

// Reloads the registry from its file, as a new process would (tests).
void ReloadRegistry();
// Host path of the registry file.
std::string RegistryFilePath();

}  // namespace kvplatform
