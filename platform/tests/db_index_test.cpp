// Indexes of text properties on real volume files: full text in every
// script, records by value, both in the transaction of the record's write,
// and a volume of the first format taking them on.
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <kvplatform.h>
#include <kvplatform_db.h>
#include <windbase.h>
#include <windows.h>

#include "testing/device_root.h"

namespace {

constexpr CEPROPID kIndexedName = 0x1001F;
constexpr CEPROPID kIndexedText = 0x6001F;
constexpr CEPROPID kIndexedKey = 0x14001F;
constexpr CEPROPID kIndexedFolder = 0x80013;
const char16_t kIndexedVolume[] = u"\\Program Files\\Korvanet\\Data\\Database";

CEPROPVAL TextValue(CEPROPID id, const std::u16string& text) {
  CEPROPVAL value{};
  value.propid = id;
  value.val.lpwstr = const_cast<LPWSTR>(text.c_str());
  return value;
}

class DbIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(u"\\Program Files", nullptr);
    CreateDirectoryW(u"\\Program Files\\Korvanet", nullptr);
    CreateDirectoryW(u"\\Program Files\\Korvanet\\Data", nullptr);
    ASSERT_TRUE(Mount());
  }
  void TearDown() override { Unmount(); }

  bool Mount() {
    if (!CeMountDBVol(&volume_, const_cast<LPWSTR>(kIndexedVolume), OPEN_ALWAYS)) return false;
    database_ = 0;
    handle_ = CeOpenDatabaseEx(&volume_, &database_, const_cast<LPWSTR>(u"Messages"), 0, CEDB_AUTOINCREMENT, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE) return true;
    CEDBASEINFO info{};
    info.dwFlags = CEDB_VALIDNAME;
    std::u16string(u"Messages").copy(info.szDbaseName, 8);
    database_ = CeCreateDatabaseEx(&volume_, &info);
    handle_ = CeOpenDatabaseEx(&volume_, &database_, nullptr, 0, CEDB_AUTOINCREMENT, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
  }
  void Unmount() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    CeUnmountDBVol(&volume_);
  }
  CEOID Write(const std::u16string& name, const std::u16string& text, CEOID record = 0) {
    CEPROPVAL values[2] = {TextValue(kIndexedName, name), TextValue(kIndexedText, text)};
    return CeWriteRecordProps(handle_, record, 2, values);
  }
  bool AddTextIndex() {
    const CEPROPID properties[] = {kIndexedName, kIndexedText};
    return kvplatform::AddTextIndex(volume_, database_, properties, 2);
  }
  std::vector<CEOID> Search(const std::u16string& query, CEOID before = 0, DWORD limit = 50) {
    std::vector<CEOID> found;
    EXPECT_TRUE(kvplatform::SearchText(volume_, database_, query, before, limit, found)) << GetLastError();
    return found;
  }

  TDeviceRoot root_{"kv-db-index"};
  CEGUID volume_{};
  CEOID database_ = 0;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

TEST(SearchFold, CaseAccentsCompatibilityFormsAndBlanksFoldToOneForm) {
  EXPECT_EQ(kvplatform::FoldForSearch(u"Élan ÉCOLE Straße"), u"elan ecole strasse");
  EXPECT_EQ(kvplatform::FoldForSearch(u"e\u0301te\u0301  \r\n\tÅR"), u"ete ar") << "combining marks and blank runs";
  EXPECT_EQ(kvplatform::FoldForSearch(u"ＡＢＣ ﬁne"), u"abc fine") << "full-width letters and ligatures";
  EXPECT_EQ(kvplatform::FoldForSearch(u"ПРИВЕТ Ёлка"), u"привет елка");
  EXPECT_EQ(kvplatform::FoldForSearch(u"今天下雨"), u"今天下雨");
  EXPECT_EQ(kvplatform::FoldForSearch(u"😀x"), u"😀x") << "a surrogate pair passes whole";

  // Each folded unit points back at the unit it came from.
  std::vector<uint32_t> origins;
  std::u16string folded = kvplatform::FoldForSearch(u"aßé😀b", &origins);
  EXPECT_EQ(folded, u"asse😀b");
  EXPECT_EQ(origins, (std::vector<uint32_t>{0, 1, 1, 2, 3, 3, 5}));
}

TEST_F(DbIndexTest, TextFoundInEveryScriptWhateverItsCaseOrAccents) {
  const CEOID before = Write(u"Zoë", u"Rendez-vous au café à midi");  // written before the index: indexed on adding
  ASSERT_TRUE(AddTextIndex());
  const CEOID russian = Write(u"Ivan", u"Привет, как дела?");
  const CEOID chinese = Write(u"Li", u"我们明天去北京吃烤鸭");
  const CEOID german = Write(u"Jörg", u"Grüße aus der STRASSE");
  const CEOID plain = Write(u"+447700900123", u"meet at the station");

  EXPECT_EQ(Search(u"CAFE A MIDI"), std::vector<CEOID>{before});
  EXPECT_EQ(Search(u"привет"), std::vector<CEOID>{russian});
  EXPECT_EQ(Search(u"北京"), std::vector<CEOID>{chinese}) << "two characters: by a scan";
  EXPECT_EQ(Search(u"明天去北京"), std::vector<CEOID>{chinese}) << "no spaces in Chinese";
  EXPECT_EQ(Search(u"strasse"), std::vector<CEOID>{german}) << "ß = ss";
  EXPECT_EQ(Search(u"grusse"), std::vector<CEOID>{german});
  EXPECT_EQ(Search(u"jorg"), std::vector<CEOID>{german}) << "the name is searched";
  EXPECT_EQ(Search(u"7700900"), std::vector<CEOID>{plain}) << "and the number";
  EXPECT_EQ(Search(u"Ë"), Search(u"e")) << "one character: by a scan, folded too";
  EXPECT_EQ(Search(u"Ë"), (std::vector<CEOID>{plain, german, before}));
  EXPECT_TRUE(Search(u"xyz").empty());
  EXPECT_TRUE(Search(u"e\"q").empty()) << "a quote in the query is text";
  // Nothing matches from the name into the text.
  EXPECT_TRUE(Search(u"ivanпривет").empty());
  EXPECT_TRUE(Search(u"ivan привет").empty());

  // Last stored first, a page at a time.
  std::vector<CEOID> all = Search(u"a");
  EXPECT_EQ(all, (std::vector<CEOID>{plain, german, russian, before}));
  EXPECT_EQ(Search(u"a", german, 1), std::vector<CEOID>{russian});

  std::vector<CEOID> none;
  EXPECT_FALSE(kvplatform::SearchText(volume_, database_, u"  ", 0, 10, none));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

TEST_F(DbIndexTest, TheIndexChangesWithEachWriteAndDeleteInItsTransaction) {
  ASSERT_TRUE(AddTextIndex());
  const CEOID record = Write(u"Anna", u"first words");
  EXPECT_EQ(Search(u"first"), std::vector<CEOID>{record});
  ASSERT_EQ(Write(u"Anna", u"second words", record), record);
  EXPECT_TRUE(Search(u"first").empty());
  EXPECT_EQ(Search(u"second"), std::vector<CEOID>{record});

  // A write of another property leaves the entry as it is.
  CEPROPVAL folder{};
  folder.propid = kIndexedFolder;
  folder.val.ulVal = 2;
  ASSERT_EQ(CeWriteRecordProps(handle_, record, 1, &folder), record);
  EXPECT_EQ(Search(u"second"), std::vector<CEOID>{record});

  // Undone with the records it indexed.
  ASSERT_TRUE(kvplatform::BeginVolumeTransaction(volume_));
  ASSERT_NE(Write(u"Bo", u"undone words"), 0u);
  ASSERT_TRUE(kvplatform::EndVolumeTransaction(volume_, FALSE));
  EXPECT_TRUE(Search(u"undone").empty());
  EXPECT_EQ(Search(u"words"), std::vector<CEOID>{record});

  ASSERT_TRUE(CeDeleteRecord(handle_, record));
  EXPECT_TRUE(Search(u"second").empty());
  EXPECT_TRUE(Search(u"wo").empty());

  // Asked again with the same properties it stays; with others it is made again.
  const CEOID named = Write(u"Carla", u"hello");
  ASSERT_TRUE(AddTextIndex());
  const CEPROPID textOnly[] = {kIndexedText};
  ASSERT_TRUE(kvplatform::AddTextIndex(volume_, database_, textOnly, 1));
  EXPECT_TRUE(Search(u"carla").empty());
  EXPECT_EQ(Search(u"hello"), std::vector<CEOID>{named});
  const CEPROPID notText[] = {kIndexedFolder};
  EXPECT_FALSE(kvplatform::AddTextIndex(volume_, database_, notText, 1));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

TEST_F(DbIndexTest, RecordsGroupedByTheValueOfAProperty) {
  auto writeKeyed = [&](const std::u16string& key, const std::u16string& text, CEOID record = 0) {
    CEPROPVAL values[2] = {TextValue(kIndexedKey, key), TextValue(kIndexedText, text)};
    return CeWriteRecordProps(handle_, record, 2, values);
  };
  const CEOID unkeyed = Write(u"Old", u"written before any key");
  const CEOID first = writeKeyed(u"+447700900123", u"one");
  bool made = false;
  DWORD reported = 0;
  ASSERT_TRUE(kvplatform::AddValueIndex(volume_, database_, kIndexedKey, made));
  EXPECT_TRUE(made);
  ASSERT_TRUE(kvplatform::AddValueIndex(
      volume_, database_, kIndexedKey, made, [](void* context, DWORD done, DWORD) { *static_cast<DWORD*>(context) = done; },
      &reported));
  EXPECT_FALSE(made) << "made once";
  EXPECT_EQ(reported, 0u);

  const CEOID second = writeKeyed(u"vodafone", u"two");
  const CEOID third = writeKeyed(u"+447700900123", u"three");
  std::vector<CEOID> found;
  ASSERT_TRUE(kvplatform::FindRecordsWithValue(volume_, database_, kIndexedKey, u"+447700900123", found));
  EXPECT_EQ(found, (std::vector<CEOID>{first, third}));
  found.clear();
  ASSERT_TRUE(kvplatform::FindRecordsWithValue(volume_, database_, kIndexedKey, u"", found));
  EXPECT_EQ(found, std::vector<CEOID>{unkeyed}) << "a record without the property is under the empty text";

  std::vector<kvplatform::IndexedValue> values;
  ASSERT_TRUE(kvplatform::ReadIndexedValues(volume_, database_, kIndexedKey, values));
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].value, u"+447700900123");
  EXPECT_EQ(values[0].count, 2u);
  EXPECT_EQ(values[0].newest, third);
  EXPECT_EQ(values[1].value, u"vodafone");
  EXPECT_EQ(values[2].newest, unkeyed);

  // Keyed later, deleted: the groups follow.
  ASSERT_EQ(writeKeyed(u"vodafone", u"now keyed", unkeyed), unkeyed);
  ASSERT_TRUE(CeDeleteRecord(handle_, second));
  values.clear();
  ASSERT_TRUE(kvplatform::ReadIndexedValues(volume_, database_, kIndexedKey, values));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[1].value, u"vodafone");
  EXPECT_EQ(values[1].count, 1u);
  EXPECT_EQ(values[1].newest, unkeyed);

  // Every record holding some value, none of those under the empty text.
  ASSERT_NE(writeKeyed(u"", u"keyed with nothing"), 0u);
  found.clear();
  ASSERT_TRUE(kvplatform::FindRecordsWithAnyValue(volume_, database_, kIndexedKey, found));
  EXPECT_EQ(found, (std::vector<CEOID>{unkeyed, first, third}));

  EXPECT_FALSE(kvplatform::AddValueIndex(volume_, database_, kIndexedFolder, made));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

TEST_F(DbIndexTest, AVolumeOfTheFirstFormatGetsTheIndexTablesAndKeepsItsRecords) {
  const CEOID kept = Write(u"Anna", u"kept whole");
  Unmount();
  std::string path;
  kvplatform::DevicePathToHost(kIndexedVolume, path);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "DROP TABLE fulltext; DROP TABLE textindexes; DROP TABLE indexedvalues;"
                         "DROP TABLE valueindexes; PRAGMA user_version=1;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  ASSERT_TRUE(Mount());
  ASSERT_TRUE(AddTextIndex());
  EXPECT_EQ(Search(u"whole"), std::vector<CEOID>{kept});
  Unmount();
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* version = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &version, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(version), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(version, 0), 2);
  sqlite3_finalize(version);
  sqlite3_close(db);
  ASSERT_TRUE(Mount());
}

}  // namespace
