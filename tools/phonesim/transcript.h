// A record of the line: one JSON object per line of the file, for every
// block received ("in", towards the phone) and every piece written ("out").
#pragma once

#include <chrono>
#include <fstream>
#include <string>
#include <string_view>

namespace phonesim {

class Transcript {
 public:
  bool Open(const std::string& path, std::string& error);
  bool IsOpen() const { return iOut.is_open(); }
  void Record(const char* direction, std::string_view bytes);

 private:
  std::ofstream iOut;
  std::chrono::steady_clock::time_point iStart = std::chrono::steady_clock::now();
};

// The bytes as a JSON string body: printable ASCII as is, everything else
// escaped (bytes above 0x7F as \u00XX, so any byte sequence survives).
std::string EscapeBytes(std::string_view bytes);

}  // namespace phonesim
