// The program's log file as tests read it: \My Documents\KorvanetLog.Txt
// under a device root, lines of "0x<thread> <ms>: <message>" ending in CR LF.
#pragma once

#include <string>
#include <vector>

// The log file's bytes ("" when it does not exist).
std::string ReadLogFile(const std::string& aRoot);
bool LogFileExists(const std::string& aRoot);
// The messages of the log's lines, without their prefix and CR LF.
std::vector<std::string> LogMessages(const std::string& aRoot);
// "0x0000abcd 000012: message" -> "message"
std::string LogLineMessage(const std::string& aLine);
// Whether a message of the log holds aText.
bool LogHas(const std::string& aRoot, const std::string& aText);
