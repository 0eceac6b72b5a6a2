// scripts/run once, as on a machine without a display: it builds nothing
// (the test's own build is handed over), starts the demo phone, downloads
// and lists, and leaves no phonesim behind.
#include <dirent.h>
#include <stdlib.h>

#include <filesystem>

#include "testing/child_process.h"
#include "tools/cli/tests/cli_fixture.h"

namespace {

// Processes whose command line mentions aText.
int ProcessesMentioning(const std::string& aText) {
  int count = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  while (dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    std::string cmdline = ReadFile(std::string("/proc/") + entry->d_name + "/cmdline");
    count += cmdline.find(aText) != std::string::npos;
  }
  closedir(proc);
  return count;
}

}  // namespace

TEST_F(CliTest, RunScriptDownloadsAndListsTheDemoPhone) {
  std::string tmp = iRoot + "/tmp";
  std::filesystem::create_directories(tmp);
  TChildOptions options;
  options.iTimeoutMs = 300000;
  options.iEnvironment = {{"KORVANET_BUILD_DIR", KV_BUILD_DIR},
                          {"TMPDIR", tmp},
                          {"XDG_DATA_HOME", iRoot + "/data"},
                          {"DISPLAY", std::nullopt},
                          {"WAYLAND_DISPLAY", std::nullopt},
                          {"KORVANET_COM3", std::nullopt},
                          {"KORVANET_ROOT", std::nullopt}};
  TChildResult run = RunChild({"/bin/bash", std::string(KV_SOURCE_DIR) + "/scripts/run"}, options);
  ASSERT_EQ(run.iStatus, 0) << run.iOut << run.iErr;
  EXPECT_NE(run.iErr.find("Read all contacts."), std::string::npos) << run.iErr;
  EXPECT_NE(run.iErr.find("Transfer Complete."), std::string::npos) << run.iErr;
  // The demo's contacts and messages are listed.
  EXPECT_NE(run.iOut.find("Anna Schmidt"), std::string::npos) << run.iOut;
  EXPECT_NE(run.iOut.find("Keys are under the blue flower pot"), std::string::npos) << run.iOut;
  // Its own device root, not the user's.
  EXPECT_TRUE(std::filesystem::exists(iRoot + "/data/korvanet-demo/Program Files/Korvanet/Data"));
  EXPECT_FALSE(std::filesystem::exists(iRoot + "/data/korvanet"));
  EXPECT_EQ(ProcessesMentioning(tmp), 0) << "phonesim is stopped";
}
