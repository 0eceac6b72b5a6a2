// Integration-test support: the phonesim program on a pseudo-terminal linked
// as COM3:, and an engine thread that drives the AT layer against it the way
// the program does.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "phone/mobile_phone.h"
#include "testing/files.h"
#include "testing/phonesim_process.h"
#include "testing/recording_observer.h"

class TSimPhone {
 public:
  TSimPhone() = default;
  TSimPhone(const TSimPhone&) = delete;
  TSimPhone& operator=(const TSimPhone&) = delete;
  ~TSimPhone();

  // Starts phonesim on the profile and points COM3: at it. False when it
  // does not report "ready".
  bool Start(const nlohmann::json& aProfile);
  // SIGTERM; the state is written. Returns the exit status.
  int Stop();

  // Every command line the phone received so far, in order (the PDU line
  // with its Ctrl-Z).
  std::vector<std::string> Commands() const;
  // The phones started from now on take lines on a control pipe, as the
  // network would bring them ("deliver FROM TEXT").
  void EnableControl() { iSim.EnableControl(); }
  bool Control(const std::string& aLine) const { return iSim.Control(aLine); }
  // The phone's state after Stop.
  nlohmann::json State() const { return iSim.State(); }

 private:
  TTempDir iDir{"kvphone-sim"};
  TPhoneSimProcess iSim;
};

// What one run on the engine thread produced.
struct TEngineRun {
  int iOpenResult = -1;
  bool iFinished = false;
};

// Starts an engine thread with its own scheduler, makes the AT layer with
// aObserver, opens COM3: and calls aBody; waits for the thread to end.
TEngineRun RunOnEngineThread(TRecordingObserver& aObserver, const std::function<void(CMobilePhoneBase&)>& aBody,
                             int aReplyTimeout = KReplyTimeout);

// Count of aLine in aLines.
int CountOf(const std::vector<std::string>& aLines, const std::string& aLine);
