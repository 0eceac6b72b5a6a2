// The record database under the stores: notices to a window on another
// thread, two threads making one database, and a damaged volume.
#include <algorithm>
#include <future>
#include <latch>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <windows.h>

#include "store/messages.h"
#include "store/tests/store_fixture.h"

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

// A window on its own thread records every notice it gets.
struct NoticeWindow {
  struct Notice {
    DWORD thread;
    UINT type;
    CEOID oid;
    CEOID parent;
    DWORD size;
  };
  static std::mutex sLock;
  static std::vector<Notice> sNotices;

  static LRESULT CALLBACK Proc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
    if (aMessage == WM_DBNOTIFICATION) {
      auto* notice = reinterpret_cast<const CENOTIFICATION*>(aLParam);
      std::lock_guard guard(sLock);
      sNotices.push_back({GetCurrentThreadId(), notice->uType, notice->oid, notice->oidParent, notice->dwSize});
      return 0;
    }
    if (aMessage == WM_CLOSE) {
      DestroyWindow(aWindow);
      PostQuitMessage(0);
      return 0;
    }
    return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
  }
};
std::mutex NoticeWindow::sLock;
std::vector<NoticeWindow::Notice> NoticeWindow::sNotices;

TEST_F(EpocDatabaseTest, EachChangeSendsOneNoticeHandledOnTheWindowsThread) {
  std::promise<std::pair<HWND, DWORD>> created;
  std::thread ui([&] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = NoticeWindow::Proc;
    wc.lpszClassName = u"StoreNoticeTest";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(u"StoreNoticeTest", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    created.set_value({window, GetCurrentThreadId()});
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  });
  auto [window, uiThread] = created.get_future().get();
  ASSERT_NE(window, nullptr);
  {
    std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(window, 0));
    CEOID written = WriteMessage(*db, u"Ann", u"first");
    ASSERT_NE(written, 0u);
    EXPECT_EQ(WriteMessage(*db, u"Ann", u"first"), 0u) << "a duplicate sends nothing";
    std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(db->ReadItemL(written)));
    ASSERT_NE(item, nullptr);
    TConstPtr16 changed(u"changed");
    item->SetTextL(changed);
    EXPECT_EQ(db->ReplaceItemL(*item), written);
    db->DeleteItem(written);
    db->DeleteItem(written);  // fails: no notice

    std::lock_guard guard(NoticeWindow::sLock);
    ASSERT_EQ(NoticeWindow::sNotices.size(), 3u);
    const UINT types[] = {DB_CEOID_CREATED, DB_CEOID_CHANGED, DB_CEOID_RECORD_DELETED};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(NoticeWindow::sNotices[i].type, types[i]);
      EXPECT_EQ(NoticeWindow::sNotices[i].oid, written);
      EXPECT_EQ(NoticeWindow::sNotices[i].thread, uiThread);
      EXPECT_EQ(NoticeWindow::sNotices[i].size, 36u);
      EXPECT_NE(NoticeWindow::sNotices[i].parent, 0u);
    }
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  ui.join();
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
