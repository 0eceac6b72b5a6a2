// Contacts exported from a store and imported into another, with the
// duplicate rules and the all-or-nothing import.
#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <tuple>

#include "exchange/contacts_exchange.h"
#include "exchange/exchange_file.h"
#include "exchange/exchange_text.h"
#include "exchange/summary_text.h"
#include "testing/files.h"
#include "testing/program_root.h"
#include "store/tests/store_fixture.h"

using namespace kvexchange;

namespace {

using TRow = std::tuple<std::string, std::string, std::string, std::string, int, bool>;

class ContactsExchangeTest : public StoreTest {
 protected:
  ContactsExchangeTest() : iStore(CKveContactsDatabase::NewL(nullptr, 0)) {}

  void Add(const std::string& aName, const std::string& aNumber, const std::string& aDetails, bool aSim, int aLocation) {
    std::unique_ptr<CKveContactsItem> item(static_cast<CKveContactsItem*>(iStore->NewItemL()));
    std::u16string name = Utf16(aName), number = Utf16(aNumber), details = Utf16(aDetails);
    item->SetNameL(View(name));
    item->SetNumberL(View(number));
    item->SetOtherDetailsL(View(details));
    aSim ? item->SetOnSim() : item->SetInPhoneMemory();
    item->SetLocation(aLocation);
    ASSERT_NE(iStore->WriteItemL(*item), 0u);
  }

  // name, number, details (LF), phone book, location, marked edited or deleted
  std::multiset<TRow> Rows() {
    std::multiset<TRow> rows;
    for (CEpocDatabaseItem* item = iStore->ReadFirstItemL(); item != nullptr; item = iStore->ReadNextItemL()) {
      std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(item));
      TContactRecord record = ContactRecordOf(*contact);
      rows.insert({record.iName, record.iNumber, record.iDetails, record.iStore, record.iLocation,
                   contact->IsEdited() || contact->IsDeleted()});
    }
    return rows;
  }

  TImportSummary Import(const std::string& aText, const std::string& aPhoneBook = "", bool aDryRun = false) {
    TImportSummary summary;
    std::string error;
    EXPECT_TRUE(ImportContactsL(*iStore, aText, aPhoneBook, aDryRun, summary, error)) << error;
    return summary;
  }

  // Opens a store on a new, empty volume in a second root.
  void StartAfresh() {
    iStore.reset();
    iFresh.reset();  // the last fresh root goes before the next is made
    iFresh = std::make_unique<TProgramRoot>("kv-fresh", std::vector<std::string>{"Program Files/Korvanet/Data"});
    iStore.reset(CKveContactsDatabase::NewL(nullptr, 0));
  }

  std::unique_ptr<TProgramRoot> iFresh;
  std::unique_ptr<CKveContactsDatabase> iStore;
};

}  // namespace

TEST_F(ContactsExchangeTest, EveryFormatRoundTripsUnicodeDetailsPlacesAndSkipsDeleted) {
  // A name long enough for vCard's folding at 75 octets, with what vCard escapes.
  Add("Ελένη Παπαδάκη, \"Eleni\"; 🌸 " + std::string(40, 'x'), "+306912345678",
      "Line one\nline two, with; punctuation \\ and \"quotes\"", true, 3);
  Add("Иван Петров", "+79123456789", "", false, 12);
  Add("王小明 🌸", "+8613912345678", "", true, -1);
  Add("Zoë", "07700900123", "", true, -1);
  {
    std::unique_ptr<CKveContactsItem> zoe(static_cast<CKveContactsItem*>(iStore->ReadItemL(3)));
    ASSERT_NE(zoe, nullptr);
    iStore->MarkItemDeletedL(zoe->Oid());
  }
  std::multiset<TRow> expected = Rows();
  expected.erase(std::find_if(expected.begin(), expected.end(), [](const TRow& r) { return std::get<5>(r); }));

  std::vector<std::string> exports;
  for (TContactExport request : {TContactExport{EContactsVCard, 3, "all"}, TContactExport{EContactsVCard, 4, "all"},
                                 TContactExport{EContactsCsv, 3, "all"}, TContactExport{EContactsJson, 3, "all"}}) {
    std::ostringstream out;
    EXPECT_EQ(ExportContactsL(*iStore, request, out), 3);
    exports.push_back(out.str());
  }
  for (int card = 0; card < 2; ++card) {
    std::istringstream lines(exports[static_cast<size_t>(card)]);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(line.size(), 76u) << line;  // 75 octets and the CR
      EXPECT_EQ(line.back(), '\r');
    }
  }
  EXPECT_NE(exports[1].find("VERSION:4.0"), std::string::npos);
  std::ostringstream simOnly;
  EXPECT_EQ(ExportContactsL(*iStore, {EContactsCsv, 3, "sim"}, simOnly), 2);

  for (const std::string& file : exports) {
    StartAfresh();
    TImportSummary summary = Import(file);
    EXPECT_EQ(summary.iAdded, 3) << file;
    EXPECT_EQ(Rows(), expected) << file;
    // The same file again adds nothing.
    summary = Import(file);
    EXPECT_EQ(summary.iAdded, 0);
    EXPECT_EQ(summary.iSkipped, 3);
  }
}

TEST_F(ContactsExchangeTest, DuplicateRulesNormaliseNumbersAndNewContactsWaitForUpload) {
  Add("Alice", "+44 7700 900123", "", true, 1);
  std::string file =
      "Name,Number\r\n"
      "Alice,0044-7700-900123\r\n"  // the same number written otherwise: skipped
      "Alice,+447700900999\r\n"     // the same name, another number: a new contact
      "Bob,07700 900 555\r\n"
      "Bob,07700-900-555\r\n"       // twice in one file: the second is skipped
      "Carol,\r\n";
  TImportSummary dry = Import(file, "", true);
  EXPECT_EQ(dry.iAdded, 2);
  EXPECT_EQ(Rows().size(), 1u);  // a dry run only counts

  TImportSummary summary = Import(file, "phone");
  EXPECT_EQ(summary.iAdded, 2);
  EXPECT_EQ(summary.iSkipped, 2);
  ASSERT_EQ(summary.iRefused.size(), 1u);
  EXPECT_EQ(summary.iRefused[0], "row 5 (line 6): no number");
  // What korvanet-cli prints and the windowed program's box shows, its refusals cut when asked.
  EXPECT_EQ(ImportSummaryText(summary, false),
            "2 added, 2 skipped (already stored), 1 refused\n  refused row 5 (line 6): no number\n");
  EXPECT_EQ(ImportSummaryText(dry, true, 0), "Dry run: 2 added, 2 skipped (already stored), 1 refused\n  and 1 more\n");
  EXPECT_EQ(ExportedText(1, "contact"), "Exported 1 contact.");
  std::multiset<TRow> rows = Rows();
  EXPECT_EQ(rows.count({"Alice", "+447700900999", "", "phone", -1, false}), 1u);
  EXPECT_EQ(rows.count({"Bob", "07700900555", "", "phone", -1, false}), 1u);
  EXPECT_EQ(rows.size(), 3u);
}

TEST_F(ContactsExchangeTest, AFileThatCannotBeReadWholeAddsNothing) {
  Add("Alice", "+447700900123", "", true, 1);
  std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob\r\nTEL:+447700900555\r\nEND:VCARD\r\n";
  std::string truncated = card + card.substr(0, 30);
  TImportSummary summary;
  std::string error;
  EXPECT_FALSE(ImportContactsL(*iStore, truncated, "", false, summary, error));
  EXPECT_EQ(error, "the file ends inside card 2 (line 6)");
  EXPECT_FALSE(ImportContactsL(*iStore, "[{\"name\": \"Bob\", ", "", false, summary, error));
  EXPECT_EQ(Rows().size(), 1u);
}

// Details holding U+0000 and control characters come back the same from
// every format, each export a file the import reads; a name, which is one
// line, holds none of them but U+202E, which it keeps.
TEST_F(ContactsExchangeTest, DetailsWithU0000AndControlsComeBackFromEveryFormatAsAFileTheImportReads) {
  const std::string nul(1, '\0');
  const std::string details = "a" + nul + "b \x1B]0;owned\x07\x01\x7F \xC2\x9B" "31m \\0 c:\\" + nul + "\nline two";
  Add("Mallory \xE2\x80\xAEgpj.exe", "+447700900999", details, true, 4);
  Add("Eve", "+447700900998", nul + "x", false, -1);
  const std::multiset<TRow> expected = Rows();
  ASSERT_EQ(expected.count({"Mallory \xE2\x80\xAEgpj.exe", "+447700900999", details, "sim", 4, false}), 1u);
  ASSERT_EQ(expected.count({"Eve", "+447700900998", nul + "x", "phone", -1, false}), 1u);
  TTempDir files("kv-exchange");
  for (TContactExport request : {TContactExport{EContactsVCard, 3, "all"}, TContactExport{EContactsVCard, 4, "all"},
                                 TContactExport{EContactsCsv, 3, "all"}, TContactExport{EContactsJson, 3, "all"}}) {
    SCOPED_TRACE(testing::Message() << "format " << request.iFormat << " version " << request.iVCardVersion);
    std::ostringstream out;
    EXPECT_EQ(ExportContactsL(*iStore, request, out), 2);
    WriteFile(files.Path() + "/contacts", out.str());
    std::string text, error;
    ASSERT_TRUE(ReadInputFile(files.Path() + "/contacts", EInputContacts, text, error)) << error;
    StartAfresh();
    EXPECT_EQ(Import(text).iAdded, 2);
    EXPECT_EQ(Rows(), expected) << out.str();
  }
}

// A name is one line in every format: the line breaks and control
// characters a file may hold become spaces, so none reaches the phone's line.
TEST_F(ContactsExchangeTest, NamesWithLineBreaksAndControlsBecomeOneLine) {
  Import("[{\"name\": \"Eve\\nAT+CPBW=1\", \"number\": \"5550100\"},"
         " {\"name\": \"Tab\\tand\\u001b[2Jescape\\r\", \"number\": \"5550101\"}]");
  Import("Name,Number\r\n\"Mallory\r\nATD112;\",5550102\r\n");
  Import("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Trent\\nAT+CPBW=3\r\nTEL:5550103\r\nEND:VCARD\r\n");
  std::multiset<TRow> rows = Rows();
  EXPECT_EQ(rows.count({"Eve AT+CPBW=1", "5550100", "", "sim", -1, false}), 1u);
  EXPECT_EQ(rows.count({"Tab and [2Jescape", "5550101", "", "sim", -1, false}), 1u);
  EXPECT_EQ(rows.count({"Mallory ATD112;", "5550102", "", "sim", -1, false}), 1u);
  EXPECT_EQ(rows.count({"Trent AT+CPBW=3", "5550103", "", "sim", -1, false}), 1u);
  EXPECT_EQ(rows.size(), 4u) << testing::PrintToString(rows);
}
