// The settings file with arbitrary contents.
//
// Properties:
//   - a file the parser accepts serialises and parses back to the same keys
//     and values, and serialising that gives the same text again;
//   - loaded through the store, an accepted file is taken as it is (every
//     value readable) and left byte for byte as it was;
//   - a file the parser refuses is never trusted: the store starts empty, the
//     file is moved aside byte for byte, and the next change writes a new
//     file without touching the one moved aside.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <winreg.h>

#include "fuzz/fuzz_root.h"
#include "fuzz/fuzz_util.h"
#include "registry/registry_file.h"
#include "registry/registry_store.h"

using kvplatform::RegistryKey;
using kvplatform::RegistryStore;

namespace {

using Keys = std::map<std::u16string, RegistryKey>;

const std::string& Root() {
  static const std::string root = MakeFuzzRoot("registry");
  return root;
}

void CheckSameKeys(const Keys& aFirst, const Keys& aSecond, const std::string& aText) {
  FUZZ_CHECK(aFirst.size() == aSecond.size(), "%zu keys became %zu from:\n%s", aFirst.size(), aSecond.size(),
             aText.c_str());
  for (const auto& [folded, key] : aFirst) {
    auto other = aSecond.find(folded);
    FUZZ_CHECK(other != aSecond.end(), "key [%s] lost from:\n%s", kvplatform::ToUtf8(key.path).c_str(), aText.c_str());
    FUZZ_CHECK(other->second.path == key.path, "key [%s] became [%s]", kvplatform::ToUtf8(key.path).c_str(),
               kvplatform::ToUtf8(other->second.path).c_str());
    FUZZ_CHECK(other->second.values.size() == key.values.size(), "values of [%s] from:\n%s",
               kvplatform::ToUtf8(key.path).c_str(), aText.c_str());
    for (const auto& [name, value] : key.values) {
      auto same = other->second.values.find(name);
      FUZZ_CHECK(same != other->second.values.end(), "value \"%s\" lost", kvplatform::ToUtf8(value.name).c_str());
      FUZZ_CHECK(same->second.name == value.name && same->second.type == value.type &&
                     same->second.data == value.data,
                 "value \"%s\" (type %u, %zu bytes) came back as type %u, %zu bytes, from:\n%s",
                 kvplatform::ToUtf8(value.name).c_str(), value.type, value.data.size(), same->second.type,
                 same->second.data.size(), aText.c_str());
    }
  }
}

std::string DamagedCopy(const std::string& aRoot) {
  std::string found;
  for (const std::string& name : FilesIn(aRoot)) {
    if (name.rfind("registry.reg.damaged-", 0) == 0) {
      FUZZ_CHECK(found.empty(), "two copies moved aside");
      found = aRoot + "/" + name;
    }
  }
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::string text(reinterpret_cast<const char*>(aData), aSize);
  Keys parsed;
  std::string error;
  const bool accepted = kvplatform::ParseRegistry(text, parsed, error);
  if (!accepted) FUZZ_CHECK(!error.empty(), "refused without a reason");

  if (accepted) {
    const std::string saved = kvplatform::SerializeRegistry(parsed);
    Keys reread;
    FUZZ_CHECK(kvplatform::ParseRegistry(saved, reread, error), "the saved file is refused (%s):\n%s", error.c_str(),
               saved.c_str());
    CheckSameKeys(parsed, reread, saved);
    FUZZ_CHECK(kvplatform::SerializeRegistry(reread) == saved, "saving again changes the file:\n%s", saved.c_str());
  }

  const std::string& root = Root();
  EmptyFolder(root);
  const std::string path = kvplatform::RegistryFilePath();
  FUZZ_CHECK(WriteFileBytes(path, text));
  kvplatform::ReloadRegistry();
  RegistryStore& store = RegistryStore::Instance();
  std::string after;

  if (accepted) {
    for (const auto& [folded, key] : parsed) {
      FUZZ_CHECK(store.KeyExists(key.path), "key [%s] not loaded", kvplatform::ToUtf8(key.path).c_str());
      for (const auto& [name, value] : key.values) {
        auto loaded = store.QueryValue(key.path, value.name);
        FUZZ_CHECK(loaded && loaded->type == value.type && loaded->data == value.data, "value \"%s\" not loaded as read",
                   kvplatform::ToUtf8(value.name).c_str());
      }
    }
    FUZZ_CHECK(ReadFileBytes(path, after) && after == text, "an accepted settings file was changed by loading it");
    FUZZ_CHECK(DamagedCopy(root).empty(), "an accepted settings file was moved aside");
  } else {
    FUZZ_CHECK(access(path.c_str(), F_OK) != 0, "a refused settings file was left in place");
    const std::string aside = DamagedCopy(root);
    FUZZ_CHECK(!aside.empty(), "a refused settings file was not kept");
    FUZZ_CHECK(ReadFileBytes(aside, after) && after == text, "the copy moved aside differs from the file");
    // Nothing of the refused file is trusted, and the next change starts afresh.
    bool created = false;
    const std::u16string key = u"HKEY_CURRENT_USER\\Software\\Fuzz";
    FUZZ_CHECK(store.CreateKey(key, created) == ERROR_SUCCESS && created, "the settings did not start empty");
    FUZZ_CHECK(ReadFileBytes(aside, after) && after == text, "the copy moved aside was overwritten");
    Keys fresh;
    FUZZ_CHECK(ReadFileBytes(path, after) && kvplatform::ParseRegistry(after, fresh, error) && fresh.size() == 2,
               "the new settings file holds %zu keys", fresh.size());
  }
  return 0;
}
