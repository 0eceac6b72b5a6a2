// Messages exported from a store and imported into another, in each format,
// and the Android backup XML as its apps write it.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <tuple>

#include <nlohmann/json.hpp>

#include "exchange/exchange_file.h"
#include "exchange/exchange_text.h"
#include "exchange/messages_exchange.h"
#include "testing/files.h"
#include "testing/program_root.h"
#include "store/tests/store_fixture.h"

using namespace kvexchange;

namespace {

using TMessageRow = std::tuple<DWORD, std::string, std::string, std::string, long long>;

class MessagesExchangeTest : public StoreTest {
 protected:
  MessagesExchangeTest() : iStore(CKveMessagesDatabase::NewL(nullptr, 0)) {}

  void Add(DWORD aFolder, const std::string& aName, const std::string& aNumber, const std::string& aText, long long aMillis) {
    std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(iStore->NewItemL()));
    std::u16string name = Utf16(aName), number = Utf16(aNumber), text = Utf16(WithCrLf(aText));
    TConstPtr16 nameView = View(name), numberView = View(number), textView = View(text);
    item->SetDetailsL(&nameView, &textView, &numberView, aFolder);
    item->SetDateSentTime(FromUnixMillis(aMillis));
    ASSERT_NE(iStore->WriteItemL(*item), 0u);
  }

  // folder, name, number, text (LF), date to the second
  std::multiset<TMessageRow> Rows() {
    std::multiset<TMessageRow> rows;
    for (CEpocDatabaseItem* item = iStore->ReadFirstItemL(); item != nullptr; item = iStore->ReadNextItemL()) {
      std::unique_ptr<CKveMessagesItem> m(static_cast<CKveMessagesItem*>(item));
      rows.insert({m->Folder(), Utf8(m->Name()), Utf8(m->Number()), WithLf(Utf8(m->Text())), UnixMillis(m->DateSentTime()) / 1000});
    }
    return rows;
  }

  std::string Export(TMessageFormat aFormat, const std::string& aFolder = "all") {
    std::ostringstream out;
    ExportMessagesL(*iStore, aFormat, aFolder, out);
    return out.str();
  }

  TImportSummary Import(const std::string& aText) {
    TImportSummary summary;
    std::string error;
    EXPECT_TRUE(ImportMessagesL(*iStore, aText, summary, error)) << error;
    return summary;
  }

  void StartAfresh() {
    iStore.reset();
    iFresh.reset();  // the last fresh root goes before the next is made
    iFresh = std::make_unique<TProgramRoot>("kv-fresh", std::vector<std::string>{"Program Files/Korvanet/Data"});
    iStore.reset(CKveMessagesDatabase::NewL(nullptr, 0));
  }

  std::unique_ptr<TProgramRoot> iFresh;
  std::unique_ptr<CKveMessagesDatabase> iStore;
};

}  // namespace

TEST_F(MessagesExchangeTest, EveryFormatRoundTripsLongUnicodeTextsFoldersAndDates) {
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "Γεια σου, это длинное сообщение 🌍 number " + std::to_string(i) + ".\n";
  Add(EKvFolderInbox, "Ελένη", "+306912345678", longText, 1700000000000);
  Add(EKvFolderSent, "", "+447700900123", "Quotes \" and <tags> & ampersands,\ncommas; and\ttabs", 1600000000000);
  Add(EKvFolderOutbox, "王小明", "+8613912345678", "还没发送", 1500000000000);
  std::multiset<TMessageRow> expected = Rows();

  EXPECT_EQ(Export(EMessagesJson, "sent").find("Ελένη"), std::string::npos);
  for (TMessageFormat format : {EMessagesJson, EMessagesCsv, EMessagesXml}) {
    std::string file = Export(format);
    StartAfresh();
    TImportSummary summary = Import(file);
    EXPECT_EQ(summary.iAdded, 3) << file;
    EXPECT_TRUE(summary.iRefused.empty()) << summary.iRefused[0];
    EXPECT_EQ(Rows(), expected) << file;
    summary = Import(file);
    EXPECT_EQ(summary.iAdded, 0);
    EXPECT_EQ(summary.iSkipped, 3);
    EXPECT_EQ(Rows().size(), 3u);
  }
}

// A sent message read back from the phone has no date: the JSON says null,
// the CSV "unknown", and either brings it back without one.
TEST_F(MessagesExchangeTest, AMessageWithoutADateKeepsItUnknownThroughJsonAndCsv) {
  Add(EKvFolderInbox, "Ann", "+447700900123", "Dated", 1700000000000);
  {
    std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(iStore->NewItemL()));
    TConstPtr16 name(u"Ann"), text(u"Undated"), number(u"+447700900123");
    item->SetDetailsL(&name, &text, &number, EKvFolderSent);
    item->SetDateSentTime(FILETIME{0, 0});
    ASSERT_NE(iStore->WriteItemL(*item), 0u);
  }
  nlohmann::json list = nlohmann::json::parse(Export(EMessagesJson));
  ASSERT_EQ(list.size(), 2u);
  for (const nlohmann::json& message : list) {
    const bool undated = message["text"] == "Undated";
    EXPECT_EQ(message["date"].is_null(), undated) << message;
    EXPECT_EQ(message["date_sent"].is_null(), undated) << message;
  }
  EXPECT_NE(Export(EMessagesCsv).find(",unknown,Undated"), std::string::npos)
      << Export(EMessagesCsv);
  EXPECT_EQ(Export(EMessagesXml).find("date=\"-"), std::string::npos);

  for (TMessageFormat format : {EMessagesJson, EMessagesCsv}) {
    std::string file = Export(format);
    StartAfresh();
    TImportSummary summary = Import(file);
    EXPECT_EQ(summary.iAdded, 2) << file;
    int undated = 0;
    for (CEpocDatabaseItem* item = iStore->ReadFirstItemL(); item != nullptr; item = iStore->ReadNextItemL()) {
      std::unique_ptr<CKveMessagesItem> m(static_cast<CKveMessagesItem*>(item));
      if (!m->HasDate()) ++undated;
    }
    EXPECT_EQ(undated, 1) << file;
  }
}

TEST_F(MessagesExchangeTest, AndroidBackupWithMmsSurrogateReferencesAndTypes) {
  std::string xml =
      "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n"
      "<!--File Created By SMS Backup & Restore v10.18.302-->\n"
      "<?xml-stylesheet type=\"text/xsl\" href=\"sms.xsl\"?>\n"
      "<smses count=\"5\" backup_set=\"0b2c\" backup_date=\"1700000000000\" type=\"full\">\n"
      "  <sms protocol=\"0\" address=\"+447700900123\" date=\"1700000000000\" type=\"1\" subject=\"null\" "
      "body=\"Smile &#55357;&#56832; and &amp; &lt;3&#10;bye\" toa=\"null\" sc_toa=\"null\" service_center=\"+447785016005\" "
      "read=\"1\" status=\"-1\" locked=\"0\" date_sent=\"1699999999000\" sub_id=\"1\" readable_date=\"14 Nov 2023 22:13:20\" "
      "contact_name=\"Alice\" />\n"
      "  <sms protocol=\"0\" address=\"+447700900123\" date=\"1700000100000\" type=\"2\" body='Sent one' read=\"1\" "
      "contact_name=\"(Unknown)\" />\n"
      "  <mms date=\"1700000200000\" msg_box=\"1\" address=\"+447700900123\"><parts><part seq=\"0\" ct=\"text/plain\" "
      "text=\"not an sms\" /></parts><addrs><addr address=\"+447700900123\" type=\"137\" /></addrs></mms>\n"
      "  <sms protocol=\"0\" address=\"+447700900124\" date=\"1700000300000\" type=\"3\" body=\"A draft\" read=\"1\" />\n"
      "  <sms protocol=\"0\" address=\"+447700900125\" date=\"1700000400000\" type=\"9\" body=\"Odd\" read=\"1\" />\n"
      "  <sms protocol=\"0\" address=\"+447700900126\" date=\"17000001000000000\" type=\"1\" body=\"Far\" read=\"1\" />\n"
      "</smses>\n";
  TImportSummary summary = Import(xml);
  EXPECT_EQ(summary.iAdded, 3);
  ASSERT_EQ(summary.iRefused.size(), 2u);
  EXPECT_EQ(summary.iRefused[0], "message 4 (line 9): unknown message type \"9\"");
  // A date no store can hold (found by fuzzing: it overflowed the conversion).
  EXPECT_EQ(summary.iRefused[1], "message 5 (line 10): a date past the year 30000");
  std::multiset<TMessageRow> rows = Rows();
  EXPECT_EQ(rows.count({EKvFolderInbox, "Alice", "+447700900123", "Smile 😀 and & <3\nbye", 1700000000}), 1u);
  EXPECT_EQ(rows.count({EKvFolderSent, "", "+447700900123", "Sent one", 1700000100}), 1u);
  EXPECT_EQ(rows.count({EKvFolderOutbox, "", "+447700900124", "A draft", 1700000300}), 1u);

  // Cut short, foreign or not XML at all: refused whole, nothing added.
  std::string error;
  for (const std::string& bad : {xml.substr(0, xml.size() / 2), xml.substr(0, xml.size() - 10),
                                 std::string("<html><body>hi</body></html>"), std::string("[1, 2")}) {
    EXPECT_FALSE(ImportMessagesL(*iStore, bad, summary, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(Rows().size(), 3u);
}

TEST_F(MessagesExchangeTest, ADiskThatFillsDuringAnImportLeavesNothingOfIt) {
  Add(EKvFolderInbox, "Before", "+447700900001", "Stored before the import", 1600000000000);
  std::multiset<TMessageRow> before = Rows();
  std::string json = "[";
  for (int i = 0; i < 120; ++i)
    json += std::string(i == 0 ? "" : ",") + "{\"folder\": \"inbox\", \"number\": \"+4477009" + std::to_string(10000 + i) +
            "\", \"date_sent\": \"2024-01-01T10:00:00Z\", \"text\": \"" + std::string(600, 'x') + std::to_string(i) + "\"}";
  json += "]";

  // The files may grow a little, far less than the import needs.
  off_t largest = 0;
  for (const char* suffix : {"", "-wal"}) {
    struct stat info;
    if (stat((VolumeHostPath() + suffix).c_str(), &info) == 0) largest = std::max(largest, info.st_size);
  }
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limit = old;
  limit.rlim_cur = static_cast<rlim_t>(largest + 16384);
  sighandler_t oldAction = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  TImportSummary summary;
  std::string error;
  bool imported = ImportMessagesL(*iStore, json, summary, error);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldAction);

  EXPECT_FALSE(imported);
  EXPECT_NE(error.find("nothing was imported"), std::string::npos) << error;
  EXPECT_EQ(Rows(), before);
  // With room again, the same file goes in whole.
  EXPECT_EQ(Import(json).iAdded, 120);
  EXPECT_EQ(Rows().size(), 121u);
}

TEST_F(MessagesExchangeTest, ControlCharactersFormulasAndQuotesRoundTripInEveryFormat) {
  // U+000C is the GSM page break; ESC, U+0001 and U+FFFF no XML 1.0 document holds.
  const std::string awkward = std::string("Page\x0C" "break \x1B[2J\x01 and ") + "\xEF\xBF\xBF" + " 100% \"quoted\" 'single' <b>&amp;</b>";
  Add(EKvFolderInbox, "Zoë", "+447700900001", awkward, 1700000000000);
  Add(EKvFolderSent, "", "+447700900002", "=HYPERLINK(\"http://example.com\",\"x\")", 1600000000000);
  Add(EKvFolderOutbox, "Дмитрий", "+79161234567", "@SUM(1+1)\n-3\n'quoted", 1500000000000);
  Add(EKvFolderInbox, "", "+447700900003", "%0C is not a page break", 1400000000000);
  std::multiset<TMessageRow> expected = Rows();

  std::string xml = Export(EMessagesXml);
  for (unsigned char c : xml) EXPECT_TRUE(c >= 0x20 || c == '\n') << static_cast<int>(c);
  EXPECT_EQ(xml.find("\xEF\xBF\xBF"), std::string::npos);
  // Other programs read the text with the page break's picture; this one reads it exactly.
  EXPECT_NE(xml.find("body=\"Page\xE2\x90\x8C" "break \xE2\x90\x9B[2J\xE2\x90\x81 and \xEF\xBF\xBD 100% &quot;quoted&quot;"),
            std::string::npos) << xml;
  EXPECT_NE(xml.find("korvanet_body=\"Page%0Cbreak %1B[2J%01 and %EF%BF%BF 100%25 &quot;quoted&quot;"), std::string::npos)
      << xml;
  EXPECT_EQ(xml.find("korvanet_body=\"%250C"), std::string::npos);  // written only where needed

  std::string csv = Export(EMessagesCsv);
  EXPECT_NE(csv.find(",\"'=HYPERLINK("), std::string::npos) << csv;
  EXPECT_NE(csv.find(",\"'@SUM(1+1)\n-3\n'quoted\""), std::string::npos) << csv;

  for (TMessageFormat format : {EMessagesJson, EMessagesCsv, EMessagesXml}) {
    std::string file = Export(format);
    StartAfresh();
    TImportSummary summary = Import(file);
    EXPECT_EQ(summary.iAdded, 4) << format;
    EXPECT_EQ(Rows(), expected) << format;
  }
}

// U+0000 in a text is no reason for the file not to come back: each export
// is read as a file the import reads (no NUL byte in it) and gives the same
// texts; and CSV files written before keep their meaning.
TEST_F(MessagesExchangeTest, ATextHoldingU0000ComesBackFromEveryFormatAsAFileTheImportReads) {
  const std::string nul(1, '\0');
  Add(EKvFolderInbox, "Eve", "+447700900001", "before" + nul + "after \\0 and a back\\slash \x1B[2J\x01\x7F", 1700000000000);
  Add(EKvFolderSent, "", "+447700900002", "=1+1" + nul, 1600000000000);
  Add(EKvFolderOutbox, "", "+447700900003", nul + "\\", 1500000000000);
  Add(EKvFolderInbox, "", "+447700900004", "'\\no U+0000 here", 1400000000000);
  std::multiset<TMessageRow> expected = Rows();
  std::set<std::string> stored;
  for (const TMessageRow& row : expected) stored.insert(std::get<3>(row));
  ASSERT_EQ(stored.count(nul + "\\"), 1u);
  TTempDir files("kv-exchange");

  std::string csv = Export(EMessagesCsv);
  EXPECT_NE(csv.find(",'\\before\\0after \\\\0 and a back\\\\slash \x1B[2J\x01\x7F\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",'\\=1+1\\0\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",''\\no U+0000 here\r\n"), std::string::npos) << csv;

  for (TMessageFormat format : {EMessagesJson, EMessagesCsv, EMessagesXml}) {
    SCOPED_TRACE(format);
    const std::string path = files.Path() + "/messages";
    WriteFile(path, Export(format));
    std::string text, error;
    ASSERT_TRUE(ReadInputFile(path, EInputMessages, text, error)) << error;
    StartAfresh();
    EXPECT_EQ(Import(text).iAdded, 4);
    EXPECT_EQ(Rows(), expected);
  }

  // What an earlier version wrote reads as it did: a backslash is only
  // special in a field that starts with the mark.
  StartAfresh();
  Import("Folder,Name,Number,Date,Text\r\n"
         "inbox,,+447700900005,2026-01-05T10:00:00Z,C:\\0 and \\\\\r\n"
         "inbox,,+447700900006,2026-01-05T10:00:00Z,''\\x\r\n");
  std::set<std::string> texts;
  for (const TMessageRow& row : Rows()) texts.insert(std::get<3>(row));
  EXPECT_EQ(texts, (std::set<std::string>{"C:\\0 and \\\\", "'\\x"}));
}

// A number holding U+0000 or a line break is stored as one line: the same
// row twice is one message, and an export of it imports back the same.
TEST_F(MessagesExchangeTest, ANumberWithControlsIsOneMessageAndComesBackTheSame) {
  const std::string nul(1, '\0');
  const std::string row = "inbox,Ann,\"+44\x1C" + nul + nul + "123\",2024-01-01T10:00:00Z,hello\r\n";
  TImportSummary summary = Import("Folder,Name,Number,Date,Text\r\n" + row + row);
  EXPECT_EQ(summary.iAdded, 1);
  EXPECT_EQ(summary.iSkipped, 1);
  const std::multiset<TMessageRow> imported = Rows();
  EXPECT_EQ(imported.count({EKvFolderInbox, "Ann", "+44   123", "hello", 1704103200}), 1u);
  for (TMessageFormat format : {EMessagesJson, EMessagesCsv, EMessagesXml}) {
    SCOPED_TRACE(format);
    const std::string file = Export(format);
    StartAfresh();
    TImportSummary again = Import(file);
    EXPECT_EQ(again.iSkipped, 0);
    EXPECT_EQ(Rows(), imported);
  }
}

TEST_F(MessagesExchangeTest, SemicolonsAByteOrderMarkAndWhereJsonAndXmlGoWrong) {
  TImportSummary summary =
      Import("\xEF\xBB\xBF" "Folder;Name;Number;Date;Text\r\ninbox;Ann;+447700900001;2024-01-01T10:00:00Z;Hello, world; again\r\n");
  EXPECT_EQ(summary.iAdded, 1);
  EXPECT_EQ(Rows().count({EKvFolderInbox, "Ann", "+447700900001", "Hello, world", 1704103200}), 1u);

  struct TCase {
    std::string iText;
    std::string iError;
  };
  std::vector<TCase> cases = {
      {"[\n  {\"folder\": \"inbox\",\n   \"text\": \"Ω\", \"number\": +x}\n]",
       "the file is not valid JSON (it goes wrong at line 3, column 27)"},
      {"[{\"text\": \"cut short", "the file is not valid JSON (it goes wrong at line 1, column 21)"},
      {"{\"text\": 1}", "the file is not a JSON list of messages"},
      {"<?xml version='1.0'?>\n<smses count=\"1\">\n  <sms body=\"a\" date=\"1\" type=\"1\">\n</smses>\n",
       "the file is not well-formed XML (line 4, column 3: mismatched tag)"},
      {"<smses>\n<sms body=\"Page\x0C" "break\" date=\"1\" type=\"1\" />\n</smses>",
       "the file is not well-formed XML (line 2, column 16: not well-formed (invalid token))"},
      {"<smses>\n  <sms body=\"x\" date=\"1\" type=\"1\" />\n", 
       "the file ends before </smses>: it is damaged or incomplete (line 3, column 1: no element found)"},
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE smses [\n <!ENTITY a \"aaaaaaaaaa\">\n <!ENTITY b \"&a;&a;&a;&a;&a;&a;\">\n]>\n"
       "<smses><sms body=\"&b;\" date=\"1\" type=\"1\" /></smses>",
       "the file declares a document type, which an SMS backup never does (line 2)"},
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE smses SYSTEM \"file:///etc/passwd\">\n<smses></smses>",
       "the file declares a document type, which an SMS backup never does (line 2)"},
  };
  for (const TCase& bad : cases) {
    std::string error;
    EXPECT_FALSE(ImportMessagesL(*iStore, bad.iText, summary, error)) << bad.iText;
    EXPECT_EQ(error, bad.iError) << bad.iText;
  }
  EXPECT_EQ(Rows().size(), 1u);
}
