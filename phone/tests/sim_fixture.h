// A test against phonesim: a device root with logging, the process globals,
// the simulated phone and a recording engine.
#pragma once

#include <gtest/gtest.h>

#include "kernel/requests.h"
#include "kernel/tests/log_fixture.h"
#include "phone/tests/sim_phone.h"

// Commands or replies, one per line.
using Lines = std::vector<std::string>;

class PhoneSimTest : public LoggingTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(EpocInitGlobals(), 0);
    LoggingTest::SetUp();
  }
  void TearDown() override {
    iSim.Stop();
    LoggingTest::TearDown();
    EpocReleaseGlobals();
  }
  // Starts the phone and runs aBody against it on an engine thread.
  void Run(const nlohmann::json& aProfile, const std::function<void(CMobilePhoneBase&)>& aBody,
           int aReplyTimeout = KReplyTimeout) {
    ASSERT_TRUE(iSim.Start(aProfile));
    TEngineRun run = RunOnEngineThread(iObserver, aBody, aReplyTimeout);
    ASSERT_EQ(run.iOpenResult, 0);
    ASSERT_TRUE(run.iFinished);
  }
  // The commands after the connection sequence's identity query.
  std::vector<std::string> CommandsAfter(const std::string& aCommand) const {
    std::vector<std::string> all = iSim.Commands();
    auto at = std::find(all.begin(), all.end(), aCommand);
    return at == all.end() ? std::vector<std::string>{} : std::vector<std::string>(at + 1, all.end());
  }

  TSimPhone iSim;
  TRecordingObserver iObserver;
};
