// The contacts import (JSON, vCard and CSV, told apart by what the file
// holds), through the entry point the program calls, into a store that
// already holds a contact.
//
// Properties:
//   - a dry run changes nothing and counts what the import then does;
//   - a file that is refused leaves the store as it was;
//   - one that is taken adds exactly the contacts it counts as added;
//   - the store's contacts, exported in the format the file was in and
//     imported into an empty store, are the same contacts there: none
//     refused or skipped, every name, number, details, phone book and
//     location kept (for vCard and CSV, not from a file that may carry a
//     U+0000: see MayCarryNul).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "exchange/contacts_exchange.h"
#include "exchange/exchange_text.h"
#include "exchange/import_summary.h"
#include "fuzz/store_fuzz.h"

using namespace kvexchange;

namespace {

using TRow = std::tuple<std::string, std::string, std::string, std::string, int>;

const std::string& Root() {
  static const std::string root = MakeFuzzRoot("contacts");
  return root;
}

// name, number, details (LF), phone book, location
std::multiset<TRow> Rows(CKveContactsDatabase& aStore) {
  std::multiset<TRow> rows;
  for (CEpocDatabaseItem* item = aStore.ReadFirstItemL(); item != nullptr; item = aStore.ReadNextItemL()) {
    std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(item));
    TContactRecord record = ContactRecordOf(*contact);
    rows.insert({record.iName, record.iNumber, record.iDetails, record.iStore, record.iLocation});
  }
  return rows;
}

std::string Shown(const std::multiset<TRow>& aRows) {
  std::string text;
  for (const TRow& row : aRows)
    text += "[" + std::get<0>(row) + "] [" + std::get<1>(row) + "] [" + std::get<2>(row).substr(0, 200) + "] " +
            std::get<3>(row) + " " + std::to_string(std::get<4>(row)) + "\n";
  return text.substr(0, 4000);
}

std::unique_ptr<CKveContactsDatabase> OpenStore() {
  std::unique_ptr<CKveContactsDatabase> store(CKveContactsDatabase::NewL(nullptr, 0));
  FUZZ_CHECK(store != nullptr, "the contacts store does not open");
  return store;
}

void AddKnownContact(CKveContactsDatabase& aStore) {
  std::unique_ptr<CKveContactsItem> item(static_cast<CKveContactsItem*>(aStore.NewItemL()));
  std::u16string name = u"Иван Петров", number = u"+79123456789", details = u"Work\r\nsecond line";
  item->SetNameL(View(name));
  item->SetNumberL(View(number));
  item->SetOtherDetailsL(View(details));
  item->SetOnSim();
  item->SetLocation(3);
  FUZZ_CHECK(aStore.WriteItemL(*item) != 0, "the known contact is not stored");
}

TContactFormat FormatOf(const std::string& aText) {
  if (FirstSignificant(aText) == '[') return EContactsJson;
  if (AsciiUpper(aText.substr(0, 4096)).find("BEGIN:VCARD") != std::string::npos) return EContactsVCard;
  return EContactsCsv;
}

// Whether a vCard or CSV file may carry a U+0000 into a contact: as the byte
// itself, quoted-printable, or as the "\0" our vCard and CSV exports write.
bool MayCarryNul(const std::string& aText) {
  return aText.find('\0') != std::string::npos || aText.find("=00") != std::string::npos ||
         aText.find("\\0") != std::string::npos;
}

bool SameCounts(const TImportSummary& a, const TImportSummary& b) {
  return a.iAdded == b.iAdded && a.iSkipped == b.iSkipped && a.iRefused == b.iRefused;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::string text(reinterpret_cast<const char*>(aData), aSize);
  StartAfresh(Root());
  std::unique_ptr<CKveContactsDatabase> store = OpenStore();
  AddKnownContact(*store);
  const std::multiset<TRow> before = Rows(*store);

  TImportSummary dry;
  std::string dryError;
  const bool dryTaken = ImportContactsL(*store, text, "", true, dry, dryError);
  FUZZ_CHECK(Rows(*store) == before, "a dry run changed the store:\n%s", Shown(Rows(*store)).c_str());

  TImportSummary summary;
  std::string error;
  if (!ImportContactsL(*store, text, "", false, summary, error)) {
    FUZZ_CHECK(!error.empty(), "refused without a reason");
    FUZZ_CHECK(!dryTaken, "the dry run took a file the import refuses: %s", error.c_str());
    FUZZ_CHECK(Rows(*store) == before, "a refused import changed the store:\n%s", Shown(Rows(*store)).c_str());
    return 0;
  }
  FUZZ_CHECK(dryTaken && SameCounts(dry, summary), "the dry run counted %d added, %d skipped, %zu refused; the import %d, %d, %zu",
             dry.iAdded, dry.iSkipped, dry.iRefused.size(), summary.iAdded, summary.iSkipped, summary.iRefused.size());
  const std::multiset<TRow> imported = Rows(*store);
  FUZZ_CHECK(imported.size() == before.size() + static_cast<size_t>(summary.iAdded), "%zu stored, %d added",
             imported.size() - before.size(), summary.iAdded);

  TContactExport request;
  request.iFormat = FormatOf(text);
  // A U+0000 that ends a contact's details is taken for the terminator when
  // stored, which can leave spaces at their end; the vCard and CSV imports
  // trim those from a field, so such details would not come back the same.
  // JSON keeps them.
  if (request.iFormat != EContactsJson && MayCarryNul(text)) return 0;
  // Both vCard versions are written; the file's own choice of version does not matter here.
  request.iVCardVersion = aSize % 2 == 0 ? 3 : 4;
  std::ostringstream file;
  FUZZ_CHECK(ExportContactsL(*store, request, file) == static_cast<int>(imported.size()));
  store.reset();
  StartAfresh(Root());
  store = OpenStore();
  TImportSummary again;
  FUZZ_CHECK(ImportContactsL(*store, file.str(), "", false, again, error), "the export is refused: %s\n%s",
             error.c_str(), file.str().substr(0, 4000).c_str());
  FUZZ_CHECK(again.iRefused.empty(), "the export's %s", again.iRefused[0].c_str());
  FUZZ_CHECK(again.iSkipped == 0, "%d of the export skipped", again.iSkipped);
  const std::multiset<TRow> reimported = Rows(*store);
  FUZZ_CHECK(reimported == imported, "format %d, imported:\n%s\nexported and imported again:\n%s", request.iFormat,
             Shown(imported).c_str(), Shown(reimported).c_str());
  return 0;
}
