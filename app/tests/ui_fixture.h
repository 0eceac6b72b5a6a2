// The screen tests of the program: the headless back end, a temporary
// device root with the diagnostic log on, and the globals of the window
// framework for the test's thread.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "testing/program_root.h"

class UiTest : public ::testing::Test {
 protected:
  UiTest();
  ~UiTest() override;

  std::vector<std::string> LogLines() const;
  int CountLog(const std::string& aText) const;
  // Where screenshots go: <build>/screenshots/app/<name>.png.
  static std::string ScreenshotPath(const std::string& aName);

  TProgramRoot iDevice{"kv-ui", {"My Documents"}};
  const std::string iRoot = iDevice.Path();
};
