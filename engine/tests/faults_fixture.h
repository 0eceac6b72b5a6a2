// Faults in the middle of work: what every such test checks (the engine
// thread gone with all its helpers and descriptors, the next action working).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/tests/engine_fixture.h"

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
};

// SmallProfile with one fault of phonesim's "faults" quirk.
nlohmann::json ProfileWithFault(const nlohmann::json& aFault);
