// Listening that keeps a modem left alone working: a phone that stops
// answering, a port that goes and comes back under another name, a phone
// that announces nothing, and a full message memory.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "engine/tests/faults_fixture.h"

namespace {

const int KRecoveryQuietMs = 400;
const int KRecoveryRetryMs = 150;

class RecoveryTest : public FaultTest {
 protected:
  ~RecoveryTest() override { unsetenv("KORVANET_DEV"); }

  // Listening on a phone with a control pipe, with the short waits of a test.
  void Listen(const nlohmann::json& aProfile, int aReplyMs = KShortReply) {
    iPhone.EnableControl();
    iPhone.EnableTranscript();
    if (!iLinkedById) StartPhone(aProfile);
    StartEngineWithReplyTimeout(aReplyMs, KRecoveryQuietMs, KRecoveryRetryMs);
    ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvListen, reinterpret_cast<WPARAM>(&iAction), 0));
  }
  // The phone as a USB modem: its stable name in a by-id folder of the root,
  // and COM3 set to the device that name leads to now, as a user who typed
  // /dev/ttyUSB2 has it.
  void StartPhoneById(const nlohmann::json& aProfile) {
    // A device folder of the test's own; only its stable names are used.
    const std::string dev = iRoot + "/devices";
    iById = dev + "/serial/by-id";
    for (const std::string& folder : {dev, dev + "/serial", iById}) ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    setenv("KORVANET_DEV", dev.c_str(), 1);
    iStableName = iById + "/usb-PHONESIM_PS-100_0001-if00-port0";
    iPhone.EnableControl();
    iPhone.EnableTranscript();
    ASSERT_TRUE(iPhone.Start(aProfile, iRoot, iStableName)) << iPhone.Errors();
    iFirstDevice = Target(iStableName);
    ASSERT_FALSE(iFirstDevice.empty());
    ASSERT_EQ(symlink(iFirstDevice.c_str(), (iRoot + "/dev/COM3").c_str()), 0);
    iLinkedById = true;
  }
  static std::string Target(const std::string& aLink) {
    char target[256];
    ssize_t n = readlink(aLink.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
  }
  bool Logged(const std::string& aMessage) {
    return PumpUntil([&] { return CountLog(aMessage) > 0; });
  }
  bool LoggedPrefix(const std::string& aPrefix) {
    return PumpUntil([&] { return CountLogPrefix(aPrefix) > 0; });
  }
  // Listening reads the phone's status once connected; a silence begun
  // during that read would be noticed by it rather than by the probe.
  bool StatusRead() { return Logged("CPhoneEng::RefreshStatusWhileListening - status read"); }
  bool Stored(size_t aCount) {
    return PumpUntil([&] { return MessageTexts().size() >= aCount; });
  }
  void End(const TResources& aBefore) {
    ASSERT_TRUE(PostThreadMessageW(iEngineThreadId, EKvShutdownEngine, reinterpret_cast<WPARAM>(&iAction), 0));
    ExpectEngineGone(aBefore);
  }

  std::string iById, iStableName, iFirstDevice;
  bool iLinkedById = false;
};

}  // namespace

// The phone stops answering for a while: the probe goes unanswered, the
// port is opened again until the phone answers, and what came meanwhile
// (its announcement lost) is taken from the phone's memory.
TEST_F(RecoveryTest, APhoneThatFallsSilentIsTakenUpAgainWithNothingLostOrTwice) {
  TResources before = Resources();
  ResetAction();
  ASSERT_NO_FATAL_FAILURE(Listen(SmallProfile()));
  ASSERT_TRUE(Stored(2));
  ASSERT_TRUE(iPhone.Control("deliver +447700900111 Before the silence"));
  ASSERT_TRUE(Stored(3));

  ASSERT_TRUE(StatusRead());
  ASSERT_TRUE(iPhone.Control("silence 3000"));
  ASSERT_TRUE(iPhone.Control("deliver +447700900222 During the silence"));
  ASSERT_TRUE(LoggedPrefix("CPhoneEng::ProcessListen - no answer to the probe"));
  ASSERT_TRUE(LoggedPrefix("CPhoneEng::ReconnectForListening - recovery 1, set up again in"));
  ASSERT_TRUE(Stored(4));
  ASSERT_TRUE(iPhone.Control("deliver +447700900333 After the silence"));
  ASSERT_TRUE(Stored(5));
  EXPECT_EQ(MessageTexts(), (std::multiset<std::string>{"Lunch at one?", "Unknown sender here", "Before the silence",
                                                         "During the silence", "After the silence"}));
  EXPECT_EQ(iAction.iRecoveries, 1);
  EXPECT_EQ(CompletionCount(), 0) << "listening goes on";
  End(before);
}

// A hung modem reset by its watchdog: silent, then its device node goes and
// comes back as another device. The port given by the device it led to is
// opened again by its stable name. The loss is noticed when the line goes,
// not when the probe's wait (longer than the test's deadline here) ends.
TEST_F(RecoveryTest, APortThatComesBackUnderAnotherNameIsOpenedByItsStableName) {
  TResources before = Resources();
  ResetAction();
  ASSERT_NO_FATAL_FAILURE(StartPhoneById(SmallProfile()));
  ASSERT_NO_FATAL_FAILURE(Listen(SmallProfile(), 600000));
  ASSERT_TRUE(Stored(2));

  ASSERT_TRUE(StatusRead());
  ASSERT_TRUE(iPhone.Control("silence 1500"));
  ASSERT_TRUE(LoggedPrefix("CPhoneEng::ProcessListen - the line was quiet, probing the phone"));
  ASSERT_TRUE(iPhone.Control("replug 1500"));
  ASSERT_TRUE(Logged("CPhoneEng::ProcessListen - the phone is gone; its port is opened again when it is back"));
  ASSERT_TRUE(iPhone.Control("deliver +447700900222 While the port was away"));
  ASSERT_TRUE(LoggedPrefix("CPhoneEng::ReconnectForListening - recovery 1, set up again in"));
  EXPECT_NE(Target(iStableName), iFirstDevice) << "the phone came back on another device";
  ASSERT_TRUE(Stored(3));
  ASSERT_TRUE(iPhone.Control("deliver +447700900333 Back again"));
  ASSERT_TRUE(Stored(4));
  EXPECT_EQ(MessageTexts(), (std::multiset<std::string>{"Lunch at one?", "Unknown sender here",
                                                         "While the port was away", "Back again"}));
  // Set up again as at the start: memories, then announcements.
  std::vector<std::string> commands = iPhone.ReceivedCommands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "AT+CNMI=2,1,0,2,0"), 2);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "AT+CPMS=\"ME\",\"ME\",\"ME\""), 2);
  End(before);
}

// Without AT+CNMI the phone is asked for its messages at the interval.
TEST_F(RecoveryTest, APhoneWithoutAnnouncementsIsAskedAtTheInterval) {
  TResources before = Resources();
  ResetAction();
  iAction.iPollSeconds = 1;
  nlohmann::json profile = SmallProfile();
  profile["sms"]["cnmi_offer"] = nullptr;
  ASSERT_NO_FATAL_FAILURE(Listen(profile));
  ASSERT_TRUE(Logged("CPhoneEng::ConnectForListening - the phone announces nothing; asked every 1000 ms"));
  ASSERT_TRUE(Stored(2));
  ASSERT_TRUE(iPhone.Control("deliver +447700900111 Found by asking"));
  ASSERT_TRUE(Stored(3));
  ASSERT_TRUE(Logged("CPhoneEng::ProcessListen - asking the phone for new messages"));
  ASSERT_TRUE(iPhone.Control("deliver +447700900222 Found again"));
  ASSERT_TRUE(Stored(4));
  EXPECT_EQ(MessageTexts(), (std::multiset<std::string>{"Lunch at one?", "Unknown sender here", "Found by asking",
                                                         "Found again"}));
  End(before);
}

// A phone silent for good is restarted after the set number of tries.
TEST_F(RecoveryTest, APhoneThatNeverAnswersIsRestartedAfterTheSetTries) {
  TResources before = Resources();
  ResetAction();
  iAction.iResetAfterTries = 2;
  ASSERT_NO_FATAL_FAILURE(Listen(SmallProfile()));
  ASSERT_TRUE(Stored(2));
  ASSERT_TRUE(StatusRead());
  ASSERT_TRUE(iPhone.Control("silence 600000"));
  ASSERT_TRUE(Logged("CPhoneEng::ResetAfterTries - no answer after 2 tries, restarting the phone"));
  // Sent first on a port just opened, so it may follow the port's greeting.
  ASSERT_TRUE(PumpUntil([this] {
    for (const std::string& command : iPhone.ReceivedCommands())
      if (command.size() >= 11 && command.compare(command.size() - 11, 11, "AT+CFUN=1,1") == 0) return true;
    return false;
  }));
  End(before);
}

// A full memory for new messages is said in words; deleting each message
// once stored keeps it from filling.
TEST_F(RecoveryTest, AFullMessageMemoryIsToldUnlessMessagesAreDeletedOnceStored) {
  nlohmann::json profile = SmallProfile();
  profile["sms"]["stores"]["ME"] = {{"capacity", 1},
                                    {"messages", {{{"index", 1}, {"status", 0}, {"from", "+447700900111"},
                                                   {"text", "Filling the phone"}, {"time", "2003-01-07T09:00:00+00:00"}}}}};
  for (bool deleteAfterStore : {false, true}) {
    SCOPED_TRACE(deleteAfterStore);
    TResources before = Resources();
    ResetAction();
    iNotices.clear();
    ClearMessages();
    iAction.iDeleteAfterStore = deleteAfterStore;
    ASSERT_NO_FATAL_FAILURE(Listen(profile));
    ASSERT_TRUE(Stored(3));
    ASSERT_TRUE(PumpUntil([this] { return !Progress("Listening for messages").empty(); }));
    EXPECT_EQ(Progress("The phone's message memory is full").size(), deleteAfterStore ? 0u : 1u);
    if (!deleteAfterStore) {
      EXPECT_EQ(Progress("The phone's message memory is full")[0], "The phone's message memory is full (1 of 1)");
    }
    End(before);
    nlohmann::json state = StopPhone();
    EXPECT_EQ(state["sms"]["stores"]["ME"]["messages"].size(), deleteAfterStore ? 0u : 1u);
  }
}
