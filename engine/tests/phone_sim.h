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
  // Before Start: phonesim also reads commands from a control pipe in the
  // work folder ("deliver FROM TEXT", "pdu HEX", "unsolicited LINE").
  void EnableControl() { iControl = true; }
  // One command line to the running phone, as the network would bring it.
  bool Control(const std::string& aLine);

 private:
  pid_t iPid = -1;
  std::string iWorkDir;
  bool iControl = false;
};

// A profile like the shipped generic one, small enough to reason about: SIM
// locations 1..10 with entries at 1, 2 and 5, phone memory 1..20 with one
// entry, two received messages on the SIM.
nlohmann::json SmallProfile();
// The shipped profile of that name (tools/phonesim/profiles/<name>.json).
nlohmann::json ShippedProfile(const std::string& aName);
