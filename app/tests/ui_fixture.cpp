#include "app/tests/ui_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include <kvplatform.h>

#include "kernel/log.h"
#include "kernel/requests.h"

UiTest::UiTest() {
  setenv("KORVANET_DISPLAY", "headless", 1);
  setenv("KORVANET_MESSAGEBOX", "log", 1);
  char pattern[] = "/tmp/kv-ui-XXXXXX";
  iRoot = mkdtemp(pattern);
  kvplatform::SetDeviceRoot(iRoot);
  kvplatform::ReloadRegistry();
  LogCloseFile();
  std::filesystem::create_directories(iRoot + "/My Documents");
  EpocInitGlobals();
  SetLogging(1);
}

UiTest::~UiTest() {
  SetLogging(0);
  EpocReleaseGlobals();
  LogCloseFile();
  kvplatform::SetDeviceRoot("");
  std::filesystem::remove_all(iRoot);
}

std::vector<std::string> UiTest::LogLines() const {
  std::vector<std::string> lines;
  std::ifstream file(iRoot + "/My Documents/KorvanetLog.Txt", std::ios::binary);
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "0x<thread> <ms>: <message>"
    size_t colon = line.find(": ");
    lines.push_back(colon == std::string::npos ? line : line.substr(colon + 2));
  }
  return lines;
}

int UiTest::CountLog(const std::string& aText) const {
  int count = 0;
  for (const std::string& line : LogLines())
    if (line == aText) ++count;
  return count;
}

std::string UiTest::ScreenshotPath(const std::string& aName) {
  std::string folder = std::string(KV_SCREENSHOT_DIR) + "/app";
  std::filesystem::create_directories(folder);
  return folder + "/" + aName + ".png";
}
