// The command line: global options, the command's words, its options and
// arguments, checked against what each command accepts.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvcli {

// Bad usage: exit status 2, with the message and a pointer to --help.
class TUsageError : public std::runtime_error {
 public:
  TUsageError(const std::string& aMessage, std::string aHelpFor = {})
      : std::runtime_error(aMessage), iHelpFor(std::move(aHelpFor)) {}
  // The command whose --help explains it ("" for the tool).
  const std::string& HelpFor() const { return iHelpFor; }

 private:
  std::string iHelpFor;
};

// A command that could not do its work: exit status 1, one line.
class TCommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TOptionSpec {
  std::string iName;  // without the dashes
  bool iTakesValue;
  bool iRepeatable = false;  // each value kept, in order (Values)
  // The value may be left out ("--name" alone, or followed by another
  // option): then it is "". Given as "--name=VALUE" or the next word.
  bool iValueOptional = false;
};

struct TParsedOptions {
  std::map<std::string, std::string> iValues;  // a flag has the value ""; a repeated option its last
  std::map<std::string, std::vector<std::string>> iRepeated;
  std::vector<std::string> iArguments;
  bool iHelp = false;

  bool Has(const std::string& aName) const { return iValues.count(aName) != 0; }
  std::optional<std::string> Value(const std::string& aName) const;
  // Every value of a repeatable option, in the order given.
  std::vector<std::string> Values(const std::string& aName) const;
};

// Options may come before, between or after the arguments; "--name=value"
// and "--name value" both work, "--" ends the options. aCommand names the
// command in errors.
TParsedOptions ParseOptions(const std::vector<std::string>& aWords, const std::vector<TOptionSpec>& aAllowed,
                            const std::string& aCommand);

// The value, which must be one of aChoices; the error names them all.
std::string Choice(const TParsedOptions& aOptions, const std::string& aName, const std::vector<std::string>& aChoices,
                   const std::string& aDefault, const std::string& aCommand);

// A record identifier: a positive decimal number.
unsigned long ParseIdentifier(const std::string& aWord, const std::string& aCommand);

}  // namespace kvcli
