// A test with its own device root and logging switched on, that can read back
// the messages it logged.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/log.h"
#include "testing/log_file.h"
#include "testing/program_root.h"

class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLogging(1); }
  void TearDown() override { SetLogging(0); }

  // The message part of every line logged so far.
  std::vector<std::string> Messages() const { return LogMessages(iRoot.Path()); }
  int Count(const std::string& aMessage) const {
    int count = 0;
    for (const std::string& message : Messages()) count += message == aMessage;
    return count;
  }
  bool Logged(const std::string& aMessage) const { return Count(aMessage) > 0; }

  TProgramRoot iRoot{"kvkernel"};
};
