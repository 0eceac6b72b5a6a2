// The simulated phone for the engine's tests: phonesim on a profile, its
// pseudo-terminal linked where the program looks for COM3, and its state
// read back when it stops.
#pragma once

#include <sys/types.h>

#include <string>

#include <nlohmann/json.hpp>

class TPhoneSim {
 public:
  TPhoneSim() = default;
  TPhoneSim(const TPhoneSim&) = delete;
  TPhoneSim& operator=(const TPhoneSim&) = delete;
  ~TPhoneSim();

  // Starts phonesim with the profile, its line linked at aLinkPath. False
  // (with its standard error in Errors()) when it does not report ready.
  bool Start(const nlohmann::json& aProfile, const std::string& aLinkPath, const std::string& aWorkDir);
  // Stops the phone and returns the state it wrote (null on failure).
  nlohmann::json StopAndReadState();
  std::string Errors() const;
  bool Running() const { return iPid > 0; }

 private:
  pid_t iPid = -1;
  std::string iWorkDir;
};

// A profile like the shipped generic one, small enough to reason about: SIM
// locations 1..10 with entries at 1, 2 and 5, phone memory 1..20 with one
// entry, two received messages on the SIM.
nlohmann::json SmallProfile();
// The shipped profile of that name (tools/phonesim/profiles/<name>.json).
nlohmann::json ShippedProfile(const std::string& aName);
