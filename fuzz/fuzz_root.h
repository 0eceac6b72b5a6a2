// A private device root for a fuzz target: created once, emptied between
// inputs, removed when the fuzzer ends.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <kvplatform.h>

inline std::vector<std::string> FilesIn(const std::string& aFolder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(aFolder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

// Removes the files of a folder (the roots hold no subfolders but the ones named).
inline void EmptyFolder(const std::string& aFolder) {
  for (const std::string& name : FilesIn(aFolder)) {
    std::string path = aFolder + "/" + name;
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      EmptyFolder(path);
      rmdir(path.c_str());
    } else {
      unlink(path.c_str());
    }
  }
}

inline std::string MakeFuzzRoot(const char* aName) {
  // Memory-backed when there is one: the stores sync every write.
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
  std::string pattern = std::string(base) + "/korvanet-fuzz-" + aName + "-XXXXXX";
  std::vector<char> path(pattern.begin(), pattern.end());
  path.push_back('\0');
  if (mkdtemp(path.data()) == nullptr) std::abort();
  std::string root(path.data());
  kvplatform::SetDeviceRoot(root);
  // Gone again when the fuzzer ends (libFuzzer ends a run through exit()).
  static struct TRemover {
    std::vector<std::string> iRoots;
    ~TRemover() {
      for (const std::string& root : iRoots) {
        EmptyFolder(root);
        rmdir(root.c_str());
      }
    }
  } remover;
  remover.iRoots.push_back(root);
  return root;
}

inline bool WriteFileBytes(const std::string& aPath, const std::string& aBytes) {
  std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
  out.write(aBytes.data(), static_cast<std::streamsize>(aBytes.size()));
  return static_cast<bool>(out);
}

inline bool ReadFileBytes(const std::string& aPath, std::string& aBytes) {
  std::ifstream in(aPath, std::ios::binary);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();
  aBytes = text.str();
  return true;
}
