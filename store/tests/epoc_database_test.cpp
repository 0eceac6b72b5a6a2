// The record database under the stores: notices to a window on another
// thread, two threads making one database, and a damaged volume.
#include <algorithm>
#include <atomic>
#include <latch>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include <windows.h>

#include "store/messages.h"
#include "store/tests/store_fixture.h"
#include "testing/wait_until.h"

namespace {

CEOID WriteMessage(CEpocDatabase& aDb, const std::u16string& aName, const std::u16string& aText) {
  return aDb.WriteItemL(*NewMessage(aDb, aName, u"+4479", aText, EKvFolderInbox));
}

std::vector<std::u16string> AllTexts(CEpocDatabase& aDb) {
  std::vector<std::u16string> texts;
  for (CEpocDatabaseItem* item = aDb.ReadFirstItemL(); item != nullptr; item = aDb.ReadNextItemL()) {
    texts.push_back(ToU16(static_cast<CKveMessagesItem*>(item)->Text()));
    delete item;
  }
  return texts;
}

using EpocDatabaseTest = StoreTest;

// The notices a window gets: the thread that handled each, its type, the
// record, the database and the block's size.
std::vector<std::tuple<DWORD, UINT, CEOID, CEOID, DWORD>> gNotices;

LRESULT CALLBACK NoticeProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  if (aMessage != WM_DBNOTIFICATION) return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
  auto* notice = reinterpret_cast<const CENOTIFICATION*>(aLParam);
  gNotices.emplace_back(GetCurrentThreadId(), notice->uType, notice->oid, notice->oidParent, notice->dwSize);
  return 0;
}

TEST_F(EpocDatabaseTest, EachChangeSendsOneNoticeHandledOnTheWindowsThread) {
  gNotices.clear();
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = NoticeProc;
  windowClass.lpszClassName = u"StoreNoticeTest";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(u"StoreNoticeTest", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  // The store on another thread, as the engine's is; its notices are sent
  // to this thread, which handles them while it waits.
  CEOID written = 0;
  std::atomic<bool> done = false;
  std::thread writer([&] {
    std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(window, 0));
    written = WriteMessage(*db, u"Ann", u"first");
    EXPECT_EQ(WriteMessage(*db, u"Ann", u"first"), 0u) << "a duplicate sends nothing";
    std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(db->ReadItemL(written)));
    if (item != nullptr) {
      item->SetTextL(TConstPtr16(u"changed"));
      EXPECT_EQ(db->ReplaceItemL(*item), written);
    }
    db->DeleteItem(written);
    db->DeleteItem(written);  // fails: no notice
    done = true;
  });
  EXPECT_TRUE(kvtest::WaitUntil([&] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    return done.load();
  }));
  writer.join();
  ASSERT_NE(written, 0u);
  const UINT types[] = {DB_CEOID_CREATED, DB_CEOID_CHANGED, DB_CEOID_RECORD_DELETED};
  ASSERT_EQ(gNotices.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const auto& [thread, type, oid, parent, size] = gNotices[static_cast<size_t>(i)];
    EXPECT_EQ(thread, GetCurrentThreadId());
    EXPECT_EQ(type, types[i]);
    EXPECT_EQ(oid, written);
    EXPECT_NE(parent, 0u);
    EXPECT_EQ(size, 36u);
  }
  DestroyWindow(window);
}

// A store under a name of the test's choosing, so that each round starts
// with a database no one has made yet.
class CNamedStore : public CEpocDatabase {
 public:
  explicit CNamedStore(const std::u16string& aName) { BaseConstructL(aName.c_str(), 0x1001F, nullptr); }
  CEpocDatabaseItem* CreateItemL() override { return CKveMessagesItem::NewL(); }
};

TEST_F(EpocDatabaseTest, TwoThreadsOpeningADatabaseNoOneHasMadeYetBothGetIt) {
  for (int round = 0; round < 20; ++round) {
    std::u16string name = u"Race" + std::u16string(1, static_cast<char16_t>(u'A' + round));
    std::latch start(2);
    auto opener = [&](const char16_t* aText) {
      start.arrive_and_wait();
      std::unique_ptr<CNamedStore> store(new CNamedStore(name));  // zero-filled, as every heap object
      EXPECT_NE(WriteMessage(*store, u"Thread", aText), 0u) << "round " << round;
    };
    std::thread first(opener, u"first");
    std::thread second(opener, u"second");
    first.join();
    second.join();
    std::unique_ptr<CNamedStore> store(new CNamedStore(name));
    std::vector<std::u16string> texts = AllTexts(*store);
    std::sort(texts.begin(), texts.end());  // equal names: either order
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"first", u"second"})) << "round " << round;
  }
  EXPECT_EQ(CountMessages("CEpocDatabase::NewL - Failed to create database"), 0);
}

TEST_F(EpocDatabaseTest, ADamagedVolumeIsLeftUntouchedAndEveryCallFailsQuietly) {
  std::string path = VolumeHostPath();
  WriteFile(path, std::string(5000, '\x13') + "not a volume");
  std::string before = ReadFile(path);
  {
    std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
    EXPECT_EQ(CountMessages("CEpocDatabase::NewL Failed to open volume"), 1);
    EXPECT_EQ(CountMessages("CEpocDatabase::BaseConstructL - Failed to open database"), 1);
    EXPECT_EQ(db->ReadFirstItemL(), nullptr);
    EXPECT_EQ(WriteMessage(*db, u"Ann", u"lost?"), 0u);
    EXPECT_EQ(CountMessages("CEpocDatabase::WriteItem failed write"), 1);
  }
  EXPECT_EQ(CountMessages("CEpocDatabase::~CEpocDatabase failed to unmount volume"), 1);
  EXPECT_EQ(ReadFile(path), before);
}

}  // namespace
