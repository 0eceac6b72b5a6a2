// The simulated phone for tests: phonesim on a profile in a work folder, its
// pseudo-terminal linked where the test says, ready when it says "ready".
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testing/child_process.h"

class TPhoneSimProcess {
 public:
  // Starts phonesim with the profile (written to aDir/profile.json) and waits
  // for its ready line. Its output goes to aDir/phonesim.out and .err, its
  // state at the end to aDir/state.json. False when it ends first.
  bool Start(const nlohmann::json& aProfile, const std::string& aDir, const std::string& aLink,
             const std::vector<std::string>& aExtraArgs = {});
  // The same with the profile text as it is, valid JSON or not.
  bool StartText(const std::string& aProfileText, const std::string& aDir, const std::string& aLink,
                 const std::vector<std::string>& aExtraArgs = {});
  bool StartFile(const std::string& aProfilePath, const std::string& aDir, const std::string& aLink,
                 const std::vector<std::string>& aExtraArgs = {});
  // The phones started from now on get a control pipe, aDir/control.
  void EnableControl() { iControl = true; }
  // The phones started from now on record the line, aDir/transcript.jsonl.
  void EnableTranscript() { iTranscript = true; }
  // The command lines the phone received so far, each up to its carriage
  // return, the port's greeting left out (needs EnableTranscript).
  std::vector<std::string> ReceivedCommands() const;
  // Writes a line to the running phone's control pipe (a message to deliver, ...).
  bool Control(const std::string& aLine) const;
  // SIGTERM, and its exit status; the state is written.
  int Stop() { return iChild.Stop(); }
  // Stops the phone and returns the state it wrote (null when none).
  nlohmann::json StopAndReadState();
  // The state last written (after Stop).
  nlohmann::json State() const;
  std::string Errors() const;
  bool Running() const { return iChild.Running(); }
  pid_t Pid() const { return iChild.Pid(); }
  int ExitStatus() const { return iChild.ExitStatus(); }
  const std::string& Dir() const { return iDir; }

 private:
  std::string iDir;
  bool iControl = false;
  bool iTranscript = false;
  TBackgroundChild iChild;
};

// A shipped profile (tools/phonesim/profiles/<name>.json).
nlohmann::json ShippedProfile(const std::string& aName);
// A profile like the generic one, small enough to reason about: SIM locations
// 1..10 with Alice (1), Bob (2) and Carol (5), phone memory 1..20 with Eve (3),
// two received messages on the SIM (testing/data/small_phone.json).
nlohmann::json SmallProfile();
