// The messages import (JSON, CSV and the Android backup XML, told apart by
// what the file holds), through the entry point the program calls, into a
// store that already holds a message.
//
// Properties:
//   - a file that is refused leaves the store as it was;
//   - one that is taken adds exactly the messages it counts as added;
//   - the store's messages, exported in the format the file was in and
//     imported into an empty store, are the same messages there: none
//     refused, none skipped, every folder, name, number, text and date
//     kept.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "exchange/exchange_text.h"
#include "exchange/import_summary.h"
#include "exchange/messages_exchange.h"
#include "fuzz/store_fuzz.h"

using namespace kvexchange;

namespace {

using TRow = std::tuple<DWORD, std::string, std::string, std::string, long long>;

const std::string& Root() {
  static const std::string root = MakeFuzzRoot("messages");
  return root;
}

// folder, name, number, text (LF), date to the second
std::multiset<TRow> Rows(CKveMessagesDatabase& aStore) {
  std::multiset<TRow> rows;
  for (CEpocDatabaseItem* item = aStore.ReadFirstItemL(); item != nullptr; item = aStore.ReadNextItemL()) {
    std::unique_ptr<CKveMessagesItem> m(static_cast<CKveMessagesItem*>(item));
    rows.insert({m->Folder(), Utf8(m->Name()), Utf8(m->Number()), WithLf(Utf8(m->Text())),
                 UnixSeconds(UnixMillis(m->DateSentTime()))});
  }
  return rows;
}

std::string Shown(const std::multiset<TRow>& aRows) {
  std::string text;
  for (const TRow& row : aRows)
    text += std::to_string(std::get<0>(row)) + " [" + std::get<1>(row) + "] [" + std::get<2>(row) + "] [" +
            std::get<3>(row).substr(0, 200) + "] " + std::to_string(std::get<4>(row)) + "\n";
  return text.substr(0, 4000);
}

std::unique_ptr<CKveMessagesDatabase> OpenStore() {
  std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
  FUZZ_CHECK(store != nullptr, "the messages store does not open");
  return store;
}

void AddKnownMessage(CKveMessagesDatabase& aStore) {
  std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(aStore.NewItemL()));
  std::u16string name = u"Ελένη", number = u"+306912345678", text = u"Already here\r\nsecond line";
  TConstPtr16 nameView = View(name), numberView = View(number), textView = View(text);
  item->SetDetailsL(&nameView, &textView, &numberView, EKvFolderInbox);
  item->SetDateSentTime(FromUnixMillis(1700000000000));
  FUZZ_CHECK(aStore.WriteItemL(*item) != 0, "the known message is not stored");
}

TMessageFormat FormatOf(const std::string& aText) {
  char first = FirstSignificant(aText);
  return first == '[' ? EMessagesJson : first == '<' ? EMessagesXml : EMessagesCsv;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::string text(reinterpret_cast<const char*>(aData), aSize);
  StartAfresh(Root());
  std::unique_ptr<CKveMessagesDatabase> store = OpenStore();
  AddKnownMessage(*store);
  const std::multiset<TRow> before = Rows(*store);

  TImportSummary summary;
  std::string error;
  if (!ImportMessagesL(*store, text, summary, error)) {
    FUZZ_CHECK(!error.empty(), "refused without a reason");
    FUZZ_CHECK(Rows(*store) == before, "a refused import changed the store:\n%s", Shown(Rows(*store)).c_str());
    return 0;
  }
  const std::multiset<TRow> imported = Rows(*store);
  FUZZ_CHECK(imported.size() == before.size() + static_cast<size_t>(summary.iAdded), "%zu stored, %d added",
             imported.size() - before.size(), summary.iAdded);

  std::ostringstream file;
  const TMessageFormat format = FormatOf(text);
  FUZZ_CHECK(ExportMessagesL(*store, format, "all", file) == static_cast<int>(imported.size()));
  store.reset();
  StartAfresh(Root());
  store = OpenStore();
  TImportSummary again;
  FUZZ_CHECK(ImportMessagesL(*store, file.str(), again, error), "the export is refused: %s\n%s", error.c_str(),
             file.str().substr(0, 4000).c_str());
  FUZZ_CHECK(again.iRefused.empty(), "the export's %s", again.iRefused[0].c_str());
  FUZZ_CHECK(again.iSkipped == 0, "%d of the export skipped", again.iSkipped);
  const std::multiset<TRow> reimported = Rows(*store);
  FUZZ_CHECK(reimported == imported, "format %d, imported:\n%s\nexported and imported again:\n%s", format,
             Shown(imported).c_str(), Shown(reimported).c_str());
  return 0;
}
