// korvanet-cli: the command-line front end. Parses the command line first
// (an unknown command or option never opens the data), then opens the
// program's document and runs the command.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"
#include "tools/cli/interrupt_watcher.h"

using namespace kvcli;

namespace {

const std::vector<TOptionSpec> KGlobalOptions = {{"root", true}, {"port", true}, {"pin-file", true}, {"json", false}};

struct TInvocation {
  TGlobalOptions iGlobals;
  const TCommandSpec* iCommand = nullptr;
  TParsedOptions iOptions;
  std::string iHelpText;  // non-empty: print it and stop
};

// Global options before the command word; the command may repeat them.
TInvocation Parse(const std::vector<std::string>& aArgs) {
  TInvocation invocation;
  size_t i = 0;
  std::vector<std::string> leading;
  while (i < aArgs.size() && aArgs[i].rfind("-", 0) == 0 && aArgs[i] != "-" && aArgs[i] != "--") {
    leading.push_back(aArgs[i]);
    bool takesValue = (aArgs[i] == "--root" || aArgs[i] == "--port" || aArgs[i] == "--pin-file");
    ++i;
    if (takesValue && i < aArgs.size()) leading.push_back(aArgs[i++]);
  }
  TParsedOptions globals = ParseOptions(leading, KGlobalOptions, "korvanet-cli");
  if (i >= aArgs.size()) {
    if (globals.iHelp) {
      invocation.iHelpText = ToolHelp();
      return invocation;
    }
    throw TUsageError("no command given (commands: messages, contacts, send, backup, restore, settings, listen, ports, status, ussd, gateway)");
  }

  // The longest command name that the words spell: "messages list", "send".
  std::string first = aArgs[i];
  std::string second = i + 1 < aArgs.size() ? aArgs[i + 1] : "";
  for (const TCommandSpec& command : Commands()) {
    if (command.iName == first || command.iName == first + " " + second) {
      if (invocation.iCommand == nullptr || command.iName.size() > invocation.iCommand->iName.size())
        invocation.iCommand = &command;
    }
  }
  if (invocation.iCommand == nullptr) {
    bool group = first == "messages" || first == "contacts" || first == "conversations";
    if (group && (second.empty() || second == "--help" || second == "-h")) {
      if (second.empty()) throw TUsageError("'" + first + "' needs a command\n" + GroupHelp(first), first);
      invocation.iHelpText = GroupHelp(first);
      return invocation;
    }
    if (group) {
      std::string choices;
      for (const TCommandSpec& command : Commands())
        if (command.iName.rfind(first + " ", 0) == 0) choices += (choices.empty() ? "" : ", ") + command.iName.substr(first.size() + 1);
      throw TUsageError("unknown " + first + " command '" + second + "' (choose one of: " + choices + ")", first);
    }
    throw TUsageError("unknown command '" + first + "' (commands: messages, contacts, send, backup, restore, settings, listen, ports, status, ussd, gateway)");
  }

  const TCommandSpec& command = *invocation.iCommand;
  size_t words = command.iName.find(' ') == std::string::npos ? 1 : 2;
  std::vector<TOptionSpec> allowed = command.iOptions;
  allowed.insert(allowed.end(), KGlobalOptions.begin(), KGlobalOptions.end());
  std::vector<std::string> rest(aArgs.begin() + static_cast<long>(i + words), aArgs.end());
  invocation.iOptions = ParseOptions(rest, allowed, command.iName);
  if (globals.iHelp || invocation.iOptions.iHelp) {
    invocation.iHelpText = CommandHelp(command);
    return invocation;
  }

  size_t count = invocation.iOptions.iArguments.size();
  if (count < command.iMinArguments)
    throw TUsageError("missing " + command.iSynopsis.substr(0, command.iSynopsis.find(' ')), command.iName);
  if (count > command.iMaxArguments)
    throw TUsageError("unexpected argument '" + invocation.iOptions.iArguments[command.iMaxArguments] + "'",
                      command.iName);

  // Global options given after the command count as well.
  for (const TParsedOptions* options : {&globals, &invocation.iOptions}) {
    if (auto root = options->Value("root")) invocation.iGlobals.iRoot = *root;
    if (auto port = options->Value("port")) invocation.iGlobals.iPort = *port;
    if (auto pinFile = options->Value("pin-file")) invocation.iGlobals.iPinFile = *pinFile;
    if (options->Has("json")) invocation.iGlobals.iJson = true;
  }
  if (invocation.iGlobals.iRoot && invocation.iGlobals.iRoot->empty()) throw TUsageError("--root needs a folder");
  if (invocation.iGlobals.iPort && invocation.iGlobals.iPort->empty()) throw TUsageError("--port needs a device");
  if (invocation.iGlobals.iPinFile && invocation.iGlobals.iPinFile->empty()) throw TUsageError("--pin-file needs a file");
  return invocation;
}

}  // namespace

int main(int argc, char** argv) {
  // No message box of the program ever waits for a click in a terminal.
  setenv("KORVANET_MESSAGEBOX", "log", 1);
  std::vector<std::string> args(argv + 1, argv + argc);
  // Texts are UTF-8 whatever the locale; other bytes would be stored garbled.
  for (size_t i = 0; i < args.size(); ++i) {
    if (!IsUtf8(args[i])) {
      std::fprintf(stderr, "korvanet-cli: argument %zu is not UTF-8 text\nTry 'korvanet-cli --help'.\n", i + 1);
      return KExitUsage;
    }
  }

  TInvocation invocation;
  try {
    invocation = Parse(args);
  } catch (const TUsageError& error) {
    std::string help = error.HelpFor().empty() ? "korvanet-cli --help" : "korvanet-cli " + error.HelpFor() + " --help";
    std::fprintf(stderr, "korvanet-cli: %s\nTry '%s'.\n", Printable(error.what(), true).c_str(), help.c_str());
    return KExitUsage;
  }
  if (!invocation.iHelpText.empty()) {
    std::fputs(invocation.iHelpText.c_str(), stdout);
    return 0;
  }

  // Before any other thread exists, so that every thread leaves SIGINT to the watcher.
  TInterruptWatcher::Start(GetCurrentThreadId());
  int status = 0;
  bool engineLeftRunning = false;
  try {
    TCliSession session(invocation.iGlobals);
    try {
      status = invocation.iCommand->iHandler(session, invocation.iOptions);
    } catch (const TUsageError& error) {
      std::fprintf(stderr, "korvanet-cli: %s\nTry 'korvanet-cli %s --help'.\n", Printable(error.what(), true).c_str(),
                   error.HelpFor().c_str());
      status = KExitUsage;
    } catch (const TCommandError& error) {
      std::fprintf(stderr, "korvanet-cli: %s\n", Printable(error.what(), true).c_str());
      status = KExitFailed;
    }
    engineLeftRunning = session.EngineLeftRunning();
    if (engineLeftRunning) {
      // An engine thread that would not end must not meet the exit handlers.
      std::fflush(stdout);
      std::fflush(stderr);
      _exit(status);
    }
  } catch (const TCommandError& error) {
    std::fprintf(stderr, "korvanet-cli: %s\n", Printable(error.what(), true).c_str());
    status = KExitFailed;
  }
  TInterruptWatcher::Stop();
  return status;
}
