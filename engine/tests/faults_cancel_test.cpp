// The user cancels each action at every one of its progress notices, as the
// progress dialog does it (EKvShutdownEngine posted, -3 answered from then
// on): each time the engine thread ends with everything it made, the stores
// hold only whole records, once, and the same action run again completes.
// Deleting the phone book runs the upload's reading and blanking, so the
// upload's run stands for both.
#include <algorithm>
#include <memory>

#include "engine/tests/faults_fixture.h"
#include "kernel/log.h"
#include "store/contacts.h"
#include "store/messages.h"

namespace {

const std::multiset<std::string> KPhoneMessages = {"Lunch at one?", "Unknown sender here"};
const std::multiset<std::string> KPhoneContacts = {"Alice", "Bob", "Carol", "Eve"};

bool Within(const std::multiset<std::string>& aPart, const std::multiset<std::string>& aWhole) {
  return std::includes(aWhole.begin(), aWhole.end(), aPart.begin(), aPart.end());
}

class CancelTest : public FaultTest {
 protected:
  // Logging off, as the program starts: with it on, these many runs would
  // spend their time formatting log lines.
  CancelTest() { SetLogging(0); }

  // Runs the action on a new engine thread (the program's own entry) with
  // the user's cancel at notice aAt. False when the action completed with
  // fewer notices: the cancel never came.
  bool RunCancelled(UINT aCommand, int aAt) {
    ResetAction();
    iCancelAtProgress = aAt;
    TResources before = Resources();
    StartEngine();
    EXPECT_TRUE(PostThreadMessageW(iEngineThreadId, aCommand, reinterpret_cast<WPARAM>(&iAction), 0));
    ExpectEngineGone(before);
    iCancelAtProgress = 0;
    return static_cast<int>(Progress().size()) >= aAt;
  }

  // For notice 1, 2, ...: aReset, the action cancelled at that notice, then
  // aCheck, until a run has fewer notices than the cancel waits for.
  template <typename TReset, typename TCheck>
  void AtEveryNotice(UINT aCommand, TReset aReset, TCheck aCheck) {
    int at = 1;
    for (bool cancelled = true; cancelled && at < 200; ++at) {
      SCOPED_TRACE("cancelled at notice " + std::to_string(at));
      aReset();
      if (HasFatalFailure()) return;
      cancelled = RunCancelled(aCommand, at);
      if (HasFatalFailure()) return;
      aCheck();
      if (HasFatalFailure()) return;
    }
    // Every action talks to the phone for many notices before it completes.
    EXPECT_GT(at, 8);
  }

  // The same action once more, not cancelled, to its completion text.
  void RunToCompletion(UINT aCommand, const std::string& aText) {
    TResources before = Resources();
    ASSERT_NO_FATAL_FAILURE(RunAction(aCommand));
    EXPECT_EQ(Completion()->iText, aText);
    ExpectEngineGone(before);
  }

};

}  // namespace

TEST_F(CancelTest, DownloadAtEveryNotice) {
  StartPhone(SmallProfile());
  AtEveryNotice(
      EKvGetAllSmsFromPhone, [this] { ClearMessages(); },
      [this] {
        // Each message announced was stored first; none is there twice.
        std::multiset<std::string> stored = MessageTexts();
        EXPECT_TRUE(Within(stored, KPhoneMessages));
        EXPECT_GE(static_cast<int>(stored.size()), static_cast<int>(Progress("Found Sms ").size()));
        RunToCompletion(EKvGetAllSmsFromPhone, "Transfer Complete.");
        EXPECT_EQ(MessageTexts(), KPhoneMessages);
      });
}

TEST_F(CancelTest, PhoneBookReadAtEveryNotice) {
  StartPhone(SmallProfile());
  AtEveryNotice(
      EKvReadPhoneBook, [this] { ClearContacts(); },
      [this] {
        std::multiset<std::string> stored = ContactNames();
        EXPECT_TRUE(Within(stored, KPhoneContacts));
        EXPECT_GE(static_cast<int>(stored.size()), static_cast<int>(Progress("Found Contact ").size()));
        RunToCompletion(EKvReadPhoneBook, "Read all contacts.");
        EXPECT_EQ(ContactNames(), KPhoneContacts);
      });
}

TEST_F(CancelTest, UploadAtEveryNotice) {
  // Each round starts from the same phone and the same local changes: Bob
  // deleted locally, Dan and Fay new.
  AtEveryNotice(
      EKvUploadAllContactsToPhone,
      [this] {
        if (iPhone.Running()) StopPhone();
        ClearContacts();
        AddContact("Bob", "01632960123", 2, EKvContactOnSim | EKvContactDeleted);
        AddContact("Dan", "+447700900111", -1, EKvContactOnSim);
        AddContact("Fay", "+447700900222", -1, EKvContactOnSim);
        StartPhone(SmallProfile());
      },
      [this] {
        // Bob goes only with the clean-up at the end; the new ones stay.
        std::multiset<std::string> local = ContactNames();
        EXPECT_TRUE(local == (std::multiset<std::string>{"Bob", "Dan", "Fay"}) ||
                    local == (std::multiset<std::string>{"Dan", "Fay"}));
        RunToCompletion(EKvUploadAllContactsToPhone, "Upload complete.");
        EXPECT_EQ(ContactNames(), (std::multiset<std::string>{"Dan", "Fay"}));
        nlohmann::json state = StopPhone();
        EXPECT_EQ(PhoneNames(state, "SM"), (std::multiset<std::string>{"Alice", "Carol", "Dan", "Fay"}));
        EXPECT_EQ(PhoneNames(state, "ME"), std::multiset<std::string>{"Eve"});
      });
}

TEST_F(CancelTest, SendAtEveryNotice) {
  SetOutboxMessage();
  size_t sent = 0;
  StartPhone(SmallProfile());
  AtEveryNotice(
      EKvSendNow, [] {},
      [this, &sent] {
        RunToCompletion(EKvSendNow, "Message Sent.");
        // The cancelled send went out whole or not at all; the one after it went out.
        nlohmann::json state = StopPhone();
        size_t now = state["sms"]["sent"].size();
        EXPECT_TRUE(now == sent + 1 || now == sent + 2) << now;
        sent = now;
        StartPhone(state);
      });
  EXPECT_TRUE(Messages().empty());
}

TEST_F(CancelTest, DeleteAllMessagesAtEveryNotice) {
  AtEveryNotice(
      EKvDeleteAllSmsFromPhone,
      [this] {
        if (iPhone.Running()) StopPhone();
        StartPhone(SmallProfile());
      },
      [this] {
        RunToCompletion(EKvDeleteAllSmsFromPhone, "Deleted all messages.");
        nlohmann::json state = StopPhone();
        EXPECT_TRUE(state["sms"]["stores"]["SM"]["messages"].empty());
        EXPECT_TRUE(state["sms"]["stores"]["ME"]["messages"].empty());
      });
  EXPECT_TRUE(Messages().empty());
}
