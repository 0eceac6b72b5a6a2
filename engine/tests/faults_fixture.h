// Faults in the middle of work: what every such test checks (the engine
// thread gone with all its helpers and descriptors, the next action working),
// and a cable between the program's port and phonesim that a test can pull.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/tests/engine_fixture.h"
#include "store/messages.h"

// The test's own pseudo-terminal, linked where the program looks for COM3,
// whose master end a thread joins to phonesim's line. Pulling it closes the
// master end, as when a USB cable comes out: the program's line hangs up and
// its device name disappears.
class TCable {
 public:
  TCable() = default;
  TCable(const TCable&) = delete;
  TCable& operator=(const TCable&) = delete;
  ~TCable() { Pull(); }

  // False with the reason in Error() when a piece cannot be set up.
  bool Plug(const std::string& aPortLink, const std::string& aPhoneDevice);
  void Pull();
  const std::string& Error() const { return iError; }
  // What the program has sent through the cable so far.
  std::string Sent();

 private:
  void Relay();
  bool Fail(const std::string& aWhat);

  int iMaster = -1;
  int iSlave = -1;  // held so that the line lasts between the program's openings
  int iPhone = -1;
  int iStop[2] = {-1, -1};
  std::thread iThread;
  std::mutex iSentLock;
  std::string iSent;
  std::string iLink;
  std::string iError;
};

class FaultTest : public EngineTest {
 protected:
  // Waits for the phone to fall silent: the program gives up after this.
  static constexpr int KShortReply = 1200;

  struct TResources {
    int iThreads;
    int iDescriptors;
  };
  // Taken before the engine thread starts (the log file already open).
  TResources Resources();
  // The engine thread has ended and every thread and descriptor it made is
  // gone again (some end a moment after it).
  void ExpectEngineGone(const TResources& aBefore);

  // Runs one action on a new engine thread with short silence waits, to its
  // completion.
  void RunAction(UINT aCommand);
  // The block as the engine proxy hands it over at the start of an action.
  void ResetAction();
  // Stops phonesim and starts it again on the state it wrote: its faults
  // are used up, its phone books and messages are as the fault left them.
  nlohmann::json RestartPhone();

  // The message texts in the local store, and whether any is there twice.
  std::multiset<std::string> MessageTexts() const;
  std::multiset<std::string> ContactNames() const;
  // Names in one phone book of a phonesim state.
  static std::multiset<std::string> PhoneNames(const nlohmann::json& aState, const std::string& aBook);
  void ClearMessages();
  void ClearContacts();

  // Non-empty progress texts of the last action.
  std::vector<std::string> Texts() const;

  // An Outbox message for a send, handed to the action block.
  void SetOutboxMessage();
  std::unique_ptr<CKveMessagesItem> iMessage;
};

// SmallProfile with one fault of phonesim's "faults" quirk.
nlohmann::json ProfileWithFault(const nlohmann::json& aFault);
