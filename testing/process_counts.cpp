#include "testing/process_counts.h"

#include <dirent.h>

namespace {

int CountEntries(const char* aFolder) {
  DIR* folder = opendir(aFolder);
  if (folder == nullptr) return -1;
  int count = 0;
  while (dirent* entry = readdir(folder))
    if (entry->d_name[0] != '.') ++count;
  closedir(folder);
  return count;
}

}  // namespace

int CountThreads() { return CountEntries("/proc/self/task"); }

int CountDescriptors() { return CountEntries("/proc/self/fd") - 1; }
