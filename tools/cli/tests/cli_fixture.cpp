#include "tools/cli/tests/cli_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

CliTest::CliTest() {
  char pattern[] = "/tmp/kv-cli-XXXXXX";
  iRoot = mkdtemp(pattern);
  std::filesystem::create_directories(iRoot + "/dev");
}

CliTest::~CliTest() {
  iPhone.Stop();
  std::filesystem::remove_all(iRoot);
}

void CliTest::StartPhone(const nlohmann::json& aProfile) {
  std::ofstream(iRoot + "/profile.json") << aProfile.dump(2);
  ASSERT_TRUE(iPhone.Start({PHONESIM_BINARY, "--profile", iRoot + "/profile.json", "--link", iRoot + "/dev/COM3",
                            "--state-out", iRoot + "/state.json"},
                           iRoot + "/phonesim.out", iRoot + "/phonesim.err", "ready\n"))
      << ReadFile(iRoot + "/phonesim.err");
}

nlohmann::json CliTest::StopPhone() {
  iPhone.Stop();
  return nlohmann::json::parse(ReadFile(iRoot + "/state.json"), nullptr, false);
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

nlohmann::json CliTest::SmallProfile() {
  return nlohmann::json::parse(ReadFile(std::string(KV_SOURCE_DIR) + "/engine/tests/data/small_phone.json"));
}

nlohmann::json CliTest::ShippedProfile(const std::string& aName) {
  return nlohmann::json::parse(ReadFile(std::string(KV_SOURCE_DIR) + "/tools/phonesim/profiles/" + aName + ".json"));
}

std::string LastLine(const std::string& aText) {
  size_t end = aText.find_last_not_of("\r\n");
  if (end == std::string::npos) return {};
  size_t start = aText.find_last_of('\n', end);
  return aText.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}
