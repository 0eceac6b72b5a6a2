// The registry's contents: keys by path, each with its typed values, loaded
// from and saved to one file under the device root. Another process (the
// command-line tool beside the windowed program) may change the file: reads
// reload it when it changed, writes re-read it under a file lock first.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <wintypes.h>

namespace kvplatform {

struct RegistryValue {
  std::u16string name;  // as first written
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct RegistryKey {
  std::u16string path;  // as first created, e.g. HKEY_CURRENT_USER\Software\X
  std::map<std::u16string, RegistryValue> values;  // by case-folded name
};

class RegistryStore {
 public:
  static RegistryStore& Instance();

  // All operations take case-insensitive full key paths.
  bool KeyExists(const std::u16string& path);
  // Creates the key and every missing parent; true if it was created.
  DWORD CreateKey(const std::u16string& path, bool& created);
  std::optional<RegistryValue> QueryValue(const std::u16string& path, const std::u16string& name);
  DWORD SetValue(const std::u16string& path, const RegistryValue& value);
  DWORD DeleteValue(const std::u16string& path, const std::u16string& name);

  void ForceReload();
  std::string FilePath() const;

 private:
  struct FileStamp {
    bool exists = false;
    long long mtimeNs = 0;
    long long size = 0;
    unsigned long long inode = 0;
    bool operator==(const FileStamp&) const = default;
  };

  void RefreshLocked();
  void LoadLocked();
  bool SaveLocked();
  FileStamp StampLocked() const;
  // Runs a change under the cross-process lock: reload, change, save.
  DWORD ChangeLocked(const std::function<DWORD()>& change);

  std::mutex lock_;
  std::map<std::u16string, RegistryKey> keys_;  // by case-folded path
  bool loaded_ = false;
  FileStamp stamp_;
  std::string loadedRoot_;
};

std::u16string FoldRegistryName(const std::u16string& name);

}  // namespace kvplatform
