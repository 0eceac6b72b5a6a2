// The screen tests of the program: the headless back end, a temporary
// device root with the diagnostic log on, and the globals of the window
// framework for the test's thread.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

class UiTest : public ::testing::Test {
 protected:
  UiTest();
  ~UiTest() override;

  std::vector<std::string> LogLines() const;
  int CountLog(const std::string& aText) const;
  // Where screenshots go: <build>/screenshots/app/<name>.png.
  static std::string ScreenshotPath(const std::string& aName);

  std::string iRoot;
};
