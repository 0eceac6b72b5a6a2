// Reading, checking and restoring a backup file, on top of data that is
// already there (a contact, a message and settings).
//
// The input: the first byte chooses its form. Even: the backup file's bytes
// as they are. Odd: parts that the target writes into a well-formed file
// with true checksums, so that the checks past them are reached: two bytes
// (low first) give the settings' length, the settings follow, and the rest
// is the volume; bit 1 leaves the settings section out, bit 2 the end line.
//
// Properties:
//   - a backup that is refused says why and leaves every file of the data
//     (the volume, its journal, the settings) byte for byte as it was;
//   - one that is taken holds the parts that were written into it;
//   - after a restore the settings are the backup's, and restoring a backup
//     of the earlier data brings back its contacts, messages and settings.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>

#include "exchange/data_backup.h"
#include "exchange/exchange_text.h"
#include "fuzz/store_fuzz.h"
#include "registry/registry_file.h"
#include "store/contacts.h"
#include "store/messages.h"

using namespace kvexchange;

namespace {

using TFiles = std::map<std::string, std::string>;  // name under the root, bytes
using TRows = std::multiset<std::tuple<std::string, std::string, std::string>>;

const char KDataFolder[] = "/Program Files/Korvanet/Data";
const char KSettings[] =
    "Korvanet registry 1\n\n[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\Veltramonic\\Korvanet]\n"
    "\"SMSC\"=\"+447785016005\"\n\"Port\"=\"COM3:\"\n\"Baud\"=dword:0000e100\n";

const std::string& Root() {
  static const std::string root = MakeFuzzRoot("backup");
  return root;
}

// The data's files: those of the data folder, and the settings.
TFiles DataFiles() {
  TFiles files;
  const std::string folder = Root() + KDataFolder;
  for (const std::string& name : FilesIn(folder)) {
    if (name.find(".lock") != std::string::npos) continue;  // a lock is no data
    FUZZ_CHECK(ReadFileBytes(folder + "/" + name, files[std::string(KDataFolder) + "/" + name]));
  }
  std::string settings;
  if (ReadFileBytes(Root() + "/registry.reg", settings)) files["/registry.reg"] = settings;
  return files;
}

void PutDataFiles(const TFiles& aFiles) {
  StartAfresh(Root());
  for (const auto& [name, bytes] : aFiles) FUZZ_CHECK(WriteFileBytes(Root() + name, bytes));
  kvplatform::ReloadRegistry();
}

// Every contact and message as a line of its texts.
TRows Records() {
  TRows rows;
  std::unique_ptr<CKveContactsDatabase> contacts(CKveContactsDatabase::NewL(nullptr, 0));
  FUZZ_CHECK(contacts != nullptr);
  for (CEpocDatabaseItem* item = contacts->ReadFirstItemL(); item != nullptr; item = contacts->ReadNextItemL()) {
    std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(item));
    rows.insert({"contact", Utf8(contact->Name()), Utf8(contact->Number())});
  }
  std::unique_ptr<CKveMessagesDatabase> messages(CKveMessagesDatabase::NewL(nullptr, 0));
  FUZZ_CHECK(messages != nullptr);
  for (CEpocDatabaseItem* item = messages->ReadFirstItemL(); item != nullptr; item = messages->ReadNextItemL()) {
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(item));
    rows.insert({Utf8(message->Number()), Utf8(message->Name()), Utf8(message->Text())});
  }
  return rows;
}

// The data every input starts from, made once: its files, its records, and
// a backup of it made by the program.
struct TEarlierData {
  TFiles iFiles;
  TRows iRecords;
  std::string iBackup;
};

const TEarlierData& Earlier() {
  static const TEarlierData data = [] {
    TEarlierData made;
    StartAfresh(Root());
    {
      std::unique_ptr<CKveContactsDatabase> contacts(CKveContactsDatabase::NewL(nullptr, 0));
      std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(contacts->NewItemL()));
      std::u16string name = u"Zoë", number = u"+447700900123";
      contact->SetNameL(View(name));
      contact->SetNumberL(View(number));
      contact->SetOnSim();
      FUZZ_CHECK(contacts->WriteItemL(*contact) != 0);
      std::unique_ptr<CKveMessagesDatabase> messages(CKveMessagesDatabase::NewL(nullptr, 0));
      std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(messages->NewItemL()));
      std::u16string text = u"See you at 8";
      TConstPtr16 nameView = View(name), numberView = View(number), textView = View(text);
      message->SetDetailsL(&nameView, &textView, &numberView, EKvFolderInbox);
      FUZZ_CHECK(messages->WriteItemL(*message) != 0);
    }
    FUZZ_CHECK(WriteFileBytes(kvplatform::RegistryFilePath(), KSettings));
    kvplatform::ReloadRegistry();
    made.iFiles = DataFiles();
    made.iRecords = Records();
    std::string error;
    const std::string path = Root() + "/My Documents/earlier.kvbackup";
    FUZZ_CHECK(WriteBackup(path, error), "%s", error.c_str());
    FUZZ_CHECK(ReadFileBytes(path, made.iBackup));
    return made;
  }();
  return data;
}

unsigned long Crc32(const std::string& aBytes) {
  unsigned long crc = 0xFFFFFFFFUL;
  for (unsigned char byte : aBytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320UL ^ (crc >> 1) : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFUL;
}

std::string Section(const char* aName, const std::string& aBytes) {
  char header[96];
  std::snprintf(header, sizeof header, "section %s %zu %08lx\n", aName, aBytes.size(), Crc32(aBytes));
  return header + aBytes + "\n";
}

std::string Shown(const TFiles& aFiles) {
  std::string text;
  for (const auto& [name, bytes] : aFiles) text += name + " (" + std::to_string(bytes.size()) + " bytes)\n";
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  if (aSize < 1) return 0;
  const TEarlierData& earlier = Earlier();
  const bool built = (aData[0] & 1) != 0;
  std::string file, volume, settings;
  if (built) {
    if (aSize < 3) return 0;
    const size_t settingsLength = std::min<size_t>(aData[1] | (aData[2] << 8), aSize - 3);
    settings.assign(reinterpret_cast<const char*>(aData) + 3, settingsLength);
    volume.assign(reinterpret_cast<const char*>(aData) + 3 + settingsLength, aSize - 3 - settingsLength);
    file = "KORVANET-BACKUP 1\ncreated 2026-01-02T03:04:05Z\n" + Section("volume", volume);
    if ((aData[0] & 2) == 0) file += Section("settings", settings);
    if ((aData[0] & 4) == 0) file += "end\n";
  } else {
    file.assign(reinterpret_cast<const char*>(aData) + 1, aSize - 1);
  }
  PutDataFiles(earlier.iFiles);
  const std::string path = Root() + "/My Documents/fuzz.kvbackup";
  FUZZ_CHECK(WriteFileBytes(path, file));

  TBackupContents contents;
  std::string error;
  if (!ReadBackup(path, contents, error)) {
    FUZZ_CHECK(!error.empty(), "refused without a reason");
    const TFiles after = DataFiles();
    FUZZ_CHECK(after == earlier.iFiles, "a refused backup changed the data (%s); before:\n%s\nafter:\n%s", error.c_str(),
               Shown(earlier.iFiles).c_str(), Shown(after).c_str());
    return 0;
  }
  if (built) {
    FUZZ_CHECK((aData[0] & 6) == 0, "a backup without all its parts is taken");
    FUZZ_CHECK(contents.iVolume == volume && contents.iSettings == settings, "the parts read differ from those written");
  }
  const TFiles afterRead = DataFiles();
  FUZZ_CHECK(afterRead == earlier.iFiles, "reading a backup changed the data; before:\n%s\nafter:\n%s",
             Shown(earlier.iFiles).c_str(), Shown(afterRead).c_str());

  // Settings the program would not load are refused with the rest of the backup.
  std::map<std::u16string, kvplatform::RegistryKey> keys;
  std::string parseError;
  FUZZ_CHECK(contents.iSettings.empty() || kvplatform::ParseRegistry(contents.iSettings, keys, parseError),
             "a backup whose settings do not load was taken: %s", parseError.c_str());

  std::string aside;
  if (!RestoreBackup(contents, Root() + "/My Documents/aside", aside, error)) {
    FUZZ_CHECK(!error.empty(), "a restore failed without a reason");
    return 0;
  }
  // Each restore keeps the replaced files in a folder of its own: gone again, or they pile up.
  std::filesystem::remove_all(aside);
  std::string restoredSettings;
  const bool hasSettings = ReadFileBytes(kvplatform::RegistryFilePath(), restoredSettings);
  FUZZ_CHECK(hasSettings ? restoredSettings == contents.iSettings : contents.iSettings.empty(),
             "the settings restored are not the backup's");

  // Back to the earlier data, from the program's own backup of it.
  FUZZ_CHECK(WriteFileBytes(path, earlier.iBackup));
  TBackupContents back;
  FUZZ_CHECK(ReadBackup(path, back, error), "the program's own backup is refused after a restore: %s", error.c_str());
  FUZZ_CHECK(RestoreBackup(back, Root() + "/My Documents/aside", aside, error),
             "the program's own backup does not restore after a restore: %s", error.c_str());
  std::filesystem::remove_all(aside);
  const TRows records = Records();
  FUZZ_CHECK(records == earlier.iRecords, "%zu records after restoring the earlier data, %zu before", records.size(),
             earlier.iRecords.size());
  std::string settingsBack;
  FUZZ_CHECK(ReadFileBytes(kvplatform::RegistryFilePath(), settingsBack) && settingsBack == KSettings,
             "the earlier settings are not back");
  return 0;
}
