#include "at_command.h"

#include <cctype>

namespace phonesim {
namespace {

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

}  // namespace

bool SplitCommandLine(std::string_view line, std::vector<AtCommand>& commands) {
  commands.clear();
  size_t start = std::string_view::npos;
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    if (Upper(line[i]) == 'A' && Upper(line[i + 1]) == 'T') {
      start = i + 2;
      break;
    }
  }
  if (start == std::string_view::npos) return false;
  size_t p = start;
  auto skipSpaces = [&] {
    while (p < line.size() && line[p] == ' ') ++p;
  };
  while (true) {
    skipSpaces();
    if (p >= line.size()) break;
    AtCommand cmd;
    char c = line[p];
    if (c == '+' || c == '*' || c == '^' || c == '$' || c == '%' || c == '#') {
      cmd.name.push_back(c);
      ++p;
      while (p < line.size() && IsNameChar(line[p])) cmd.name.push_back(Upper(line[p++]));
      if (cmd.name.size() < 2) return false;
      if (line.substr(p, 2) == "=?") {
        cmd.kind = AtCommand::kTest;
        p += 2;
      } else if (p < line.size() && line[p] == '?') {
        cmd.kind = AtCommand::kRead;
        ++p;
      } else if (p < line.size() && line[p] == '=') {
        cmd.kind = AtCommand::kSet;
        ++p;
        bool quoted = false;
        while (p < line.size() && (quoted || line[p] != ';')) {
          if (line[p] == '"') quoted = !quoted;
          cmd.args.push_back(line[p++]);
        }
      }
      skipSpaces();
      if (p < line.size() && line[p] == ';') ++p;
    } else if (c == ';') {
      ++p;
      continue;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '&') {
      if (c == '&') {
        if (p + 1 >= line.size() || !std::isalpha(static_cast<unsigned char>(line[p + 1]))) return false;
        cmd.name = std::string("&") + Upper(line[p + 1]);
        p += 2;
      } else if (Upper(c) == 'D') {  // dialling takes the rest of the line
        cmd.name = "D";
        cmd.args = std::string(line.substr(p + 1));
        p = line.size();
        commands.push_back(cmd);
        break;
      } else {
        cmd.name = std::string(1, Upper(c));
        ++p;
      }
      if (cmd.name == "S") {
        while (p < line.size() && std::isdigit(static_cast<unsigned char>(line[p]))) cmd.name.push_back(line[p++]);
        if (line.substr(p, 2) == "=?") {
          cmd.kind = AtCommand::kTest;
          p += 2;
        } else if (p < line.size() && line[p] == '?') {
          cmd.kind = AtCommand::kRead;
          ++p;
        } else if (p < line.size() && line[p] == '=') {
          cmd.kind = AtCommand::kSet;
          ++p;
          while (p < line.size() && std::isdigit(static_cast<unsigned char>(line[p]))) cmd.args.push_back(line[p++]);
        }
      } else {
        while (p < line.size() && std::isdigit(static_cast<unsigned char>(line[p]))) cmd.args.push_back(line[p++]);
      }
    } else {
      return false;
    }
    commands.push_back(cmd);
  }
  return true;
}

std::vector<std::string> SplitArgs(std::string_view args) {
  std::vector<std::string> out;
  std::string current;
  bool quoted = false;
  for (char c : args) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      out.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  out.push_back(current);
  return out;
}

bool ArgInt(const std::string& arg, int& value) {
  std::string t = Trim(arg);
  if (t.empty() || t.size() > 9) return false;
  int v = 0;
  for (char c : t) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

bool ArgString(const std::string& arg, std::string& out) {
  std::string t = Trim(arg);
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') {
    // A backslash and two hexadecimal digits stand for that byte (V.250
    // string constants): how a quote or a control byte travels inside.
    out.clear();
    for (size_t i = 1; i + 1 < t.size(); ++i) {
      if (t[i] == '\\') {
        if (i + 3 > t.size() - 1 || !std::isxdigit(static_cast<unsigned char>(t[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(t[i + 2])))
          return false;
        out.push_back(static_cast<char>(std::stoi(t.substr(i + 1, 2), nullptr, 16)));
        i += 2;
      } else {
        out.push_back(t[i]);
      }
    }
    return true;
  }
  if (t.find('"') != std::string::npos) return false;
  out = t;
  return true;
}

std::string NormalizeCommand(std::string_view line) {
  std::string out;
  bool quoted = false;
  for (char c : Trim(line)) {
    if (c == '"') quoted = !quoted;
    out.push_back(quoted ? c : Upper(c));
  }
  return out;
}

}  // namespace phonesim
