// A test with its own device root holding the program's data folder, logging
// on, and the log's messages to look at.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/descriptors.h"

class StoreTest : public ::testing::Test {
 protected:
  StoreTest();
  ~StoreTest() override;

  // The message part of every log line so far.
  std::vector<std::string> Messages() const;
  int CountMessages(const std::string& aPrefix) const;
  std::string VolumeHostPath() const;
  const std::string& Root() const { return iRoot; }

 private:
  std::string iRoot;
};

std::u16string ToU16(const TDesc16& aText);
std::string ReadFileBytes(const std::string& aPath);
