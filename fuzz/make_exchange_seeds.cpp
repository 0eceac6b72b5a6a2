// Writes the seeds of the import and backup targets that no file in the
// repository gives: messages and contacts as the program's exports write
// them, and backups as the program writes them (its volume compacted to
// small pages, so that each seed is a few KB). Run by hand; the seeds are
// committed.
//   make_exchange_seeds <fuzz/corpus folder>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "exchange/contacts_exchange.h"
#include "exchange/data_backup.h"
#include "exchange/exchange_text.h"
#include "exchange/messages_exchange.h"
#include "fuzz/seed_maker.h"
#include "fuzz/store_fuzz.h"

using namespace kvexchange;

namespace {

int gFailures = 0;

void Put(const std::string& aPath, const std::string& aBytes) {
  if (!WriteFileBytes(aPath, aBytes)) {
    std::fprintf(stderr, "%s: could not be written\n", aPath.c_str());
    ++gFailures;
  }
}

void AddMessage(CKveMessagesDatabase& aStore, DWORD aFolder, const std::u16string& aName, const std::u16string& aNumber,
                const std::u16string& aText, long long aMillis) {
  std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(aStore.NewItemL()));
  TConstPtr16 name = View(aName), number = View(aNumber), text = View(aText);
  item->SetDetailsL(&name, &text, &number, aFolder);
  item->SetDateSentTime(FromUnixMillis(aMillis));
  if (aStore.WriteItemL(*item) == 0) ++gFailures;
}

void AddContact(CKveContactsDatabase& aStore, const std::u16string& aName, const std::u16string& aNumber,
                const std::u16string& aDetails, bool aSim, int aLocation) {
  std::unique_ptr<CKveContactsItem> item(static_cast<CKveContactsItem*>(aStore.NewItemL()));
  item->SetNameL(View(aName));
  item->SetNumberL(View(aNumber));
  item->SetOtherDetailsL(View(aDetails));
  aSim ? item->SetOnSim() : item->SetInPhoneMemory();
  item->SetLocation(aLocation);
  if (aStore.WriteItemL(*item) == 0) ++gFailures;
}

// The built form of the backup target: settings length, settings, volume.
std::string BuiltBackup(unsigned char aForm, const std::string& aSettings, const std::string& aVolume) {
  std::string input(1, static_cast<char>(aForm));
  input += static_cast<char>(aSettings.size() & 0xFF);
  input += static_cast<char>(aSettings.size() >> 8);
  return input + aSettings + aVolume;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  if (!SeedFolderArgument(argc, argv, "make_exchange_seeds <fuzz/corpus folder>", out)) return 2;
  const std::string root = MakeFuzzRoot("exchange-seeds");
  StartAfresh(root);
  {
    std::unique_ptr<CKveMessagesDatabase> messages(CKveMessagesDatabase::NewL(nullptr, 0));
    AddMessage(*messages, EKvFolderInbox, u"Ελένη", u"+306912345678", u"Γεια σου! 🌍\r\nSee you at 8, \"the usual\"",
               1700000000000);
    AddMessage(*messages, EKvFolderSent, u"", u"+447700900123", u"Quotes \" and <tags> & ampersands,\r\ncommas; tabs\t",
               1600000000123);
    AddMessage(*messages, EKvFolderOutbox, u"王小明", u"+8613912345678", u"还没发送", 1500000000000);
    AddMessage(*messages, EKvFolderInbox, u"Bank", u"BANK", u"=SUM(A1) +1 -2 @x", 946684800000);
    for (TMessageFormat format : {EMessagesJson, EMessagesCsv, EMessagesXml}) {
      std::ostringstream file;
      ExportMessagesL(*messages, format, "all", file);
      const char* name = format == EMessagesJson ? "seed-export.json" : format == EMessagesCsv ? "seed-export.csv" : "seed-export.xml";
      Put(out + "/messages_import/" + name, file.str());
    }
    std::unique_ptr<CKveContactsDatabase> contacts(CKveContactsDatabase::NewL(nullptr, 0));
    AddContact(*contacts, u"Ελένη Παπαδάκη, \"Eleni\"; 🌸", u"+306912345678", u"Line one\r\nline two; \\ and \"quotes\"", true,
               3);
    AddContact(*contacts, u"Иван Петров", u"+79123456789", u"", false, 12);
    AddContact(*contacts, u"王小明", u"+8613912345678", u"", true, -1);
    AddContact(*contacts, u"Zoë", u"07700900123", u"", true, -1);
    const TContactExport exports[] = {{EContactsJson, 3, "all"}, {EContactsCsv, 3, "all"}, {EContactsVCard, 3, "all"},
                                      {EContactsVCard, 4, "all"}};
    const char* names[] = {"seed-export.json", "seed-export.csv", "seed-export-3.vcf", "seed-export-4.vcf"};
    for (int i = 0; i < 4; ++i) {
      std::ostringstream file;
      ExportContactsL(*contacts, exports[i], file);
      Put(out + "/contacts_import/" + names[i], file.str());
    }
  }

  std::string volumePath;
  kvplatform::DevicePathToHost(KDatabaseVolume, volumePath);
  const std::string settings =
      "Korvanet registry 1\n\n[HKEY_CURRENT_USER\\Software\\Veltramonic\\Korvanet]\n\"SMSC\"=\"+447785016005\"\n"
      "\"Port\"=\"COM3:\"\n";
  std::string volume, backup, error;
  const std::string backupPath = root + "/My Documents/seed.kvbackup";
  if (!CompactVolume(volumePath) || !ReadFileBytes(volumePath, volume) || !WriteFileBytes(kvplatform::RegistryFilePath(), settings) ||
      !WriteBackup(backupPath, error) || !ReadFileBytes(backupPath, backup)) {
    std::fprintf(stderr, "the backup seeds could not be made: %s\n", error.c_str());
    return 1;
  }
  Put(out + "/backup_restore/seed-backup", std::string(1, '\0') + backup);
  Put(out + "/backup_restore/seed-built", BuiltBackup(1, settings, volume));
  Put(out + "/backup_restore/seed-built-no-settings", BuiltBackup(1, "", volume));
  Put(out + "/backup_restore/seed-built-nothing-stored", BuiltBackup(1, settings, ""));
  Put(out + "/backup_restore/seed-built-no-end", BuiltBackup(5, settings, volume));
  Put(out + "/backup_restore/seed-built-not-a-volume", BuiltBackup(1, settings, "SQLite format 3"));
  EmptyFolder(root);
  return gFailures == 0 ? 0 : 1;
}
