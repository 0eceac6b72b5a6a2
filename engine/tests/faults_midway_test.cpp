// The phone hangs up, or falls silent for longer than the program waits, in
// the middle of work: the action still ends with its completion, what was
// stored before stays, the engine thread leaves nothing behind, and the same
// action against the phone once it is back completes the work. A hang-up
// closes phonesim's end of the pseudo-terminal and removes the device's name
// while the reader waits, as a pulled USB cable does.
#include <memory>

#include "engine/tests/faults_fixture.h"
#include "kernel/log.h"
#include "store/contacts.h"
#include "store/messages.h"

namespace {

// The parameter is the fault's "then": "hangup" or "silence".
class MidwayTest : public FaultTest, public ::testing::WithParamInterface<std::string> {
 protected:
  nlohmann::json Fault(nlohmann::json aFault) {
    aFault["then"] = GetParam();
    return aFault;
  }
  // How the program learnt of the fault: a silent phone by the wait that
  // ran out; a hung-up line by the reader at once, without waiting that long.
  void ExpectNoticed(int aState) {
    std::string silent = "CMobilePhoneBase - the phone fell silent in state " + std::to_string(aState);
    if (GetParam() == "hangup") {
      EXPECT_GE(CountLogPrefix("ReadThreadMain: WaitCommEvent status = 0x0 ERROR 1167"), 1);
      EXPECT_GE(CountLog("CDataReader::LineGone"), 1);
    } else {
      EXPECT_GE(CountLog(silent), 1) << silent;
    }
  }
  // The log has told how the fault was noticed; the action that follows
  // runs without it, as the program does by default, and much faster.
  void FollowUnlogged() { SetLogging(0); }
};

}  // namespace

TEST_P(MidwayTest, InTheMiddleOfTheMessageListing) {
  // The first message (header and PDU) gets through, then nothing more.
  StartPhone(ProfileWithFault(Fault({{"command", "AT+CMGL"}, {"lines", 2}})));
  TResources before = Resources();
  ASSERT_NO_FATAL_FAILURE(RunAction(EKvGetAllSmsFromPhone));
  // The listing never got its final OK: no success is claimed, and what
  // arrived before the cut is kept.
  EXPECT_EQ(Completion()->iText, "Transfer failed: the phone went away");
  EXPECT_EQ(Completion()->iResult, -2);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Discovered Phone", "Found Sms 1"}));
  EXPECT_EQ(MessageTexts(), std::multiset<std::string>{"Lunch at one?"});
  ExpectNoticed(18);
  ExpectEngineGone(before);

  FollowUnlogged();
  RestartPhone();
  ASSERT_NO_FATAL_FAILURE(RunAction(EKvGetAllSmsFromPhone));
  EXPECT_EQ(Completion()->iText, "Transfer Complete.");
  EXPECT_EQ(MessageTexts(), (std::multiset<std::string>{"Lunch at one?", "Unknown sender here"}));
}

TEST_P(MidwayTest, InTheMiddleOfAnUpload) {
  // The SIM pass blanks Bob (write 1) and writes Dan (2); the phone stores
  // Fay (3) but never answers; Gus does not reach it.
  AddContact("Bob", "01632960123", 2, EKvContactOnSim | EKvContactDeleted);
  AddContact("Dan", "+447700900111", -1, EKvContactOnSim);
  AddContact("Fay", "+447700900222", -1, EKvContactOnSim);
  AddContact("Gus", "+447700900333", -1, EKvContactOnSim);
  StartPhone(ProfileWithFault(Fault({{"command", "AT+CPBW"}, {"occurrence", 3}})));
  TResources before = Resources();
  ASSERT_NO_FATAL_FAILURE(RunAction(EKvUploadAllContactsToPhone));
  // Fay's write was never answered and Gus's never reached the phone: the
  // upload does not claim them.
  EXPECT_EQ(Completion()->iText, "Upload incomplete: 2 not accepted by the phone.");
  EXPECT_EQ(Completion()->iResult, -2);
  // Both phone books were visited, so the local clean-up ran: Bob is gone.
  EXPECT_EQ(ContactNames(), (std::multiset<std::string>{"Dan", "Fay", "Gus"}));
  ExpectNoticed(30);
  ExpectEngineGone(before);

  FollowUnlogged();
  nlohmann::json state = RestartPhone();
  EXPECT_EQ(PhoneNames(state, "SM"), (std::multiset<std::string>{"Alice", "Carol", "Dan", "Fay"}));
  ASSERT_NO_FATAL_FAILURE(RunAction(EKvUploadAllContactsToPhone));
  EXPECT_EQ(Completion()->iText, "Upload complete.");
  ExpectEngineGone(before);
  // Fay, stored although her write was never answered, is not written twice.
  state = StopPhone();
  EXPECT_EQ(PhoneNames(state, "SM"), (std::multiset<std::string>{"Alice", "Carol", "Dan", "Fay", "Gus"}));
  EXPECT_EQ(PhoneNames(state, "ME"), std::multiset<std::string>{"Eve"});
}

TEST_P(MidwayTest, BetweenTheSendCommandAndItsReply) {
  SetOutboxMessage();
  // First before the prompt; then after the message text, which the phone
  // takes although its reply never comes, so the program counts it failed.
  StartPhone(ProfileWithFault(Fault({{"command", "AT+CMGS"}, {"stage", "reply"}})));
  for (const std::string stage : {"reply", "pdu"}) {
    SCOPED_TRACE(stage);
    TResources before = Resources();
    ASSERT_NO_FATAL_FAILURE(RunAction(EKvSendNow));
    EXPECT_EQ(Completion()->iText, "Failed send.");
    EXPECT_EQ(Completion()->iResult, -2);
    ExpectNoticed(stage == "reply" ? 37 : 38);
    ExpectEngineGone(before);
    nlohmann::json state = StopPhone();
    ASSERT_TRUE(state.is_object());
    EXPECT_EQ(state["sms"]["sent"].size(), stage == "pdu" ? 1u : 0u);
    // The phone is back, with the next fault or none.
    state["quirks"]["faults"] = nlohmann::json::array();
    if (stage == "reply") state["quirks"]["faults"].push_back(Fault({{"command", "AT+CMGS"}, {"stage", "pdu"}}));
    StartPhone(state);
  }
  FollowUnlogged();
  TResources before = Resources();
  ASSERT_NO_FATAL_FAILURE(RunAction(EKvSendNow));
  EXPECT_EQ(Completion()->iText, "Message Sent.");
  EXPECT_EQ(Completion()->iResult, 0);
  ExpectEngineGone(before);
  EXPECT_EQ(StopPhone()["sms"]["sent"].size(), 2u);
  // The engine leaves the message record to the user interface.
  EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, MidwayTest, ::testing::Values("hangup", "silence"));
