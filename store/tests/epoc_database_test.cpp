// The record database under the stores: notices to a window on another
// thread, two threads making one database, reading on across changes made
// meanwhile, and a damaged volume.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <latch>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include <kvplatform.h>
#include <kvplatform_db.h>
#include <windows.h>

#include "store/messages.h"
#include "store/tests/store_fixture.h"
#include "testing/child_process.h"
#include "testing/wait_until.h"

namespace {

// Each name with a number of its own, as the duplicate rule looks at the
// number and the text: the same name and text make a duplicate.
CEOID WriteMessage(CEpocDatabase& aDb, const std::u16string& aName, const std::u16string& aText) {
  std::u16string number = u"+4479";
  for (char16_t c : aName) number += u"0123456789"[c % 10] + std::u16string(1, u"0123456789"[c / 10 % 10]);
  return aDb.WriteItemL(*NewMessage(aDb, aName, number, aText, EKvFolderInbox));
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

// The other process of the next test: changes one record's text and deletes another.
TEST(StoreChildProcess, Changer) {
  const char* root = std::getenv("KV_STORE_TEST_CHILD_ROOT");
  const char* records = std::getenv("KV_STORE_TEST_CHILD_RECORDS");
  if (root == nullptr || records == nullptr) GTEST_SKIP() << "only as a child process";
  kvplatform::SetDeviceRoot(root);
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  CEOID changed = 0, deleted = 0;
  ASSERT_EQ(std::sscanf(records, "%u %u", &changed, &deleted), 2);
  std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(db->ReadItemL(changed)));
  ASSERT_NE(item, nullptr);
  item->SetTextL(TConstPtr16(u"changed elsewhere"));
  ASSERT_NE(db->ReplaceItemL(*item), 0u);
  db->DeleteItem(deleted);
}

// A reader part way through the records sees every change made since it
// started, by another store in this process or by another process, though
// the volume hands it the records that follow ahead of its reads.
TEST_F(EpocDatabaseTest, ReadingOnSeesEveryChangeMadeMeanwhile) {
  std::unique_ptr<CKveMessagesDatabase> reader(CKveMessagesDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveMessagesDatabase> writer(CKveMessagesDatabase::NewL(nullptr, 0));
  std::vector<CEOID> oids;
  for (int i = 0; i < 100; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "m%03d", i);
    oids.push_back(WriteMessage(*writer, kvplatform::FromUtf8(name), u"as written"));
    ASSERT_NE(oids.back(), 0u);
  }
  // Reads the first aCount records, then makes the changes, then reads on;
  // the texts of the records read after the changes, by name.
  auto readAcross = [&](int aCount, const std::function<void()>& aChanges) {
    std::vector<std::pair<std::u16string, std::u16string>> after;
    std::unique_ptr<CEpocDatabaseItem> item(reader->ReadFirstItemL());
    for (int i = 1; i < aCount && item; ++i) item.reset(reader->ReadNextItemL());
    aChanges();
    for (item.reset(reader->ReadNextItemL()); item; item.reset(reader->ReadNextItemL())) {
      auto* message = static_cast<CKveMessagesItem*>(item.get());
      after.emplace_back(ToU16(message->Name()), ToU16(message->Text()));
    }
    return after;
  };
  auto textOf = [](const auto& aRows, const std::u16string& aName) {
    for (const auto& [name, text] : aRows)
      if (name == aName) return text;
    return std::u16string(u"(none)");
  };

  auto here = readAcross(21, [&] {
    std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(writer->ReadItemL(oids[30])));
    ASSERT_NE(item, nullptr);
    item->SetTextL(TConstPtr16(u"changed here"));
    ASSERT_NE(writer->ReplaceItemL(*item), 0u);
    writer->DeleteItem(oids[40]);
    ASSERT_NE(WriteMessage(*writer, u"m050a", u"added here"), 0u);
  });
  EXPECT_EQ(here.size(), 79u);
  EXPECT_EQ(textOf(here, u"m030"), u"changed here");
  EXPECT_EQ(textOf(here, u"m040"), u"(none)");
  EXPECT_EQ(textOf(here, u"m050a"), u"added here");

  auto elsewhere = readAcross(56, [&] {
    TChildOptions options;
    options.iEnvironment["KV_STORE_TEST_CHILD_ROOT"] = Root();
    options.iEnvironment["KV_STORE_TEST_CHILD_RECORDS"] = std::to_string(oids[60]) + " " + std::to_string(oids[70]);
    TChildResult child = RunChild({"/proc/self/exe", "--gtest_filter=StoreChildProcess.Changer"}, options);
    ASSERT_EQ(child.iStatus, 0) << child.iOut << child.iErr;
  });
  EXPECT_EQ(elsewhere.size(), 43u);
  EXPECT_EQ(textOf(elsewhere, u"m060"), u"changed elsewhere");
  EXPECT_EQ(textOf(elsewhere, u"m070"), u"(none)");

  // A change read inside a transaction held open is gone once it is undone.
  CEGUID volume;
  ASSERT_TRUE(CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING));
  auto undone = readAcross(2, [&] {
    ASSERT_TRUE(kvplatform::BeginVolumeTransaction(volume));
    std::unique_ptr<CKveMessagesItem> item(static_cast<CKveMessagesItem*>(writer->ReadItemL(oids[80])));
    ASSERT_NE(item, nullptr);
    item->SetTextL(TConstPtr16(u"undone"));
    ASSERT_NE(writer->ReplaceItemL(*item), 0u);
    for (int i = 0; i < 60; ++i) delete reader->ReadNextItemL();
    ASSERT_TRUE(kvplatform::EndVolumeTransaction(volume, FALSE));
  });
  EXPECT_EQ(textOf(undone, u"m080"), u"as written");
  CeUnmountDBVol(&volume);
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
