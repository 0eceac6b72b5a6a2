#include "app/tests/ui_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include <kvplatform.h>

#include "kernel/log.h"
#include "kernel/requests.h"
#include "testing/log_file.h"

UiTest::UiTest() {
  setenv("KORVANET_DISPLAY", "headless", 1);
  setenv("KORVANET_MESSAGEBOX", "log", 1);
  EpocInitGlobals();
  SetLogging(1);
}

UiTest::~UiTest() {
  SetLogging(0);
  EpocReleaseGlobals();
}

std::vector<std::string> UiTest::LogLines() const { return LogMessages(iRoot); }

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
