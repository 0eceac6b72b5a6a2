// Whole backups: what a restore brings back, and the files it refuses
// without changing anything.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include <kvplatform.h>

#include "exchange/data_backup.h"
#include "exchange/exchange_text.h"
#include "kernel/registry.h"
#include "store/contacts.h"
#include "store/tests/store_fixture.h"

using namespace kvexchange;

namespace {

const WCHAR KKey[] = u"Software\\Veltramonic\\Korvanet";

class BackupTest : public StoreTest {
 protected:
  std::string Path(const std::string& aName) const { return Root() + "/" + aName; }

  void AddContact(const std::string& aName) {
    std::unique_ptr<CKveContactsDatabase> store(CKveContactsDatabase::NewL(nullptr, 0));
    std::unique_ptr<CKveContactsItem> item(static_cast<CKveContactsItem*>(store->NewItemL()));
    std::u16string name = Utf16(aName), number = u"+447700900123";
    item->SetNameL(View(name));
    item->SetNumberL(View(number));
    ASSERT_NE(store->WriteItemL(*item), 0u);
  }

  std::vector<std::string> Names() {
    std::unique_ptr<CKveContactsDatabase> store(CKveContactsDatabase::NewL(nullptr, 0));
    std::vector<std::string> names;
    for (CEpocDatabaseItem* item = store->ReadFirstItemL(); item != nullptr; item = store->ReadNextItemL()) {
      std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(item));
      names.push_back(Utf8(contact->Name()));
    }
    return names;
  }

  void SetSmsc(const char16_t* aNumber) { CEpocRegistry::SaveRegistryString(KKey, u"SMSC", aNumber); }

  std::u16string Smsc() {
    LPWSTR value = CEpocRegistry::GetRegistryString(KKey, u"SMSC");
    std::u16string smsc = value != nullptr ? value : u"";
    std::free(value);
    return smsc;
  }
};

}  // namespace

TEST_F(BackupTest, RestoreBringsBackContactsAndSettingsAndKeepsTheReplacedDataAside) {
  AddContact("Ελένη");
  SetSmsc(u"+447785016005");
  std::string error;
  ASSERT_TRUE(WriteBackup(Path("one.kvbackup"), error)) << error;

  AddContact("Later");
  SetSmsc(u"+10000");
  TBackupContents contents;
  ASSERT_TRUE(ReadBackup(Path("one.kvbackup"), contents, error)) << error;
  EXPECT_EQ(contents.iVersion, 1);
  ASSERT_TRUE(RestoreBackup(contents, Path("aside.kvbackup"), error)) << error;
  EXPECT_EQ(Names(), std::vector<std::string>{"Ελένη"});
  EXPECT_EQ(Smsc(), u"+447785016005");

  // The data the restore replaced is a backup of its own.
  ASSERT_TRUE(ReadBackup(Path("aside.kvbackup"), contents, error)) << error;
  ASSERT_TRUE(RestoreBackup(contents, Path("aside2.kvbackup"), error)) << error;
  EXPECT_EQ(Names(), (std::vector<std::string>{"Later", "Ελένη"}));
  EXPECT_EQ(Smsc(), u"+10000");
}

// The backup's volume is checked beside the data: the check leaves no file
// of its own there (found by fuzzing: the volume's stamp of a whole check).
TEST_F(BackupTest, CheckingABackupLeavesNoFileBesideTheData) {
  AddContact("Alice");
  std::string error;
  ASSERT_TRUE(WriteBackup(Path("good.kvbackup"), error)) << error;
  auto dataFiles = [this] {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Root() + "/Program Files/Korvanet/Data"))
      names.insert(entry.path().filename().string());
    return names;
  };
  const std::set<std::string> before = dataFiles();
  TBackupContents contents;
  ASSERT_TRUE(ReadBackup(Path("good.kvbackup"), contents, error)) << error;
  EXPECT_EQ(dataFiles(), before);
}

TEST_F(BackupTest, DamagedTruncatedForeignAndNewerFilesAreRefusedWithNothingChanged) {
  AddContact("Alice");
  std::string error;
  ASSERT_TRUE(WriteBackup(Path("good.kvbackup"), error)) << error;
  std::string good = ReadFile(Path("good.kvbackup"));
  std::string damaged = good;
  damaged[damaged.size() / 2] ^= 0x20;
  std::string newer = good;
  newer.replace(newer.find(" 1\n"), 3, " 2\n");

  struct TCase {
    std::string iBytes;
    std::string iError;
  };
  std::vector<TCase> cases = {
      {damaged, "it is damaged: its contacts and messages do not match their checksum"},
      {good.substr(0, good.size() / 3), "it is damaged or incomplete (it ends before all its parts)"},
      {good.substr(0, good.size() - 4), "it is damaged or incomplete (it ends before all its parts)"},
      {ReadFile(VolumeHostPath()), "it is not a Korvanet backup"},
      {"", "it is not a Korvanet backup"},
      {newer, "it is a backup in format 2, which this Korvanet cannot read (it reads format 1)"},
  };
  AddContact("Bob");
  std::string before = ReadFile(VolumeHostPath());
  for (const TCase& bad : cases) {
    WriteFile(Path("bad.kvbackup"), bad.iBytes);
    TBackupContents contents;
    EXPECT_FALSE(ReadBackup(Path("bad.kvbackup"), contents, error));
    EXPECT_EQ(error, bad.iError);
  }
  EXPECT_FALSE(ReadBackup(Path("missing.kvbackup"), *std::make_unique<TBackupContents>(), error));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Alice", "Bob"}));
  EXPECT_EQ(ReadFile(VolumeHostPath()), before);
}
