// The commands of korvanet-cli: each takes the session and its parsed
// options and returns the exit status (0 done, 1 failed, 130 interrupted).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "tools/cli/cli_session.h"
#include "tools/cli/command_line.h"

namespace kvcli {

inline constexpr int KExitFailed = 1;
inline constexpr int KExitUsage = 2;

using TCommandHandler = int (*)(TCliSession&, const TParsedOptions&);

struct TCommandSpec {
  std::string iName;          // "messages list", "send", ...
  std::string iSynopsis;      // the usage line after the name
  std::string iSummary;       // one line for the tool's help
  std::string iDetails;       // the rest of the command's help
  std::vector<TOptionSpec> iOptions;
  size_t iMinArguments;
  size_t iMaxArguments;       // SIZE_MAX: any number
  TCommandHandler iHandler;
};

const std::vector<TCommandSpec>& Commands();
std::string ToolHelp();
std::string CommandHelp(const TCommandSpec& aCommand);
// The help of a command group ("messages", "contacts").
std::string GroupHelp(const std::string& aGroup);

// Exit status of an engine action's outcome.
int ActionExitStatus(const TActionOutcome& aOutcome);
// The outcome as JSON ({"result", "text"}) under --json; its exit status.
int PrintActionResult(TCliSession& aSession, const TActionOutcome& aOutcome);
// One JSON value, indented, on standard output.
void PrintJson(const nlohmann::json& aValue);
// Asks on the terminal before something that cannot be undone; --yes skips it.
// aDeclined is printed when the answer is no.
bool Confirmed(const TParsedOptions& aOptions, const std::string& aQuestion,
               const std::string& aDeclined = "Nothing deleted", const std::string& aWarning = "This cannot be undone.");

int MessagesDownload(TCliSession& aSession, const TParsedOptions& aOptions);
int MessagesDeleteOnPhone(TCliSession& aSession, const TParsedOptions& aOptions);
int MessagesList(TCliSession& aSession, const TParsedOptions& aOptions);
int MessagesShow(TCliSession& aSession, const TParsedOptions& aOptions);
int MessagesNew(TCliSession& aSession, const TParsedOptions& aOptions);
int MessagesSend(TCliSession& aSession, const TParsedOptions& aOptions);
int MessagesDelete(TCliSession& aSession, const TParsedOptions& aOptions);
int SendNew(TCliSession& aSession, const TParsedOptions& aOptions);
int MessagesSearch(TCliSession& aSession, const TParsedOptions& aOptions);
int ConversationsList(TCliSession& aSession, const TParsedOptions& aOptions);
int ConversationsShow(TCliSession& aSession, const TParsedOptions& aOptions);

int ContactsDownload(TCliSession& aSession, const TParsedOptions& aOptions);
int ContactsUpload(TCliSession& aSession, const TParsedOptions& aOptions);
int ContactsDeleteOnPhone(TCliSession& aSession, const TParsedOptions& aOptions);
int ContactsList(TCliSession& aSession, const TParsedOptions& aOptions);
int ContactsAdd(TCliSession& aSession, const TParsedOptions& aOptions);
int ContactsEdit(TCliSession& aSession, const TParsedOptions& aOptions);
int ContactsDelete(TCliSession& aSession, const TParsedOptions& aOptions);

int ContactsExport(TCliSession& aSession, const TParsedOptions& aOptions);
int ContactsImport(TCliSession& aSession, const TParsedOptions& aOptions);
int MessagesExport(TCliSession& aSession, const TParsedOptions& aOptions);
int MessagesImport(TCliSession& aSession, const TParsedOptions& aOptions);
int Backup(TCliSession& aSession, const TParsedOptions& aOptions);
int Restore(TCliSession& aSession, const TParsedOptions& aOptions);

int Settings(TCliSession& aSession, const TParsedOptions& aOptions);

int Listen(TCliSession& aSession, const TParsedOptions& aOptions);
int Gateway(TCliSession& aSession, const TParsedOptions& aOptions);

int Ports(TCliSession& aSession, const TParsedOptions& aOptions);
int Status(TCliSession& aSession, const TParsedOptions& aOptions);
// The port of the modem that answers with this IMEI: its stable name when it
// has one. A TCommandError when none does.
std::string PortWithImei(const std::string& aImei);
int Ussd(TCliSession& aSession, const TParsedOptions& aOptions);

}  // namespace kvcli
