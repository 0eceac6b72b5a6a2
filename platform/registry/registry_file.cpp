#include "registry_file.h"

#include <cstdio>
#include <sstream>

#include <kvplatform.h>
#include <winreg.h>

namespace kvplatform {
namespace {

constexpr const char* kHeader = "Korvanet registry 1";

std::string Quote(const std::u16string& text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (u < 0x20 || u == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Reads a quoted text at line[pos]; pos ends after the closing quote.
bool Unquote(const std::string& line, size_t& pos, std::u16string& text) {
  if (pos >= line.size() || line[pos] != '"') return false;
  std::string raw;
  for (++pos; pos < line.size(); ++pos) {
    char c = line[pos];
    if (c == '"') {
      ++pos;
      text = FromUtf8(raw);
      return true;
    }
    if (c != '\\') {
      raw += c;
      continue;
    }
    if (++pos >= line.size()) return false;
    switch (line[pos]) {
      case 'n': raw += '\n'; break;
      case 'r': raw += '\r'; break;
      case '"': raw += '"'; break;
      case '\\': raw += '\\'; break;
      case 'x': {
        if (pos + 2 >= line.size()) return false;
        unsigned value;
        if (std::sscanf(line.substr(pos + 1, 2).c_str(), "%2x", &value) != 1) return false;
        raw += static_cast<char>(value);
        pos += 2;
        break;
      }
      default: return false;
    }
  }
  return false;
}

std::u16string TextOfSz(const std::vector<BYTE>& data) {
  std::u16string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  return text;
}

std::vector<BYTE> SzOfText(const std::u16string& text) {
  std::vector<BYTE> data;
  for (char16_t c : text) {
    data.push_back(static_cast<BYTE>(c & 0xFF));
    data.push_back(static_cast<BYTE>(c >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

// A text value is written quoted only when reading it back gives the same
// bytes: one terminator at the end, no NUL inside, whole UTF-16.
bool SurvivesAsText(const std::vector<BYTE>& data) {
  std::u16string text = TextOfSz(data);
  return SzOfText(text) == data && FromUtf8(ToUtf8(text)) == text;
}

bool ParseHexBytes(const std::string& text, std::vector<BYTE>& data) {
  std::istringstream in(text);
  std::string pair;
  while (std::getline(in, pair, ',')) {
    if (pair.size() != 2 || !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
        !std::isxdigit(static_cast<unsigned char>(pair[1])))
      return false;
    data.push_back(static_cast<BYTE>(std::stoul(pair, nullptr, 16)));
  }
  return true;
}

bool ParseValue(const std::string& line, RegistryValue& value) {
  size_t pos = 0;
  if (!Unquote(line, pos, value.name) || pos >= line.size() || line[pos] != '=') return false;
  std::string rest = line.substr(pos + 1);
  if (!rest.empty() && rest[0] == '"') {
    size_t p = 0;
    std::u16string text;
    if (!Unquote(rest, p, text) || p != rest.size()) return false;
    value.type = REG_SZ;
    value.data = SzOfText(text);
    return true;
  }
  if (rest.rfind("dword:", 0) == 0) {
    std::string digits = rest.substr(6);
    if (digits.size() != 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    uint32_t number = static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
    value.type = REG_DWORD;
    value.data = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8), static_cast<BYTE>(number >> 16),
                  static_cast<BYTE>(number >> 24)};
    return true;
  }
  unsigned type;
  int used = 0;
  if (std::sscanf(rest.c_str(), "hex(%u):%n", &type, &used) == 1 && used > 0) {
    value.type = type;
    return ParseHexBytes(rest.substr(static_cast<size_t>(used)), value.data);
  }
  return false;
}

}  // namespace

std::string SerializeRegistry(const std::map<std::u16string, RegistryKey>& keys) {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [folded, key] : keys) {
    out.append("\n[").append(ToUtf8(key.path)).append("]\n");
    for (const auto& [name, value] : key.values) {
      out += Quote(value.name) + "=";
      if (value.type == REG_SZ && SurvivesAsText(value.data)) {
        out += Quote(TextOfSz(value.data));
      } else if (value.type == REG_DWORD && value.data.size() == 4) {
        char hex[16];
        uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                          (static_cast<uint32_t>(value.data[3]) << 24);
        std::snprintf(hex, sizeof hex, "dword:%08x", number);
        out += hex;
      } else {
        out += "hex(" + std::to_string(value.type) + "):";
        for (size_t i = 0; i < value.data.size(); ++i) {
          char hex[4];
          std::snprintf(hex, sizeof hex, "%02x", value.data[i]);
          out += (i ? "," : "") + std::string(hex);
        }
      }
      out += "\n";
    }
  }
  return out;
}

bool ParseRegistry(const std::string& text, std::map<std::u16string, RegistryKey>& keys, std::string& error) {
  // Text that is not UTF-8 would change on the next save: refuse the file.
  if (ToUtf8(FromUtf8(text)) != text) {
    error = "not valid UTF-8 text";
    return false;
  }
  std::istringstream in(text);
  std::string line;
  int number = 0;
  RegistryKey* current = nullptr;
  bool headerSeen = false;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!headerSeen) {
      if (line != kHeader) {
        error = "line 1: not a Korvanet registry file";
        return false;
      }
      headerSeen = true;
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3) {
        error = "line " + std::to_string(number) + ": malformed key";
        return false;
      }
      std::u16string path = FromUtf8(line.substr(1, line.size() - 2));
      current = &keys[FoldRegistryName(path)];
      current->path = path;
      continue;
    }
    RegistryValue value;
    if (current == nullptr || !ParseValue(line, value)) {
      error = "line " + std::to_string(number) + ": malformed value";
      return false;
    }
    current->values[FoldRegistryName(value.name)] = value;
  }
  if (!headerSeen && !text.empty()) {
    error = "not a Korvanet registry file";
    return false;
  }
  if (!text.empty() && text.back() != '\n') {
    error = "the file ends in the middle of a line";
    return false;
  }
  return true;
}

}  // namespace kvplatform
