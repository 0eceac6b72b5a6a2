// What the seed makers share: the one argument they take, and volumes
// compacted to small pages so that each seed is a few KB.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <string>

// The output folder, the only argument; false (usage printed) otherwise.
inline bool SeedFolderArgument(int aArgc, char** aArgv, const char* aUsage, std::string& aFolder) {
  if (aArgc != 2) {
    std::fprintf(stderr, "usage: %s\n", aUsage);
    return false;
  }
  aFolder = aArgv[1];
  return true;
}

// Rewrites the volume file at aPath with 512-byte pages and no free ones.
inline bool CompactVolume(const std::string& aPath) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(aPath.c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA page_size=512; VACUUM;", nullptr, nullptr, nullptr) ==
                SQLITE_OK;
  sqlite3_close(db);
  return ok;
}
