#include "testing/log_file.h"

#include <filesystem>

#include "testing/files.h"

namespace {

std::string LogPath(const std::string& aRoot) { return aRoot + "/My Documents/KorvanetLog.Txt"; }

}  // namespace

std::string ReadLogFile(const std::string& aRoot) { return ReadFile(LogPath(aRoot)); }

bool LogFileExists(const std::string& aRoot) { return std::filesystem::exists(LogPath(aRoot)); }

std::string LogLineMessage(const std::string& aLine) {
  size_t colon = aLine.find(": ");
  return colon == std::string::npos ? aLine : aLine.substr(colon + 2);
}

std::vector<std::string> LogMessages(const std::string& aRoot) {
  // Lines end in CR LF; a bare LF inside a message belongs to it.
  std::string log = ReadLogFile(aRoot);
  std::vector<std::string> messages;
  size_t start = 0;
  for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2)
    messages.push_back(LogLineMessage(log.substr(start, end - start)));
  return messages;
}

bool LogHas(const std::string& aRoot, const std::string& aText) {
  for (const std::string& message : LogMessages(aRoot))
    if (message.find(aText) != std::string::npos) return true;
  return false;
}
