// The first open of a messages store an earlier version left: the window's
// thread makes its indexes for seconds, and the notice above the menu bar
// tells how far it is, then that it is done.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/document/app_globals.h"
#include "app/tests/program_fixture.h"
#include "app/views/kv_appui.h"
#include "app/views/kv_notice_bubble.h"
#include "store/messages.h"

namespace kvui = kvplatform::uitest;

namespace {

const int KUpgradedMessages = 2500;

class StoreUpgradeTest : public ProgramTest {
 protected:
  void WriteEarlierStore() {
    std::filesystem::create_directories(iRoot + "/Program Files/Korvanet/Data");
    CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
    ASSERT_NE(store, nullptr);
    CEGUID volume;
    ASSERT_TRUE(CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING));
    CEOID oid = 0;
    HANDLE database = CeOpenDatabaseEx(&volume, &oid, const_cast<LPWSTR>(u"KvMessages"), 0x1001F, 0, nullptr);
    ASSERT_NE(database, INVALID_HANDLE_VALUE);
    for (int i = 0; i < KUpgradedMessages; ++i) {
      CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->NewItemL());
      std::u16string text = kvplatform::FromUtf8("Message number " + std::to_string(i));
      std::u16string number = kvplatform::FromUtf8("+4477009" + std::to_string(10000 + i % 40));
      TConstPtr16 textView(text.c_str(), static_cast<int>(text.size()));
      TConstPtr16 numberView(number.c_str(), static_cast<int>(number.size()));
      message->SetDetailsL(nullptr, &textView, &numberView, EKvFolderInbox);
      std::vector<CEPROPVAL> values(static_cast<size_t>(message->PropertyCount()));
      message->SaveProperties(values.data());
      ASSERT_NE(CeWriteRecordProps(database, 0, static_cast<WORD>(values.size()), values.data()), 0u);
      delete message;
    }
    CloseHandle(database);
    CeUnmountDBVol(&volume);
    delete store;
    // The same records in the first format, without the indexes' tables.
    sqlite3* db = nullptr;
    const std::string path = iRoot + "/Program Files/Korvanet/Data/Database";
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "DROP TABLE fulltext; DROP TABLE textindexes; DROP TABLE indexedvalues;"
                           "DROP TABLE valueindexes; PRAGMA user_version=1;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
};

TEST_F(StoreUpgradeTest, TheFirstOpenOfAnEarlierStoreTellsItsProgressInTheNotice) {
  WriteEarlierStore();
  ASSERT_TRUE(StartProgram());
  CKvNoticeBubble* notice = gKvAppUi->Notice();
  ASSERT_TRUE(notice->IsShown());
  EXPECT_EQ(notice->Heading(), u"Preparing the messages store");
  EXPECT_EQ(notice->Text(), u"Every message is kept, and found by conversation and by search.");
  StopProgram();

  // Opened again: nothing to prepare, nothing shown.
  ASSERT_TRUE(StartProgram());
  EXPECT_FALSE(gKvAppUi->Notice()->IsShown());
}

// A store whose file is damaged past opening is said to be so in the notice,
// not shown as empty lists.
TEST_F(StoreUpgradeTest, AStoreThatCannotBeOpenedIsSaidToBeSo) {
  std::filesystem::create_directories(iRoot + "/Program Files/Korvanet/Data");
  {
    std::ofstream damaged(iRoot + "/Program Files/Korvanet/Data/Database", std::ios::binary);
    for (int i = 0; i < 8192; ++i) damaged.put(static_cast<char>((i * 7919) % 251));
  }
  ASSERT_TRUE(StartProgram());
  CKvNoticeBubble* notice = gKvAppUi->Notice();
  ASSERT_TRUE(notice->IsShown());
  EXPECT_EQ(notice->Heading(), u"The data cannot be opened");
  Screenshot("store_cannot_open");
  StopProgram();
}

}  // namespace
