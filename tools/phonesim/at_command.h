// Splitting a command line ("ATE0+CPMS?", "AT+CMEE=1;+CSCS=\"GSM\"") into
// the single commands it holds, and reading their parameters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

struct AtCommand {
  enum Kind { kExecute, kRead, kTest, kSet };
  std::string name;  // upper case: "+CPBR", "E", "&F", "I", "S0", "D"
  Kind kind = kExecute;
  std::string args;  // after "=" for kSet; the digits of a basic command ("0" of "E0")
};

// False when the line holds no "AT" or a command cannot be read.
bool SplitCommandLine(std::string_view line, std::vector<AtCommand>& commands);

// Comma-separated parameters; commas inside double quotes do not split.
std::vector<std::string> SplitArgs(std::string_view args);
bool ArgInt(const std::string& arg, int& value);          // decimal, surrounding spaces allowed
bool ArgString(const std::string& arg, std::string& out);  // quoted or bare text

// Upper case outside double quotes, without surrounding white space: the
// form in which profile entries ("hang_after", "script") are compared.
std::string NormalizeCommand(std::string_view line);

}  // namespace phonesim
