#include "store/tests/store_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <kvplatform.h>
#include <windows.h>

#include "kernel/log.h"
#include "store/epoc_database.h"
#include "testing/log_file.h"

StoreTest::StoreTest() { SetLogging(1); }

StoreTest::~StoreTest() { SetLogging(0); }

std::vector<std::string> StoreTest::Messages() const { return LogMessages(iRoot); }

int StoreTest::CountMessages(const std::string& aPrefix) const {
  int count = 0;
  for (const std::string& message : Messages())
    if (message.compare(0, aPrefix.size(), aPrefix) == 0) ++count;
  return count;
}

std::string StoreTest::VolumeHostPath() const {
  std::string host;
  kvplatform::DevicePathToHost(KDatabaseVolume, host);
  return host;
}

std::u16string ToU16(const TDesc16& aText) { return std::u16string(aText.Ptr(), aText.Length()); }

