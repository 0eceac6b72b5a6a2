#include "tools/cli/tests/cli_fixture.h"

#include <stdlib.h>

#include <filesystem>

CliTest::CliTest(const std::string& aParent) : iDir("kv-cli", aParent), iRoot(iDir.Path()) {
  std::filesystem::create_directories(iRoot + "/dev");
}

CliTest::~CliTest() { iPhone.Stop(); }

void CliTest::StartPhone(const nlohmann::json& aProfile, const std::vector<std::string>& aExtraArgs) {
  ASSERT_TRUE(iPhone.Start(aProfile, iRoot, iRoot + "/dev/COM3", aExtraArgs)) << iPhone.Errors();
}

nlohmann::json CliTest::StopPhone() {
  iPhone.Stop();
  return iPhone.State();
}

TChildResult CliTest::Cli(const std::vector<std::string>& aArgs, TChildOptions aOptions) {
  std::vector<std::string> argv = {KORVANET_CLI_BINARY, "--root", iRoot};
  argv.insert(argv.end(), aArgs.begin(), aArgs.end());
  // Only the test's root and link count, whatever the caller's environment says.
  aOptions.iEnvironment.emplace("KORVANET_COM3", std::nullopt);
  aOptions.iEnvironment.emplace("KORVANET_ROOT", std::nullopt);
  return RunChild(argv, aOptions);
}

nlohmann::json CliTest::CliJson(const std::vector<std::string>& aArgs) {
  std::vector<std::string> args = {"--json"};
  args.insert(args.end(), aArgs.begin(), aArgs.end());
  TChildResult result = Cli(args);
  EXPECT_EQ(result.iStatus, 0) << result.iErr;
  return nlohmann::json::parse(result.iOut, nullptr, false);
}

std::string LastLine(const std::string& aText) {
  size_t end = aText.find_last_not_of("\r\n");
  if (end == std::string::npos) return {};
  size_t start = aText.find_last_of('\n', end);
  return aText.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}
