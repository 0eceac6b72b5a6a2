// Shared by the kernel tests: a temporary device root and the log file's bytes.
#pragma once

#include <string>

// A fresh device root under the system's temporary folder, removed afterwards.
class TTempRoot {
 public:
  TTempRoot();
  ~TTempRoot();
  const std::string& Path() const { return iPath; }

 private:
  std::string iPath;
};

// The log file's bytes ("" when it does not exist).
std::string ReadLogFile(const TTempRoot& aRoot);
bool LogFileExists(const TTempRoot& aRoot);
// Lines of the log, each without its CR LF.
std::string LogLineMessage(const std::string& aLine);
