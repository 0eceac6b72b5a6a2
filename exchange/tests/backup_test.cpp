// Whole backups: what a restore brings back, and the files it refuses
// without changing anything.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
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

// A backup file made by hand, each part with the checksum it should have,
// so that only what the parts hold can be wrong.
std::string Crc32Hex(const std::string& aBytes) {
  unsigned long crc = 0xFFFFFFFFUL;
  for (unsigned char byte : aBytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320UL ^ (crc >> 1) : crc >> 1;
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08lx", crc ^ 0xFFFFFFFFUL);
  return hex;
}

std::string HandMadeBackup(const std::string& aVolume, const std::string& aSettings) {
  std::string file = "KORVANET-BACKUP 1\ncreated 2026-01-01T00:00:00Z\n";
  file += "section volume " + std::to_string(aVolume.size()) + " " + Crc32Hex(aVolume) + "\n" + aVolume + "\n";
  file += "section settings " + std::to_string(aSettings.size()) + " " + Crc32Hex(aSettings) + "\n" + aSettings + "\n";
  return file + "end\n";
}

// An SQLite file made by aSql and read back whole.
std::string SqliteFile(const std::string& aPath, const char* aSql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(aPath.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, aSql, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  return ReadFile(aPath);
}

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
  std::string volume = ReadFile(VolumeHostPath()), journal = ReadFile(VolumeHostPath() + "-wal");
  std::string settings = ReadFile(kvplatform::RegistryFilePath());
  std::string aside;
  ASSERT_TRUE(RestoreBackup(contents, Path("aside"), aside, error)) << error;
  EXPECT_EQ(aside, Path("aside"));
  EXPECT_EQ(Names(), std::vector<std::string>{"Ελένη"});
  EXPECT_EQ(Smsc(), u"+447785016005");

  // The files the restore replaced, byte for byte, private to the user.
  EXPECT_TRUE(ReadFile(aside + "/Database") == volume);
  EXPECT_TRUE(ReadFile(aside + "/Database-wal") == journal);
  EXPECT_TRUE(ReadFile(aside + "/registry.reg") == settings);
  struct stat info;
  ASSERT_EQ(stat(aside.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((aside + "/Database").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  // A second restore keeps its own copy and leaves the first as it was.
  std::string second;
  ASSERT_TRUE(RestoreBackup(contents, Path("aside"), second, error)) << error;
  EXPECT_EQ(second, Path("aside 2"));
  EXPECT_TRUE(ReadFile(aside + "/Database") == volume);
  EXPECT_TRUE(ReadFile(aside + "/registry.reg") == settings);
  EXPECT_EQ(Names(), std::vector<std::string>{"Ελένη"});
}

TEST_F(BackupTest, BackupsWhosePartsTheProgramWouldNotReadAreRefusedBeforeAnythingChanges) {
  AddContact("Alice");
  SetSmsc(u"+447785016005");
  std::string error;
  ASSERT_TRUE(WriteBackup(Path("good.kvbackup"), error)) << error;
  TBackupContents good;
  ASSERT_TRUE(ReadBackup(Path("good.kvbackup"), good, error)) << error;

  struct TCase {
    std::string iWhat;
    std::string iBytes;
    std::string iError;
  };
  std::vector<TCase> cases = {
      {"an empty SQLite file", HandMadeBackup(SqliteFile(Path("empty.db"), "CREATE TABLE t(a); DROP TABLE t;"), good.iSettings),
       "its contacts and messages are not a Korvanet database"},
      {"another program's database",
       HandMadeBackup(SqliteFile(Path("other.db"), "CREATE TABLE records(oid INTEGER PRIMARY KEY, db, props);"),
                      good.iSettings),
       "its contacts and messages are not a Korvanet database"},
      {"no database at all", HandMadeBackup("", good.iSettings),
       "its contacts and messages are missing (the database is empty)"},
      {"settings that do not load", HandMadeBackup(good.iVolume, "garbage\n[x"),
       "its settings are damaged (line 1: not a Korvanet registry file)"},
  };
  std::string volume = ReadFile(VolumeHostPath());
  std::string settings = ReadFile(kvplatform::RegistryFilePath());
  for (const TCase& bad : cases) {
    WriteFile(Path("bad.kvbackup"), bad.iBytes);
    TBackupContents contents;
    EXPECT_FALSE(ReadBackup(Path("bad.kvbackup"), contents, error)) << bad.iWhat;
    EXPECT_EQ(error, bad.iError) << bad.iWhat;
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"Alice"});
  EXPECT_EQ(Smsc(), u"+447785016005");
  EXPECT_TRUE(ReadFile(VolumeHostPath()) == volume);
  EXPECT_TRUE(ReadFile(kvplatform::RegistryFilePath()) == settings);
  for (const auto& entry : std::filesystem::directory_iterator(Root()))
    EXPECT_EQ(entry.path().filename().string().find(".damaged"), std::string::npos) << entry.path();
}

TEST_F(BackupTest, ARestoreRepairsAVolumeDamagedPastReading) {
  AddContact("Alice");
  std::string error;
  ASSERT_TRUE(WriteBackup(Path("good.kvbackup"), error)) << error;
  TBackupContents contents;
  ASSERT_TRUE(ReadBackup(Path("good.kvbackup"), contents, error)) << error;

  // The volume's header overwritten: SQLite no longer takes it for a database.
  std::string damaged = ReadFile(VolumeHostPath());
  ASSERT_GT(damaged.size(), 100u);
  damaged.replace(0, 100, std::string(100, 'x'));
  for (const char* suffix : {"-wal", "-shm", "-checked"}) unlink((VolumeHostPath() + suffix).c_str());
  WriteFile(VolumeHostPath(), damaged);

  std::string aside;
  ASSERT_TRUE(RestoreBackup(contents, Path("aside"), aside, error)) << error;
  EXPECT_EQ(Names(), std::vector<std::string>{"Alice"});
  EXPECT_TRUE(ReadFile(aside + "/Database") == damaged);
}

TEST_F(BackupTest, TheBackupIsWrittenPrivatelyAndNeverThroughALinkPlacedBesideIt) {
  AddContact("Alice");
  // Another user's links where a predictable temporary name would be.
  std::string victim = Path("victim.txt");
  WriteFile(victim, "keep me");
  for (const char* name : {"one.kvbackup.part", "one.kvbackup.tmp", "one.kvbackup~"})
    ASSERT_EQ(symlink(victim.c_str(), Path(name).c_str()), 0);
  std::string error;
  ASSERT_TRUE(WriteBackup(Path("one.kvbackup"), error)) << error;
  EXPECT_EQ(ReadFile(victim), "keep me");
  struct stat info;
  ASSERT_EQ(lstat(Path("one.kvbackup").c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  TBackupContents contents;
  EXPECT_TRUE(ReadBackup(Path("one.kvbackup"), contents, error)) << error;
  // Nothing of the write is left beside it.
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Root()))
    entries += entry.path().filename().string().rfind("one.kvbackup", 0) == 0;
  EXPECT_EQ(entries, 4);
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
      {"KORVANET-BACKUP \x1B]0;owned\x07\n", "it is a backup in an unknown format, which this Korvanet cannot read (it reads format 1)"},
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
  EXPECT_EQ(error, "cannot read it: No such file or directory");
  // A backup larger than any this program writes is refused before it is read.
  WriteFile(Path("huge.kvbackup"), good.substr(0, 200));
  ASSERT_EQ(truncate(Path("huge.kvbackup").c_str(), (1LL << 30) + 1), 0);
  EXPECT_FALSE(ReadBackup(Path("huge.kvbackup"), *std::make_unique<TBackupContents>(), error));
  EXPECT_EQ(error, "it is larger than a backup may be (at most 1024 MiB)");
  EXPECT_FALSE(ReadBackup(Root(), *std::make_unique<TBackupContents>(), error));
  EXPECT_EQ(error, "it is not a regular file");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Alice", "Bob"}));
  EXPECT_TRUE(ReadFile(VolumeHostPath()) == before);
}
