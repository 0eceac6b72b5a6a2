#include <gtest/gtest.h>

#include <kvplatform.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kernel/active.h"
#include "kernel/requests.h"
#include "kernel/tests/log_fixture.h"
#include "wait_until.h"

namespace {

// The calling thread set up as the process's first thread, logging on.
class ActiveTest : public LoggingTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(EpocInitGlobals(), 0);
    SetLogging(1);
    iScheduler = new CCountingScheduler;
    CActiveScheduler::Install(iScheduler);
    kvplatform::ClearMessageBoxHistory();
  }
  void TearDown() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    EpocReleaseGlobals();  // destroys the scheduler too
    SetLogging(0);
  }

  // Counts its wake-ups.
  class CCountingScheduler : public CActiveScheduler {
   public:
    HANDLE WaitForAnyRequest() override {
      ++iWakes;
      return CActiveScheduler::WaitForAnyRequest();
    }
    int iWakes = 0;
  };

  std::vector<std::u16string> BoxTexts() const {
    std::vector<std::u16string> texts;
    for (const auto& box : kvplatform::MessageBoxHistory()) texts.push_back(box.text);
    return texts;
  }

  CCountingScheduler* iScheduler = nullptr;
};

// Records its runs; stops the scheduler once the shared count reaches a limit.
class CRecorder : public CActive {
 public:
  CRecorder(int aPriority, std::string aName, std::vector<std::string>& aLog, int aStopAfter = 0)
      : CActive(aPriority), iName(std::move(aName)), iLog(aLog), iStopAfter(aStopAfter) {
    CActiveScheduler::Add(this);
  }
  ~CRecorder() override { Cancel(); }

  // A request that someone else completes through the given event (or the
  // thread's request event when none).
  void Issue() {
    iStatus = KCompletionPending;
    SetActive();
  }

  std::function<void()> iOnRun;

 protected:
  void RunL() override {
    iLog.push_back(iName);
    if (iOnRun) iOnRun();
    if (iStopAfter && static_cast<int>(iLog.size()) >= iStopAfter) CActiveScheduler::Stop();
  }
  void DoCancel() override {
    TCompletionStatus* status = &iStatus;
    User::RequestComplete(status, KErrCancel);
  }

 private:
  std::string iName;
  std::vector<std::string>& iLog;
  int iStopAfter;
};

// Does nothing of its own; for lifecycle checks.
class CBare : public CActive {
 public:
  CBare() : CActive(0) { CActiveScheduler::Add(this); }
  void Start() {
    iStatus = KCompletionPending;
    SetActive();
  }

 protected:
  void RunL() override {}
  void DoCancel() override {}
};

// Waits until a waiter has taken the auto-reset event's signal. A signal this
// check finds still there is taken by it, so it is put back.
bool WaitUntilSignalTaken(HANDLE aEvent) {
  return kvtest::WaitUntil([aEvent] {
    if (WaitForSingleObject(aEvent, 0) != WAIT_OBJECT_0) return true;
    SetEvent(aEvent);
    return false;
  });
}

void Join(HANDLE aThread) {
  WaitForSingleObject(aThread, INFINITE);
  CloseHandle(aThread);
}

}  // namespace

TEST_F(ActiveTest, OneRunLPerWakeInPriorityOrder) {
  std::vector<std::string> log;
  auto first = std::make_unique<CRecorder>(0, "first", log, 3);
  auto second = std::make_unique<CRecorder>(0, "second", log, 3);
  auto urgent = std::make_unique<CRecorder>(10, "urgent", log, 3);
  HANDLE events[3] = {User::AllocateEvent(), User::AllocateEvent(), User::AllocateEvent()};
  first->Issue();
  second->Issue();
  urgent->Issue();
  // All three complete before the scheduler looks, each through its own event.
  first->iStatus = 0;
  second->iStatus = 0;
  urgent->iStatus = 0;
  for (HANDLE event : events) SetEvent(event);
  CActiveScheduler::Start();
  EXPECT_EQ(log, (std::vector<std::string>{"urgent", "first", "second"}));
  EXPECT_EQ(iScheduler->iWakes, 3);
  for (HANDLE event : events) User::ReleaseEvent(event);
}

TEST_F(ActiveTest, CompletionsFromAnotherThread) {
  std::vector<std::string> log;
  CRecorder a(0, "a", log, 2);
  CRecorder b(5, "b", log, 2);
  HANDLE eventA = User::AllocateEvent();
  HANDLE eventB = User::AllocateEvent();
  a.Issue();
  b.Issue();
  // b, of higher priority, completes only once a has run.
  HANDLE aRan = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  a.iOnRun = [aRan] { SetEvent(aRan); };
  // Status first, then the event, as every completion.
  std::thread completer([&] {
    a.iStatus = 7;
    SetEvent(eventA);
    WaitForSingleObject(aRan, kvtest::kHungTest.count());
    b.iStatus = -2;
    SetEvent(eventB);
  });
  CActiveScheduler::Start();
  completer.join();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(a.iStatus.Int(), 7);
  EXPECT_EQ(b.iStatus.Int(), -2);
  EXPECT_FALSE(a.IsActive());
  CloseHandle(aRan);
}

TEST_F(ActiveTest, NestedStartsEachEndWithTheirOwnStop) {
  std::vector<std::string> log;
  CRecorder outer(0, "outer", log);
  CRecorder inner(0, "inner", log);
  CRecorder last(0, "last", log);
  int levelInside = -1;
  outer.iOnRun = [&] {
    inner.Issue();
    TCompletionStatus* status = &inner.iStatus;
    User::RequestComplete(status, 0);
    EXPECT_EQ(status, nullptr);
    CActiveScheduler::Start();  // returns when inner's RunL stops it
    log.push_back("outer resumed");
    last.Issue();
    TCompletionStatus* lastStatus = &last.iStatus;
    User::RequestComplete(lastStatus, 0);
  };
  inner.iOnRun = [&] {
    levelInside = iScheduler->NestingLevel();
    CActiveScheduler::Stop();
  };
  last.iOnRun = [&] { CActiveScheduler::Stop(); };
  outer.Issue();
  TCompletionStatus* status = &outer.iStatus;
  User::RequestComplete(status, 0);
  char completed[128];
  std::snprintf(completed, sizeof completed, "User::RequestComplete Setting event 0x%x, status = 0x%x, reason = 0",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(ThreadBaggage()->iRequestEvent)),
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(&outer.iStatus)));
  EXPECT_TRUE(Logged(completed));
  CActiveScheduler::Start();
  EXPECT_EQ(levelInside, 2);
  EXPECT_EQ(log, (std::vector<std::string>{"outer", "inner", "outer resumed", "last"}));
  EXPECT_EQ(iScheduler->NestingLevel(), 0);
}

TEST_F(ActiveTest, OwedSignalsPassFromWaitForRequestToWaitForAnyRequest) {
  std::vector<std::string> log;
  CRecorder other(0, "other", log, 1);
  other.Issue();
  TCompletionStatus mine = KCompletionPending;
  HANDLE requestEvent = ThreadBaggage()->iRequestEvent;
  // The other request completes first, on the same request event; mine only
  // once the waiter has taken that signal (two signals at once would be one).
  std::thread completer([&] {
    other.iStatus = 0;
    SetEvent(requestEvent);
    WaitUntilSignalTaken(requestEvent);
    mine = 5;
    SetEvent(requestEvent);
  });
  User::WaitForRequest(mine);
  completer.join();
  EXPECT_EQ(mine.Int(), 5);
  CEventBank* bank = ThreadBaggage()->iEventBank;
  EXPECT_EQ(bank->OwedSignals(), 1u);
  CActiveScheduler::Start();  // returns at once with the owed signal
  EXPECT_EQ(log, (std::vector<std::string>{"other"}));
  EXPECT_EQ(bank->OwedSignals(), 0u);

  // An already completed status with nothing owed still takes one signal.
  TCompletionStatus done = 0;
  SetEvent(requestEvent);
  User::WaitForRequest(done);
  EXPECT_EQ(WaitForSingleObject(requestEvent, 0), WAIT_TIMEOUT);
}

TEST_F(ActiveTest, WindowInputDuringAWaitRunsTheHandler) {
  std::vector<std::string> log;
  CRecorder done(0, "done", log, 1);
  HANDLE requestEvent = ThreadBaggage()->iRequestEvent;
  // The request is completed from another thread only once the input has
  // been dealt with: a wait that saw both at once would take the request first.
  auto completeWhen = [&](std::function<bool()> aReady) {
    return std::thread([&, aReady] {
      kvtest::WaitUntil(aReady);
      done.iStatus = 0;
      SetEvent(requestEvent);
    });
  };
  struct TContext {
    std::vector<UINT> iMessages;
    std::atomic<int> iCalls{0};
  } context;
  User::SetWindowEventHandler({[](void* aArgument) {
                                 TContext* c = static_cast<TContext*>(aArgument);
                                 MSG input;
                                 while (PeekMessageW(&input, nullptr, 0, 0, PM_REMOVE)) c->iMessages.push_back(input.message);
                                 ++c->iCalls;
                                 return 0;
                               },
                               &context});
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // a thread's queue exists once it has looked at it
  done.Issue();
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 7, 1, 2));
  std::thread completer = completeWhen([&context] { return context.iCalls > 0; });
  CActiveScheduler::Start();
  completer.join();
  EXPECT_EQ(context.iMessages, (std::vector<UINT>{WM_USER + 7}));
  EXPECT_EQ(log, (std::vector<std::string>{"done"}));

  // Without a handler: an error box, and the messages are dispatched away.
  User::SetWindowEventHandler(TWindowEventHandler{nullptr, nullptr});
  done.Issue();
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 8, 0, 0));
  completer = completeWhen([this] { return Logged("HandleWindowEvents - Windows events in Epoc code"); });
  CActiveScheduler::Start();
  completer.join();
  EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{u"Windows events in Epoc code"}));
  EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(ActiveTest, EventBankLimitReuseAndMisuse) {
  CEventBank* bank = new CEventBank;
  std::vector<HANDLE> events;
  for (int i = 0; i < 63; ++i) events.push_back(bank->AllocateEvent());
  EXPECT_NE(events.back(), nullptr);  // the 63rd new event still comes
  EXPECT_EQ(bank->CreatedCount(), 63);
  EXPECT_EQ(bank->AllocateEvent(), nullptr);
  EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{u"Max number of events exceeded"}));

  CEventBank* small = new CEventBank;
  HANDLE a = small->AllocateEvent();
  HANDLE b = small->AllocateEvent();
  small->ReleaseEvent(a);
  EXPECT_EQ(small->AllocateEvent(), a);  // reused before a new one is made
  EXPECT_EQ(small->CreatedCount(), 2);
  small->ReleaseEvent(b);
  small->ReleaseEvent(b);
  EXPECT_EQ(small->InUseCount(), 0);
  small->ReleaseEvent(a);
  EXPECT_EQ(small->InUseCount(), -1);
  small->ReleaseEvent(events[0]);  // belongs to the other bank
  EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{u"Max number of events exceeded", u"Releasing a free event",
                                                     u"NumEventsInUse negative",
                                                     u"Event not found"}));
  delete small;
  delete bank;
}

TEST_F(ActiveTest, ActivePanicsAreReportsOnly) {
  std::vector<std::string> log;
  CActiveScheduler::Add(nullptr);
  EXPECT_TRUE(Logged("Active Panic 48"));
  CRecorder added(0, "added", log);
  CActiveScheduler::Add(&added);
  EXPECT_TRUE(Logged("Active Panic 41"));
  added.Issue();
  added.SetActive();
  EXPECT_TRUE(Logged("Active Panic 42"));
  added.Cancel();
  EXPECT_FALSE(added.IsActive());
  EXPECT_EQ(added.iStatus.Int(), KErrCancel);

  CActiveScheduler::Stop();
  EXPECT_TRUE(Logged("Active Panic 45"));
  EXPECT_EQ(iScheduler->NestingLevel(), 0);

  // A wake-up with nothing completed: reported, and the scheduler waits on.
  added.Issue();
  SetEvent(ThreadBaggage()->iRequestEvent);
  added.iOnRun = [] { CActiveScheduler::Stop(); };
  HANDLE requestEvent = ThreadBaggage()->iRequestEvent;
  std::thread completer([&] {
    WaitUntilSignalTaken(requestEvent);
    added.iStatus = 0;
    SetEvent(requestEvent);
  });
  CActiveScheduler::Start();
  completer.join();
  EXPECT_TRUE(Logged("Active Panic 46"));
  EXPECT_EQ(log, (std::vector<std::string>{"added"}));

  added.Deque();
  EXPECT_FALSE(added.IsAdded());
  added.Deque();
  EXPECT_TRUE(Logged("Active Panic 49"));

  // Destroyed while active: reported, and unlinked without a cancel, so the
  // scheduler never meets it again.
  CBare* doomed = new CBare;
  doomed->Start();
  delete doomed;
  EXPECT_TRUE(Logged("Active Panic 40"));
}

TEST_F(ActiveTest, WithoutASchedulerNothingRuns) {
  delete iScheduler;  // clears the thread's current scheduler
  EXPECT_EQ(CActiveScheduler::Current(), nullptr);
  std::vector<std::string> log;
  CRecorder orphan(0, "orphan", log);
  EXPECT_FALSE(orphan.IsAdded());
  CActiveScheduler::Start();
  CActiveScheduler::Stop();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Active Panic 44", "Active Panic 44", "Active Panic 44"}));
  iScheduler = nullptr;
}

TEST_F(ActiveTest, EpocThreadsHaveBaggageAndTheirQueueBeforeTheCreatorGoesOn) {
  struct TResult {
    bool iHadBaggage = false;
    bool iHadBank = false;
    UINT iMessage = 0;
  } epoc;
  auto body = [](LPVOID aArgument) -> DWORD {
    TResult* result = static_cast<TResult*>(aArgument);
    TThreadBaggage* baggage = ThreadBaggage();
    result->iHadBaggage = baggage != nullptr;
    result->iHadBank = baggage && baggage->iEventBank && baggage->iRequestEvent == baggage->iEventBank->RequestEvent();
    MSG message;
    if (GetMessageW(&message, nullptr, 0, 0)) result->iMessage = message.message;
    return 0;
  };
  DWORD id = 0;
  HANDLE thread = CreateEpocThread(body, &epoc, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(PostThreadMessageW(id, WM_USER + 1, 0, 0));  // right after creation
  Join(thread);
  EXPECT_TRUE(epoc.iHadBaggage);
  EXPECT_TRUE(epoc.iHadBank);
  EXPECT_EQ(epoc.iMessage, static_cast<UINT>(WM_USER + 1));
}
