// A test with its own device root and logging switched on, that can read back
// the messages it logged.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/log.h"
#include "kernel/tests/test_support.h"

class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLogging(1); }
  void TearDown() override { SetLogging(0); }

  // The message part of every line logged so far.
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    std::string log = ReadLogFile(iRoot);
    size_t start = 0;
    for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2)
      messages.push_back(LogLineMessage(log.substr(start, end - start)));
    return messages;
  }
  bool Logged(const std::string& aMessage) const {
    for (const std::string& message : Messages())
      if (message == aMessage) return true;
    return false;
  }

  TTempRoot iRoot;
};
