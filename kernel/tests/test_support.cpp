#include "kernel/tests/test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <kvplatform.h>

#include "kernel/log.h"

TTempRoot::TTempRoot() {
  char pattern[] = "/tmp/kvkernel-XXXXXX";
  iPath = mkdtemp(pattern);
  kvplatform::SetDeviceRoot(iPath);
  LogCloseFile();  // a line must not go to the previous root's file
}

TTempRoot::~TTempRoot() {
  LogCloseFile();
  std::error_code ignored;
  std::filesystem::remove_all(iPath, ignored);
}

static std::string LogFilePath(const TTempRoot& aRoot) {
  std::string host;
  kvplatform::DevicePathToHost(KLogFilePath, host);
  (void)aRoot;
  return host;
}

std::string ReadLogFile(const TTempRoot& aRoot) {
  std::ifstream in(LogFilePath(aRoot), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool LogFileExists(const TTempRoot& aRoot) { return std::filesystem::exists(LogFilePath(aRoot)); }

// "0x0000abcd 000012: message" -> "message"
std::string LogLineMessage(const std::string& aLine) {
  size_t colon = aLine.find(": ");
  return colon == std::string::npos ? aLine : aLine.substr(colon + 2);
}
