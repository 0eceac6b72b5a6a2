#include "store/tests/store_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <kvplatform.h>
#include <windows.h>

#include "kernel/log.h"
#include "store/epoc_database.h"

StoreTest::StoreTest() {
  char pattern[] = "/tmp/kv-store-XXXXXX";
  iRoot = mkdtemp(pattern);
  kvplatform::SetDeviceRoot(iRoot);
  LogCloseFile();
  CreateDirectoryW(u"\\Program Files", nullptr);
  CreateDirectoryW(u"\\Program Files\\Korvanet", nullptr);
  CreateDirectoryW(u"\\Program Files\\Korvanet\\Data", nullptr);
  SetLogging(1);
}

StoreTest::~StoreTest() {
  SetLogging(0);
  LogCloseFile();
  kvplatform::SetDeviceRoot("");
  std::filesystem::remove_all(iRoot);
}

std::vector<std::string> StoreTest::Messages() const {
  std::string host;
  kvplatform::DevicePathToHost(KLogFilePath, host);
  std::string log = ReadFileBytes(host);
  std::vector<std::string> messages;
  size_t start = 0;
  for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::string line = log.substr(start, end - start);
    size_t colon = line.find(": ");
    messages.push_back(colon == std::string::npos ? line : line.substr(colon + 2));
  }
  return messages;
}

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

std::string ReadFileBytes(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
