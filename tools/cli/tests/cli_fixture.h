// korvanet-cli run as a user runs it, in a temporary device root, against
// phonesim on a pseudo-terminal linked where the program looks for COM3.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testing/child_process.h"
#include "testing/files.h"
#include "testing/phonesim_process.h"

class CliTest : public ::testing::Test {
 protected:
  // aParent: where the data folder is made (default: the temporary folder).
  explicit CliTest(const std::string& aParent = "");
  ~CliTest() override;

  void StartPhone(const nlohmann::json& aProfile, const std::vector<std::string>& aExtraArgs = {});
  // Stops the phone; the state it wrote (sent messages, phone books).
  nlohmann::json StopPhone();

  TChildResult Cli(const std::vector<std::string>& aArgs, TChildOptions aOptions = {});
  // Runs with --json, expects success, and parses standard output.
  nlohmann::json CliJson(const std::vector<std::string>& aArgs);
  // Runs with standard output on a pseudo-terminal, as at a user's terminal
  // (raw, so iOut holds the bytes written as they were); standard error is
  // captured as Cli() captures it.
  TChildResult CliOnTerminal(const std::vector<std::string>& aArgs);

  TTempDir iDir;
  std::string iRoot;  // the data folder (a test may swap in another)
  TPhoneSimProcess iPhone;
};

// The last non-empty line of a text.
std::string LastLine(const std::string& aText);
