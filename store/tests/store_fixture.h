// A test with its own device root holding the program's data folder, logging
// on, and the log's messages to look at.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "kernel/descriptors.h"
#include "testing/files.h"
#include "testing/program_root.h"

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
  TProgramRoot iDevice{"kv-store", {"Program Files/Korvanet/Data"}};
  const std::string iRoot = iDevice.Path();
};

std::u16string ToU16(const TDesc16& aText);

class CEpocDatabase;
class CKveMessagesItem;
// A new message record of aDb's with these details, not yet written.
std::unique_ptr<CKveMessagesItem> NewMessage(CEpocDatabase& aDb, const std::u16string& aName,
                                             const std::u16string& aNumber, const std::u16string& aText, DWORD aFolder);

// A moment in UTC as a file time.
FILETIME FileTime(int aYear, int aMonth, int aDay, int aHour, int aMinute, int aSecond = 0);
