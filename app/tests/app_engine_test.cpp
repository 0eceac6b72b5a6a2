// The engine proxy: one action at a time, the engine thread started per
// action and told to shut down at its end, against the real engine and
// phonesim.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/document/app_engine.h"
#include "app/document/app_globals.h"
#include "app/document/kv_application.h"
#include "app/document/kv_document.h"
#include "app/tests/app_fixture.h"
#include "testing/phonesim_process.h"
#include "kernel/descriptors.h"
#include "kernel/log.h"
#include "store/messages.h"

namespace {

struct TSeen {
  UINT iMessage;
  std::u16string iText;
  int iResult;
};

// The proxy, its document, and a window that plays the progress dialog.
class ProxyTest : public AppTest {
 protected:
  ProxyTest() {
    SetLogging(1);
    iApplication.reset(CKvApplication::NewL());
    gKvDocument = static_cast<CKvDocument*>(iApplication->CreateDocumentL());
    gKvDocument->SetDoLogging(1);
    iProxy.reset(static_cast<CKvAppEngineImpl*>(CKvAppEngine::NewL()));
    iOnNotice = [this](UINT aMessage, const TEngineAction& aAction) -> LRESULT {
      iSeen.push_back({aMessage, std::u16string(aAction.iText.Ptr(), aAction.iText.Length()), aAction.iResult});
      if (aMessage == EKvActionInProgress) {
        iProxy->ActionInProgress();
        return 0;
      }
      iProxy->ShutdownEngine();  // as the dialog does on every completion
      return 0;
    };
  }
  ~ProxyTest() override {
    DWORD thread = iProxy->EngineThreadId();
    iProxy.reset();  // posts WM_QUIT
    WaitThreadGone(thread);
    gKvDocument = nullptr;
    iApplication.reset();
  }

  // Posts fail once a thread has ended and its queue is gone.
  bool WaitThreadGone(DWORD aThread) {
    return aThread == 0 || PumpUntil([aThread] { return !PostThreadMessageW(aThread, WM_NULL, 0, 0); }, 20000);
  }
  const TSeen* Completion() const {
    for (auto it = iSeen.rbegin(); it != iSeen.rend(); ++it)
      if (it->iMessage == EKvActionComplete) return &*it;
    return nullptr;
  }
  bool RunAction() {
    size_t before = iSeen.size();
    iProxy->ActionStart(iWindow);
    return PumpUntil([&] {
      for (size_t i = before; i < iSeen.size(); ++i)
        if (iSeen[i].iMessage == EKvActionComplete) return true;
      return false;
    });
  }

  std::unique_ptr<CKvApplication> iApplication;
  std::unique_ptr<CKvAppEngineImpl> iProxy;
  std::vector<TSeen> iSeen;
  TPhoneSimProcess iPhone;
};

}  // namespace

TEST_F(ProxyTest, OneActionAtATimeAndNothingStartsWithoutOne) {
  EXPECT_NE(iProxy->EngineThreadId(), 0u);  // started with the proxy
  EXPECT_EQ(CountLog("CKvAppEngineImpl::ConstructL Created KvEngine Thread"), 1);

  EXPECT_EQ(iProxy->ShutdownEngine(), -2);
  EXPECT_EQ(CountLog("CKvAppEngineImpl::AbortTransfer - no transfer in progress."), 1);

  ASSERT_TRUE(RunAction());  // nothing set
  EXPECT_EQ(Completion()->iText, u"Error: No action has been set");
  EXPECT_NE(Completion()->iResult, 0);
  EXPECT_EQ(iProxy->State(), 0);
  EXPECT_EQ(CountLog("CKvAppEngineImpl::ActionStart Error: no action"), 1);

  EXPECT_EQ(iProxy->GetAllSmsFromPhone(), 0);
  EXPECT_EQ(iProxy->GetUploadAllContactsToPhone(), -2);
  EXPECT_EQ(iProxy->DeleteAllSmsFromPhone(), -2);
  EXPECT_EQ(iProxy->SendNow(nullptr), -2);
  EXPECT_EQ(iProxy->State(), EKvAppEngine_GetAllSmsFromPhone);
  EXPECT_EQ(CountLog("CKvAppEngineImpl::CheckEngineReady - engine busy. State = 2"), 2);
  EXPECT_EQ(CountLog("CKvAppEngineImpl::DeleteAllSmsFromPhone - engine busy. State = 2"), 1);
  iProxy->ActionComplete(-3);
  EXPECT_EQ(iProxy->State(), 0);
  EXPECT_EQ(iProxy->SendAllSmsFromOutbox(), 0);
}

TEST_F(ProxyTest, EachActionRunsOnAFreshEngineThreadThatEndsWithIt) {
  ASSERT_TRUE(iPhone.Start(SmallProfile(), iRoot, iRoot + "/dev/COM3"));
  ASSERT_EQ(iProxy->GetAllSmsFromPhone(), 0);
  DWORD first = iProxy->EngineThreadId();
  ASSERT_TRUE(RunAction());
  EXPECT_EQ(Completion()->iText, u"Transfer Complete.");
  EXPECT_EQ(iProxy->EngineThreadId(), 0u);  // forgotten at the completion
  EXPECT_TRUE(WaitThreadGone(first));
  EXPECT_EQ(iProxy->State(), EKvAppEngine_GetAllSmsFromPhone);  // until the dialog closes
  iProxy->ActionComplete(0);
  EXPECT_EQ(gKvDocument->MessagesDatabase() != nullptr, true);

  // No service centre in the settings: the engine gets an empty text, not null.
  std::unique_ptr<CKveMessagesItem> message(CKveMessagesItem::NewL());
  message->ConstructL();
  message->SetNumberL(TConstPtr16(u"+447700900123"));
  message->SetTextL(TConstPtr16(u"Hi"));
  ASSERT_EQ(iProxy->SendNow(message.get()), 0);
  ASSERT_TRUE(RunAction());
  EXPECT_EQ(CountLog("CKvAppEngineImpl::InitialiseEngineThread"), 2);
  EXPECT_EQ(Completion()->iText, u"No SMSC - check \"Settings\"");
  EXPECT_EQ(Completion()->iResult, -2);
  ASSERT_NE(iProxy->Action().iSmsc, nullptr);
  iProxy->ActionComplete(-2);

  gKvDocument->SetSmscNumber(static_cast<LPWSTR>(std::memcpy(std::malloc(28), u"+447785016005", 28)));
  ASSERT_EQ(iProxy->SendNow(message.get()), 0);
  ASSERT_TRUE(RunAction());
  EXPECT_EQ(Completion()->iText, u"Message Sent.");
  EXPECT_EQ(Completion()->iResult, 0);
  iProxy->ActionComplete(0);
  EXPECT_EQ(CountLog("CKvAppEngineImpl::ActionStart - EKvAppEngine_SendNow"), 2);
}

TEST_F(ProxyTest, AnAbortEndsTheEngineMidTransferAndTheNextActionStartsAnother) {
  nlohmann::json profile = SmallProfile();
  profile["quirks"]["hang_after"] = "AT+CMGL=4";
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3"));
  ASSERT_EQ(iProxy->GetAllSmsFromPhone(), 0);
  DWORD engine = iProxy->EngineThreadId();
  iProxy->ActionStart(iWindow);
  // The engine is reading the messages, which the phone never answers.
  ASSERT_TRUE(PumpUntil([&] { return CountLog("CMobilePhoneBase::ReadSms") == 1; }));
  ASSERT_EQ(Completion(), nullptr);

  // The user cancels: the dialog makes up a completion and ends the engine.
  EXPECT_EQ(iProxy->ShutdownEngine(), 0);
  EXPECT_TRUE(WaitThreadGone(engine));
  // A late completion calls it again: nothing left to post to.
  EXPECT_EQ(iProxy->ShutdownEngine(), 0);
  EXPECT_EQ(CountLog("CKvAppEngineImpl::SendNow PostThreadMessage failed state = 2 ERROR 1444"), 1);
  iProxy->ActionComplete(-3);

  ASSERT_EQ(iProxy->SendAllSmsFromOutbox(), 0);
  ASSERT_TRUE(RunAction());
  EXPECT_EQ(Completion()->iText, u"Not Supported .. yet");
  iProxy->ActionComplete(0);
}
