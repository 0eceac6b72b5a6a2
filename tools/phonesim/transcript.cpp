#include "transcript.h"

#include <cstdio>

namespace phonesim {

bool Transcript::Open(const std::string& path, std::string& error) {
  iOut.open(path, std::ios::binary | std::ios::trunc);
  if (!iOut) {
    error = path + ": cannot be written";
    return false;
  }
  iStart = std::chrono::steady_clock::now();
  return true;
}

void Transcript::Record(const char* direction, std::string_view bytes) {
  if (!iOut.is_open() || bytes.empty()) return;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - iStart);
  iOut << "{\"ms\":" << ms.count() << ",\"dir\":\"" << direction << "\",\"bytes\":\"" << EscapeBytes(bytes)
       << "\"}\n";
  iOut.flush();  // a killed simulator still leaves what it saw
}

std::string EscapeBytes(std::string_view bytes) {
  std::string out;
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\u%04x", c);
          out += hex;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out;
}

}  // namespace phonesim
