// The record database under the stores: start-up, duplicates, reading,
// notices to a window on another thread, sharing, crashes and damage.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <latch>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <kvplatform.h>
#include <kvplatform_db.h>
#include <windows.h>

#include "store/messages.h"
#include "store/tests/store_fixture.h"

extern char** environ;

namespace {

CKveMessagesItem* NewMessage(CEpocDatabase& aDb, const std::u16string& aName, const std::u16string& aNumber,
                             const std::u16string& aText, DWORD aFolder = EKvFolderInbox) {
  auto* item = static_cast<CKveMessagesItem*>(aDb.NewItemL());
  TConstPtr16 name(aName.data(), static_cast<int>(aName.size()));
  TConstPtr16 number(aNumber.data(), static_cast<int>(aNumber.size()));
  TConstPtr16 text(aText.data(), static_cast<int>(aText.size()));
  item->SetDetailsL(&name, &text, &number, aFolder);
  return item;
}

CEOID WriteMessage(CEpocDatabase& aDb, const std::u16string& aName, const std::u16string& aText) {
  std::unique_ptr<CKveMessagesItem> item(NewMessage(aDb, aName, u"+4479", aText));
  return aDb.WriteItemL(*item);
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

TEST_F(EpocDatabaseTest, DuplicatesAreNotWrittenAndFindItemGivesTheSortIndex) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  ASSERT_NE(WriteMessage(*db, u"Carl", u"one"), 0u);
  ASSERT_NE(WriteMessage(*db, u"Ann", u"two"), 0u);
  EXPECT_EQ(WriteMessage(*db, u"Carl", u"one"), 0u);
  EXPECT_EQ(CountMessages("CEpocDatabase::WriteItemL - duplicate entry not written"), 1);
  EXPECT_EQ(AllTexts(*db), (std::vector<std::u16string>{u"two", u"one"}));

  std::unique_ptr<CKveMessagesItem> carl(NewMessage(*db, u"Carl", u"+4479", u"one"));
  EXPECT_EQ(db->FindItem(*carl), 1);
  std::unique_ptr<CKveMessagesItem> other(NewMessage(*db, u"Carl", u"+4479", u"three"));
  EXPECT_EQ(db->FindItem(*other), -1);
}

TEST_F(EpocDatabaseTest, ARecordLargerThanTheReadBufferReadsWhole) {
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  std::u16string longText(600, u'w');
  longText.back() = u'!';
  ASSERT_NE(WriteMessage(*db, u"Big", longText), 0u);
  ASSERT_NE(WriteMessage(*db, u"Small", u"hi"), 0u);
  EXPECT_EQ(AllTexts(*db), (std::vector<std::u16string>{longText, u"hi"}));
  EXPECT_EQ(AllTexts(*db), (std::vector<std::u16string>{longText, u"hi"})) << "the grown buffer serves again";
  EXPECT_EQ(CountMessages("Epoc Database Panic"), 0);
}

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

// The writer process of the next test: writes numbered messages and reports
// each one whose WriteItemL has returned, until it is killed.
TEST(StoreChildProcess, Writer) {
  const char* root = std::getenv("KV_STORE_TEST_CHILD_ROOT");
  const char* fd = std::getenv("KV_STORE_TEST_CHILD_FD");
  if (root == nullptr || fd == nullptr) GTEST_SKIP() << "only as a child process";
  kvplatform::SetDeviceRoot(root);
  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  int report = std::atoi(fd);
  for (int i = 0; i < 1000; ++i) {
    std::u16string text = u"message " + std::u16string(kvplatform::FromUtf8(std::to_string(i)));
    // Distinct names keep the duplicate search short: it is not what this tests.
    std::unique_ptr<CKveMessagesItem> item(NewMessage(*db, text, u"+1", text));
    ASSERT_NE(db->WriteItemL(*item), 0u);
    uint32_t done = static_cast<uint32_t>(i);
    ASSERT_EQ(write(report, &done, sizeof done), static_cast<ssize_t>(sizeof done));
  }
}

TEST_F(EpocDatabaseTest, AWriterKilledMidwayLeavesEveryReturnedMessage) {
  {
    std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));  // created up front
  }
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string rootVar = "KV_STORE_TEST_CHILD_ROOT=" + Root();
  std::string fdVar = "KV_STORE_TEST_CHILD_FD=" + std::to_string(fds[1]);
  std::string filter = "--gtest_filter=StoreChildProcess.Writer";
  char* argv[] = {const_cast<char*>("store_test_child"), filter.data(), nullptr};
  std::vector<char*> env = {rootVar.data(), fdVar.data()};
  for (char** e = environ; *e; ++e) env.push_back(*e);
  env.push_back(nullptr);
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, env.data()), 0);
  close(fds[1]);
  // Kill it somewhere in the middle of its writes.
  int last = -1;
  uint32_t done = 0;
  while (last < 60 && read(fds[0], &done, sizeof done) == static_cast<ssize_t>(sizeof done)) last = static_cast<int>(done);
  kill(child, SIGKILL);
  while (read(fds[0], &done, sizeof done) == static_cast<ssize_t>(sizeof done)) last = static_cast<int>(done);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_GE(last, 60);

  std::unique_ptr<CKveMessagesDatabase> db(CKveMessagesDatabase::NewL(nullptr, 0));
  std::vector<std::u16string> texts = AllTexts(*db);
  EXPECT_GE(static_cast<int>(texts.size()), last + 1);
  for (int i = 0; i <= last; ++i) {
    std::u16string text = u"message " + kvplatform::FromUtf8(std::to_string(i));
    EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << "message " << i << " was lost";
  }
  EXPECT_NE(WriteMessage(*db, u"After", u"the crash"), 0u) << "the store still takes writes";
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
    std::string rootVar = "KV_STORE_TEST_CHILD_ROOT=" + Root();
    std::string recordsVar = "KV_STORE_TEST_CHILD_RECORDS=" + std::to_string(oids[60]) + " " + std::to_string(oids[70]);
    std::string filter = "--gtest_filter=StoreChildProcess.Changer";
    char* argv[] = {const_cast<char*>("store_test_child"), filter.data(), nullptr};
    std::vector<char*> env = {rootVar.data(), recordsVar.data()};
    for (char** e = environ; *e; ++e) env.push_back(*e);
    env.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, env.data()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
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
  { std::ofstream(path, std::ios::binary) << std::string(5000, '\x13') << "not a volume"; }
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
