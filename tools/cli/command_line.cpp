#include "tools/cli/command_line.h"

#include <cerrno>
#include <cstdlib>

namespace kvcli {

std::optional<std::string> TParsedOptions::Value(const std::string& aName) const {
  auto it = iValues.find(aName);
  if (it == iValues.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> TParsedOptions::Values(const std::string& aName) const {
  auto it = iRepeated.find(aName);
  return it == iRepeated.end() ? std::vector<std::string>{} : it->second;
}

namespace {

const TOptionSpec* FindSpec(const std::vector<TOptionSpec>& aAllowed, const std::string& aName) {
  for (const TOptionSpec& spec : aAllowed)
    if (spec.iName == aName) return &spec;
  return nullptr;
}

std::string OptionList(const std::vector<TOptionSpec>& aAllowed) {
  std::string list;
  for (const TOptionSpec& spec : aAllowed) list += (list.empty() ? "--" : ", --") + spec.iName;
  return list.empty() ? "none" : list;
}

}  // namespace

TParsedOptions ParseOptions(const std::vector<std::string>& aWords, const std::vector<TOptionSpec>& aAllowed,
                            const std::string& aCommand) {
  TParsedOptions parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < aWords.size(); ++i) {
    const std::string& word = aWords[i];
    if (optionsEnded || word.size() < 2 || word.compare(0, 2, "--") != 0) {
      // A single dash or a negative-looking word is an argument, not an option.
      if (!optionsEnded && word.size() > 1 && word[0] == '-' && word[1] != '-' && word != "-h")
        throw TUsageError("unknown option '" + word + "' (options of " + aCommand + ": " + OptionList(aAllowed) + ")",
                          aCommand);
      if (word == "-h" && !optionsEnded) {
        parsed.iHelp = true;
        continue;
      }
      parsed.iArguments.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = word.substr(2);
    std::optional<std::string> inlineValue;
    if (size_t equals = name.find('='); equals != std::string::npos) {
      inlineValue = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "help") {
      parsed.iHelp = true;
      continue;
    }
    const TOptionSpec* spec = FindSpec(aAllowed, name);
    if (spec == nullptr)
      throw TUsageError("unknown option '--" + name + "' (options of " + aCommand + ": " + OptionList(aAllowed) + ")",
                        aCommand);
    if (parsed.Has(name) && !spec->iRepeatable) throw TUsageError("option '--" + name + "' given twice", aCommand);
    if (!spec->iTakesValue) {
      if (inlineValue) throw TUsageError("option '--" + name + "' takes no value", aCommand);
      parsed.iValues[name] = "";
    } else if (inlineValue) {
      parsed.iValues[name] = *inlineValue;
    } else if (spec->iValueOptional) {
      const bool next = i + 1 < aWords.size() && !aWords[i + 1].empty() && aWords[i + 1][0] != '-';
      parsed.iValues[name] = next ? aWords[++i] : "";
    } else {
      if (i + 1 >= aWords.size()) throw TUsageError("option '--" + name + "' needs a value", aCommand);
      parsed.iValues[name] = aWords[++i];
    }
    if (spec->iRepeatable) parsed.iRepeated[name].push_back(parsed.iValues[name]);
  }
  return parsed;
}

std::string Choice(const TParsedOptions& aOptions, const std::string& aName, const std::vector<std::string>& aChoices,
                   const std::string& aDefault, const std::string& aCommand) {
  std::optional<std::string> value = aOptions.Value(aName);
  if (!value) return aDefault;
  for (const std::string& choice : aChoices)
    if (*value == choice) return choice;
  std::string list;
  for (const std::string& choice : aChoices) list += (list.empty() ? "" : ", ") + choice;
  throw TUsageError("--" + aName + " must be one of: " + list + " (not '" + *value + "')", aCommand);
}

unsigned long ParseIdentifier(const std::string& aWord, const std::string& aCommand) {
  bool digits = !aWord.empty() && aWord.size() <= 10;
  for (char c : aWord) digits = digits && c >= '0' && c <= '9';
  unsigned long long value = digits ? std::strtoull(aWord.c_str(), nullptr, 10) : 0;
  if (!digits || value == 0 || value > 0xFFFFFFFFull)
    throw TUsageError("'" + aWord + "' is not an identifier (a positive number, as the lists show)", aCommand);
  return static_cast<unsigned long>(value);
}

}  // namespace kvcli
