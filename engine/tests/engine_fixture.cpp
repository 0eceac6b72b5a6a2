#include "engine/tests/engine_fixture.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include <kvplatform.h>
#include <windbase.h>

#include "engine/engine_thread.h"
#include "engine/phone_engine.h"
#include "kernel/active.h"
#include "kernel/log.h"
#include "kernel/requests.h"
#include "testing/log_file.h"
#include "store/contacts.h"
#include "store/messages.h"

EngineTest* EngineTest::iCurrent = nullptr;

namespace {

const WCHAR KTestWindowClass[] = u"KvEngineTestWindow";

// The process's globals are made once: the TLS slot outlives every test.
void InitGlobalsOnce(WNDPROC aWindowProc) {
  static bool done = [aWindowProc] {
    EpocInitGlobals();
    WNDCLASSW windowClass = {};
    windowClass.lpszClassName = KTestWindowClass;
    windowClass.lpfnWndProc = aWindowProc;
    RegisterClassW(&windowClass);
    return true;
  }();
  (void)done;
}

}  // namespace

EngineTest::EngineTest() {
  InitGlobalsOnce(&EngineTest::WindowProc);
  SetLogging(1);
  iCurrent = this;
  iWindow = CreateWindowExW(0, KTestWindowClass, u"progress", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  iAction.iWindow = iWindow;
}

EngineTest::~EngineTest() {
  if (iEngineThread != nullptr) {
    PostThreadMessageW(iEngineThreadId, WM_QUIT, 0, 0);
    WaitEngineEnded();
    CloseHandle(iEngineThread);
  }
  iPhone.StopAndReadState();
  DestroyWindow(iWindow);
  iCurrent = nullptr;
  SetLogging(0);
}

void EngineTest::StartPhone(const nlohmann::json& aProfile) {
  ASSERT_TRUE(iPhone.Start(aProfile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
}

void EngineTest::StartEngine() {
  iEngineThread = CreateEpocThread(KvEngineMain, static_cast<LPVOID>(iWindow), &iEngineThreadId);
  ASSERT_NE(iEngineThread, nullptr);
}

void EngineTest::StartEngineWithReplyTimeout(int aReplyMs, int aListenQuietMs, int aListenRetryMs) {
  iReplyTimeoutMs = aReplyMs;
  iListenQuietMs = aListenQuietMs;
  iListenRetryMs = aListenRetryMs;
  iEngineThread = CreateEpocThread(ShortWaitEngineMain, this, &iEngineThreadId);
  ASSERT_NE(iEngineThread, nullptr);
}

// KvEngineMain's steps, with the protocol layer's silence waits (and
// listening's intervals) shortened before the first command can arrive.
DWORD EngineTest::ShortWaitEngineMain(LPVOID aFixture) {
  EngineTest* self = static_cast<EngineTest*>(aFixture);
  CActiveScheduler* scheduler = new CActiveScheduler;
  CActiveScheduler::Install(scheduler);
  CPhoneEng* engine = CPhoneEng::NewL(self->iWindow);
  if (engine != nullptr) {
    engine->Phone()->SetReplyTimeouts(self->iReplyTimeoutMs, self->iReplyTimeoutMs);
    if (self->iListenQuietMs > 0) engine->SetListenIntervals(self->iListenQuietMs, self->iListenRetryMs);
  }
  User::SetWindowEventHandler(TWindowEventHandler{EngineEventLoop, engine});
  CActiveScheduler::Start();
  return 0;
}

LRESULT EngineTest::WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  EngineTest* self = iCurrent;
  if (self != nullptr && aMessage == EKvStatusUpdated) {
    self->iStatusUpdates.push_back(reinterpret_cast<const TEngineAction*>(aWParam)->iStatus);
    return 0;
  }
  if (self != nullptr && (aMessage == EKvActionInProgress || aMessage == EKvActionComplete)) {
    const TEngineAction* action = reinterpret_cast<const TEngineAction*>(aWParam);
    self->iNotices.push_back({aMessage, Utf8(action->iText), action->iResult});
    if (aMessage == EKvActionInProgress) {
      if (self->iCancelAtProgress > 0) {
        int count = static_cast<int>(self->Progress().size());
        if (count == self->iCancelAtProgress)
          PostThreadMessageW(self->iEngineThreadId, EKvShutdownEngine, aWParam, 0);
        if (count >= self->iCancelAtProgress) return KActionCancelled;
      }
      return self->iProgressAnswer;
    }
    for (UINT number : self->iPostOnComplete) PostThreadMessageW(self->iEngineThreadId, number, aWParam, 0);
    self->iPostOnComplete.clear();
    if (self->iShutdownOnComplete)
      PostThreadMessageW(self->iEngineThreadId, EKvShutdownEngine, aWParam, 0);
    return 0;
  }
  return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}

bool EngineTest::PumpUntil(const std::function<bool()>& aCondition, int aTimeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
  while (!aCondition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return true;
}

bool EngineTest::Run(UINT aCommand, int aTimeoutMs) {
  if (!PostThreadMessageW(iEngineThreadId, aCommand, reinterpret_cast<WPARAM>(&iAction), 0)) return false;
  return WaitCompletions(CompletionCount() + 1, aTimeoutMs);
}

bool EngineTest::WaitCompletions(int aCount, int aTimeoutMs) {
  return PumpUntil([&] { return CompletionCount() >= aCount; }, aTimeoutMs);
}

bool EngineTest::WaitEngineEnded(int aTimeoutMs) {
  return iEngineThread == nullptr ||
         PumpUntil([this] { return WaitForSingleObject(iEngineThread, 0) == WAIT_OBJECT_0; }, aTimeoutMs);
}

std::vector<std::string> EngineTest::Progress(const std::string& aPrefix) const {
  std::vector<std::string> texts;
  for (const TNotice& notice : iNotices)
    if (notice.iMessage == EKvActionInProgress && notice.iText.rfind(aPrefix, 0) == 0) texts.push_back(notice.iText);
  return texts;
}

const TNotice* EngineTest::Completion() const {
  for (auto it = iNotices.rbegin(); it != iNotices.rend(); ++it)
    if (it->iMessage == EKvActionComplete) return &*it;
  return nullptr;
}

int EngineTest::CompletionCount() const {
  int count = 0;
  for (const TNotice& notice : iNotices) count += notice.iMessage == EKvActionComplete;
  return count;
}

std::vector<std::string> EngineTest::LogMessages() const { return ::LogMessages(iRoot); }

int EngineTest::CountLog(const std::string& aMessage) const {
  std::vector<std::string> messages = LogMessages();
  return static_cast<int>(std::count(messages.begin(), messages.end(), aMessage));
}

int EngineTest::CountLogPrefix(const std::string& aPrefix) const {
  std::vector<std::string> messages = LogMessages();
  return static_cast<int>(
      std::count_if(messages.begin(), messages.end(), [&](const std::string& m) { return m.rfind(aPrefix, 0) == 0; }));
}

int EngineTest::FindLog(const std::string& aMessage, int aFrom) const {
  std::vector<std::string> messages = LogMessages();
  for (size_t i = static_cast<size_t>(aFrom); i < messages.size(); ++i)
    if (messages[i] == aMessage) return static_cast<int>(i);
  return -1;
}

std::vector<TContactRow> EngineTest::Contacts() const {
  std::vector<TContactRow> rows;
  std::unique_ptr<CKveContactsDatabase> store(CKveContactsDatabase::NewL(nullptr, 0));
  for (CEpocDatabaseItem* record = store->ReadFirstItemL(); record != nullptr; record = store->ReadNextItemL()) {
    std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(record));
    rows.push_back({Utf8(contact->Name()), Utf8(contact->Number()), contact->Location(), contact->Flags()});
  }
  return rows;
}

std::vector<TMessageRow> EngineTest::Messages() const {
  std::vector<TMessageRow> rows;
  std::unique_ptr<CKveMessagesDatabase> store(CKveMessagesDatabase::NewL(nullptr, 0));
  for (CEpocDatabaseItem* record = store->ReadFirstItemL(); record != nullptr; record = store->ReadNextItemL()) {
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(record));
    rows.push_back({Utf8(message->Name()), Utf8(message->Number()), Utf8(message->Text()), message->Folder()});
  }
  return rows;
}

void EngineTest::AddContact(const std::string& aName, const std::string& aNumber, int aLocation, DWORD aFlags) {
  std::unique_ptr<CKveContactsDatabase> store(CKveContactsDatabase::NewL(nullptr, 0));
  std::unique_ptr<CKveContactsItem> contact(static_cast<CKveContactsItem*>(store->NewItemL()));
  std::u16string name = Utf16(aName);
  std::u16string number = Utf16(aNumber);
  TConstPtr16 nameText(name.c_str());
  TConstPtr16 numberText(number.c_str());
  contact->SetDetailsL(&nameText, &numberText, nullptr);
  contact->SetLocation(aLocation);
  if (aFlags & EKvContactOnSim) contact->SetOnSim();
  if (aFlags & EKvContactInPhoneMemory) contact->SetInPhoneMemory();
  if (aFlags & EKvContactDeleted) contact->MarkDeleted();
  if (aFlags & EKvContactEdited) contact->SetEdited(true);
  store->WriteItemL(*contact);
}

void EngineTest::SetOutboxMessage(const char16_t* aText) {
  iMessage.reset(CKveMessagesItem::NewL());
  iMessage->ConstructL();
  iMessage->SetNumberL(TConstPtr16(u"+447700900123"));
  iMessage->SetTextL(TConstPtr16(aText));
  iMessage->SetFolder(EKvFolderOutbox);
  iAction.iMessage = iMessage.get();
  iAction.iSmsc = u"+447785016005";
}

std::string EngineTest::Utf8(const TDesc16& aText) {
  return kvplatform::ToUtf8(std::u16string(aText.Ptr(), static_cast<size_t>(aText.Length())));
}

std::u16string EngineTest::Utf16(const std::string& aText) { return kvplatform::FromUtf8(aText); }
