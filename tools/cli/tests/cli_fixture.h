// korvanet-cli run as a user runs it, in a temporary device root, against
// phonesim on a pseudo-terminal linked where the program looks for COM3.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/cli/tests/child_process.h"

class CliTest : public ::testing::Test {
 protected:
  CliTest();
  ~CliTest() override;

  void StartPhone(const nlohmann::json& aProfile);
  // Stops the phone; the state it wrote (sent messages, phone books).
  nlohmann::json StopPhone();

  TChildResult Cli(const std::vector<std::string>& aArgs, TChildOptions aOptions = {});
  // Runs with --json, expects success, and parses standard output.
  nlohmann::json CliJson(const std::vector<std::string>& aArgs);

  // SIM 1..10 with Alice (1), Bob (2), Carol (5); phone memory with Eve (3);
  // two received messages on the SIM.
  static nlohmann::json SmallProfile();
  static nlohmann::json ShippedProfile(const std::string& aName);

  std::string iRoot;
  TBackgroundChild iPhone;
};

// The last non-empty line of a text.
std::string LastLine(const std::string& aText);
