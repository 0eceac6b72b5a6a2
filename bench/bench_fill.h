// Stores for the benchmarks, filled through the program's own store API as
// years of downloads would fill them.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include <kvplatform.h>
#include <windows.h>

#include "store/messages.h"

// A message of a typical length, distinct for each number.
inline CKveMessagesItem* NewBenchMessage(CKveMessagesDatabase& aDb, int aNumber, const char* aWhat = "Stored") {
  auto* item = static_cast<CKveMessagesItem*>(aDb.NewItemL());
  std::u16string name = kvplatform::FromUtf8("Contact " + std::to_string(aNumber % 300));
  std::u16string number = kvplatform::FromUtf8("+4477009" + std::to_string(10000 + aNumber % 300));
  std::u16string text =
      kvplatform::FromUtf8(std::string(aWhat) + " message number " + std::to_string(aNumber) + ", of a typical length.");
  TConstPtr16 nameText(name.data(), static_cast<int>(name.size()));
  TConstPtr16 numberText(number.data(), static_cast<int>(number.size()));
  TConstPtr16 bodyText(text.data(), static_cast<int>(text.size()));
  item->SetDetailsL(&nameText, &bodyText, &numberText, EKvFolderInbox);
  return item;
}

// Adds the messages numbered aFrom up to aTo (excluded) to the messages store
// of the current device root; false when one was not written.
inline bool FillMessagesStore(int aFrom, int aTo) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  for (int i = aFrom; i < aTo; ++i) {
    std::unique_ptr<CKveMessagesItem> item(NewBenchMessage(*db, i));
    if (db->WriteItemL(*item) == 0) return false;
  }
  return true;
}

// Makes the program's data folder under a new temporary device root.
inline std::string MakeBenchRoot() {
  char pattern[] = "/tmp/kv-bench-XXXXXX";
  std::string root = mkdtemp(pattern);
  kvplatform::SetDeviceRoot(root);
  CreateDirectoryW(u"\\Program Files", nullptr);
  CreateDirectoryW(u"\\Program Files\\Korvanet", nullptr);
  CreateDirectoryW(u"\\Program Files\\Korvanet\\Data", nullptr);
  return root;
}

// The volume file of a store of aCount bench messages (1,000, 10,000, 50,000
// or 100,000), made once and kept in $KV_BENCH_CACHE (default
// /tmp/kv-bench-cache): the store syncs every write, so filling takes minutes.
// Each size is grown from the one below. Empty when it could not be made.
inline std::string CachedMessagesVolume(int aCount) {
  const char* folder = getenv("KV_BENCH_CACHE");
  std::filesystem::path cache = folder != nullptr && *folder != 0 ? folder : "/tmp/kv-bench-cache";
  std::filesystem::path file = cache / ("messages-" + std::to_string(aCount) + ".vol");
  if (std::filesystem::exists(file)) return file.string();
  std::filesystem::create_directories(cache);
  int from = 0;
  std::string base;
  for (int size : {1000, 10000, 50000}) {
    if (size < aCount) {
      from = size;
      base = CachedMessagesVolume(size);
    }
  }
  if (from != 0 && base.empty()) return std::string();
  std::string root = MakeBenchRoot();
  std::string volume;
  kvplatform::DevicePathToHost(KDatabaseVolume, volume);
  if (from != 0) std::filesystem::copy_file(base, volume);
  bool filled = FillMessagesStore(from, aCount);  // every mount gone again: the file is whole
  if (filled) std::filesystem::copy_file(volume, file);
  std::filesystem::remove_all(root);
  return filled ? file.string() : std::string();
}

// Makes a new device root holding the store of aCount bench messages; empty
// when it could not be made.
inline std::string MakeFilledBenchRoot(int aCount) {
  std::string cached = CachedMessagesVolume(aCount);
  if (cached.empty()) return std::string();
  std::string root = MakeBenchRoot();
  std::string volume;
  kvplatform::DevicePathToHost(KDatabaseVolume, volume);
  std::filesystem::copy_file(cached, volume);
  return root;
}
