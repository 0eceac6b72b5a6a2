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

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool IsUtf8(const std::string& aText) {
  size_t i = 0;
  while (i < aText.size()) {
    const auto b = static_cast<unsigned char>(aText[i]);
    size_t extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 9;
    if (extra == 9 || i + extra >= aText.size()) return false;
    uint32_t c = extra == 0 ? b : b & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(aText[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = c << 6 | (next & 0x3F);
    }
    static const uint32_t KSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < KSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

using Keys = std::map<std::u16string, RegistryKey>;

const std::string& Root() {
  static const std::string root = MakeFuzzRoot("registry");
  return root;
}

// A text value as the file's quoted form holds it: up to its first NUL.
// Known open finding: a text holding a NUL (or a hex(1) value that is not a
// whole UTF-16 text) is accepted but saved only up to the NUL, so the rest is
// lost on the next save. Until the file keeps such values whole, texts are
// compared as the quoted form holds them.
std::vector<BYTE> AsSaved(const kvplatform::RegistryValue& aValue) {
  if (aValue.type != REG_SZ) return aValue.data;
  std::vector<BYTE> text;
  for (size_t i = 0; i + 1 < aValue.data.size(); i += 2) {
    if (aValue.data[i] == 0 && aValue.data[i + 1] == 0) break;
    text.push_back(aValue.data[i]);
    text.push_back(aValue.data[i + 1]);
  }
  return text;
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
                     AsSaved(same->second) == AsSaved(value),
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

  // Known open finding: a file that is not valid UTF-8 is accepted, and its
  // names and texts change on the next save; only valid text is held to the
  // round trip until the parser refuses such files.
  if (accepted && IsUtf8(text)) {
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
