// vCards and CSV files in the shapes real address books write them. (The
// writer is read back in ContactsExchangeTest.)
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "exchange/contacts_csv.h"
#include "exchange/csv.h"
#include "exchange/vcard_reader.h"
#include "testing/files.h"

using namespace kvexchange;

namespace {

std::string DataFile(const std::string& aName) { return ReadFile(std::string(KV_TEST_DATA) + "/" + aName); }

std::vector<TContactRecord> Cards(const std::string& aText) {
  std::vector<TContactRecord> cards;
  std::string error;
  EXPECT_TRUE(ReadVCards(aText, cards, error)) << error;
  return cards;
}

std::vector<TContactRecord> CsvContacts(const std::string& aText) {
  std::vector<TContactRecord> contacts;
  std::string error;
  EXPECT_TRUE(ReadContactsCsv(aText, contacts, error)) << error;
  return contacts;
}

}  // namespace

TEST(VCardReaderTest, GoogleCardsFoldedEscapedWithSeveralNumbersAndGaps) {
  std::vector<TContactRecord> cards = Cards(DataFile("google-contacts.vcf"));
  ASSERT_EQ(cards.size(), 4u);
  EXPECT_EQ(cards[0].iName, "Ana María Pérez");
  EXPECT_EQ(cards[0].iNumber, "+34612345678");  // the mobile one, separators gone
  EXPECT_EQ(cards[0].iDetails, "Met at the conference in 2019, table 4.\nLikes tapas; hates queues.\nwork: +34 91 123 45 67");
  EXPECT_TRUE(cards[0].iRefusal.empty());
  // A folded line, its fold inside the Greek text, comes back whole.
  EXPECT_EQ(cards[1].iName, "Δημήτρης Οικονόμου-Παπαδόπουλος του Γεωργίου από τη Θεσσαλονίκη");
  EXPECT_EQ(cards[1].iNumber, "00306912345678");
  EXPECT_EQ(cards[1].iDetails, "home: 210 1234567");
  EXPECT_EQ(cards[2].iRefusal, "no number");
  EXPECT_EQ(cards[3].iRefusal, "no name");
  EXPECT_EQ(cards[3].iWhere, "card 4 (line 27)");
}

TEST(VCardReaderTest, AppleGroupedLabelsPhotoAndCompany) {
  std::vector<TContactRecord> cards = Cards(DataFile("apple-contacts.vcf"));
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_EQ(cards[0].iName, "Yuki Nakamura");
  // item2's label says Mobile; the preferred item3 is a studio line.
  EXPECT_EQ(cards[0].iNumber, "+819012345678");
  EXPECT_EQ(cards[0].iDetails, "home: +81 3-1234-5678\nstudio: +81 80-9999-0000");
  EXPECT_EQ(cards[1].iName, "Café Zoë");
  EXPECT_EQ(cards[1].iNumber, "02079460018");
  // An extension is not something a phone book can dial.
  EXPECT_EQ(cards[2].iRefusal, "the number \"+1 (555) 010-2233 ext. 7\" cannot be stored on a phone");
}

TEST(VCardReaderTest, AndroidQuotedPrintableCharsetsAndBase64Photo) {
  std::vector<TContactRecord> cards = Cards(DataFile("android-contacts.vcf"));
  ASSERT_EQ(cards.size(), 4u);
  EXPECT_EQ(cards[0].iName, "Иван Петров");
  EXPECT_EQ(cards[0].iNumber, "+79123456789");
  EXPECT_EQ(cards[0].iDetails,
            "Сосед по даче, звонить после шести вечера; ключи от калитки у него.\nhome: +7 495 123-45-67");
  EXPECT_EQ(cards[1].iName, "Jürgen Müller");  // ISO 8859-1 in quoted-printable
  EXPECT_EQ(cards[1].iNumber, "01712345678");
  EXPECT_EQ(cards[2].iNumber, "*86");
  EXPECT_TRUE(cards[2].iRefusal.empty());
  EXPECT_EQ(cards[3].iRefusal, "the number \"call me maybe\" cannot be stored on a phone");
}

TEST(VCardReaderTest, ThunderbirdVersion4WithTelUri) {
  std::vector<TContactRecord> cards = Cards(DataFile("thunderbird-contacts.vcf"));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0].iNumber, "+4791234567");
  EXPECT_EQ(cards[0].iDetails, "Skiing friend\nOslo\nwork: +47 22 12 34 56");
  EXPECT_EQ(cards[1].iName, "王小明");
  EXPECT_EQ(cards[1].iNumber, "+8613912345678");
}

TEST(VCardReaderTest, ThreeMegabytePhotoIsPassedOverAndDamagedFilesRefused) {
  std::string photo(3 * 1024 * 1024, 'A');
  for (size_t i = 0; i < photo.size(); i += 7) photo[i] = "xyz+/09"[i % 7];
  std::string folded;
  for (size_t i = 0; i < photo.size(); i += 74) folded += (i == 0 ? "" : "\r\n ") + photo.substr(i, 74);
  std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Big Photo\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + folded +
                     "\r\nTEL;TYPE=CELL:+44 7700 900001\r\nEND:VCARD\r\n";
  std::vector<TContactRecord> cards = Cards(card);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].iName, "Big Photo");
  EXPECT_EQ(cards[0].iNumber, "+447700900001");
  EXPECT_TRUE(cards[0].iDetails.empty());

  std::vector<TContactRecord> ignored;
  std::string error;
  EXPECT_FALSE(ReadVCards(card.substr(0, card.size() / 2), ignored, error));
  EXPECT_EQ(error, "the file ends inside card 1 (line 1)");
  EXPECT_FALSE(ReadVCards("Name,Number\r\nA,1\r\n", ignored, error));
  EXPECT_EQ(error, "no vCard in the file");
}

TEST(ContactsCsvTest, GoogleOutlookAndThunderbirdColumns) {
  std::vector<TContactRecord> google = CsvContacts(DataFile("google-contacts.csv"));
  ASSERT_EQ(google.size(), 3u);
  EXPECT_EQ(google[0].iName, "Ana María Pérez");
  EXPECT_EQ(google[0].iNumber, "+34612345678");
  EXPECT_EQ(google[0].iDetails, "Met at the conference, table 4.\nLikes tapas\nwork: +34 91 123 45 67");
  EXPECT_EQ(google[1].iNumber, "+33612345678");  // the first of " ::: "
  EXPECT_EQ(google[1].iDetails, "mobile: +33 7 00 00 00 01");
  EXPECT_EQ(google[2].iRefusal, "no number");

  std::vector<TContactRecord> outlook = CsvContacts(DataFile("outlook-contacts.csv"));
  ASSERT_EQ(outlook.size(), 1u);
  EXPECT_EQ(outlook[0].iName, "Jürgen Müller");  // Windows-1252 bytes
  EXPECT_EQ(outlook[0].iNumber, "01712345678");
  EXPECT_EQ(outlook[0].iDetails, "home: 089 1234567");

  std::vector<TContactRecord> thunderbird = CsvContacts(DataFile("thunderbird-contacts.csv"));
  ASSERT_EQ(thunderbird.size(), 2u);
  EXPECT_EQ(thunderbird[0].iName, "Ola Nordmann");
  EXPECT_EQ(thunderbird[0].iNumber, "+4791234567");
  EXPECT_EQ(thunderbird[1].iRefusal, "no name");

  std::vector<TContactRecord> none;
  std::string error;
  EXPECT_FALSE(ReadContactsCsv("Colour,Size\r\nred,3\r\n", none, error));
  EXPECT_FALSE(ReadContactsCsv("Name,Number\r\n\"Ann,07700\r\n", none, error));
  EXPECT_EQ(error, "a quoted field that starts on line 2 never ends");
}

// Files made to be slow: one folded line of millions of short pieces, and a
// header of tens of thousands of number columns over as many short rows.
// Read in time that grows with their size they take well under a second;
// in time that grows with its square, minutes (see bench/ for figures). The
// one deadline is far from both.
TEST(ContactsReadersTest, FilesMadeToBeSlowAreReadInTimeThatGrowsWithTheirSize) {
  const auto deadline = std::chrono::seconds(30);

  std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Folded\r\nTEL;TYPE=CELL:+447700900001\r\nNOTE;X-A=";
  for (int i = 0; i < 3000000; ++i) card += "\r\n a";  // no ':' until the end
  card += ":done\r\nEND:VCARD\r\n";
  auto start = std::chrono::steady_clock::now();
  std::vector<TContactRecord> cards = Cards(card);
  EXPECT_LT(std::chrono::steady_clock::now() - start, deadline);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].iNumber, "+447700900001");

  std::string number = "+44";
  for (int i = 0; i < 300000; ++i) number += "\xC2\xA0";  // no-break spaces, each taken out
  number += "7700900002";
  start = std::chrono::steady_clock::now();
  cards = Cards("BEGIN:VCARD\r\nFN:Spaced\r\nTEL:" + number + "\r\nEND:VCARD\r\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, deadline);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].iNumber, "+447700900002");

  const int columns = 60000;
  std::string csv = "Name";
  for (int i = 1; i <= columns; ++i) csv += ",Phone " + std::to_string(i) + " - Value";
  csv += "\r\nFirst,+447700900003\r\n";
  for (int i = 0; i < columns; ++i) csv += "x\r\n";
  start = std::chrono::steady_clock::now();
  std::vector<TContactRecord> contacts = CsvContacts(csv);
  EXPECT_LT(std::chrono::steady_clock::now() - start, deadline);
  ASSERT_EQ(contacts.size(), static_cast<size_t>(columns) + 1);
  EXPECT_EQ(contacts[0].iNumber, "+447700900003");
  EXPECT_EQ(contacts[1].iRefusal, "no number");
}

TEST(ContactsCsvTest, SemicolonsAByteOrderMarkAndGuardedFormulas) {
  // As spreadsheets write CSV where the comma is the decimal sign.
  std::vector<TContactRecord> contacts =
      CsvContacts("\xEF\xBB\xBFName;Number;Notes;\"Tags, comma, separated, here\"\r\nAnn;+44 7700 900001;'=1+2;a,b\r\n"
                  "\"Bob; Jr\";'+447700900002;'@x;c\r\n");
  ASSERT_EQ(contacts.size(), 2u);
  EXPECT_EQ(contacts[0].iName, "Ann");
  EXPECT_EQ(contacts[0].iNumber, "+447700900001");
  EXPECT_EQ(contacts[0].iDetails, "=1+2");
  EXPECT_EQ(contacts[1].iName, "Bob; Jr");
  EXPECT_EQ(contacts[1].iNumber, "+447700900002");
  EXPECT_EQ(contacts[1].iDetails, "@x");

  // Whatever a spreadsheet would run is written with a "'" ahead, and read back without it.
  std::vector<std::string> texts = {"=HYPERLINK(\"http://x\")", "+1+2", "-2", "@SUM(A1)", "\tTab", "'quoted", "''twice",
                                    "'=both", "plain", "", "a=b"};
  std::string file = CsvLine({"Text"});
  for (const std::string& text : texts) file += CsvLine({text});
  EXPECT_NE(file.find("\r\n\"'=HYPERLINK"), std::string::npos) << file;
  EXPECT_NE(file.find("\r\n'+1+2\r\n'-2\r\n'@SUM(A1)\r\n'\tTab\r\n''quoted\r\n'''twice\r\n''=both\r\nplain"), std::string::npos) << file;
  EXPECT_EQ(file.find("\r\n="), std::string::npos) << file;
  EXPECT_EQ(file.find("\r\n\"="), std::string::npos) << file;
  TCsvTable table;
  std::string error;
  ASSERT_TRUE(ReadCsv(file, table, error)) << error;
  std::vector<std::string> read;
  for (const TCsvRow& row : table.iRows) read.push_back(row.at(0));
  texts.erase(std::find(texts.begin(), texts.end(), ""));  // an empty row is dropped
  EXPECT_EQ(read, texts);
}
