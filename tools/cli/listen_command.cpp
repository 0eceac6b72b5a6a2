// 'listen': the port stays open and every message the phone receives is
// stored in the Inbox at once, printed, and handed to the user's command.
#include <signal.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "exchange/message_json.h"
#include "kernel/errors.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"
#include "tools/cli/interrupt_watcher.h"
#include "tools/cli/message_command_runner.h"

namespace kvcli {
namespace {

const int KDefaultTimeLimitSeconds = 60;
const int KMaxTimeLimitSeconds = 24 * 60 * 60;

int TimeLimit(const TParsedOptions& aOptions) {
  std::optional<std::string> value = aOptions.Value("exec-timeout");
  if (!value) return KDefaultTimeLimitSeconds;
  size_t used = 0;
  int seconds = 0;
  try {
    seconds = std::stoi(*value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != value->size() || seconds < 1 || seconds > KMaxTimeLimitSeconds)
    throw TUsageError("--exec-timeout needs a number of seconds from 1 to " + std::to_string(KMaxTimeLimitSeconds),
                      "listen");
  return seconds;
}

TStoredMessage Describe(CKveMessagesItem& aMessage) {
  TStoredMessage message;
  message.iId = aMessage.Oid();
  message.iNumber = Utf8(aMessage.Number());
  message.iName = Utf8(aMessage.Name());
  message.iText = WithLf(Utf8(aMessage.Text()));
  message.iDate = IsoUtc(aMessage.DateSentTime());
  // The one form of a message in JSON, as 'messages list --json' prints it.
  message.iJson = TerminalJson(kvexchange::JsonText(kvexchange::MessageJson(aMessage)));
  return message;
}

void Print(const TStoredMessage& aMessage, bool aJson) {
  if (aJson) {
    std::printf("%s\n", aMessage.iJson.c_str());
  } else {
    std::string text = aMessage.iText;
    for (char& c : text)
      if (c == '\n') c = ' ';
    std::string from = Printable(aMessage.iName.empty() ? aMessage.iNumber : aMessage.iName);
    std::printf("%lu  %s  %s  %s\n", aMessage.iId, aMessage.iDate.c_str(), from.c_str(), Printable(text).c_str());
  }
  std::fflush(stdout);
}

}  // namespace

int Listen(TCliSession& aSession, const TParsedOptions& aOptions) {
  std::optional<std::string> command = aOptions.Value("exec");
  if (command && command->empty()) throw TUsageError("--exec needs a command", "listen");
  const int timeLimit = TimeLimit(aOptions);
  const bool deleteAfterStore = aOptions.Has("delete-after-store");
  CKveMessagesDatabase& store = aSession.Messages();
  // A command that does not read its input must not end the listener.
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<TMessageCommandRunner> runner;
  // Under --json our standard output is one message a line: the command's
  // own output goes to standard error.
  if (command) runner = std::make_unique<TMessageCommandRunner>(*command, timeLimit, aSession.Json());
  auto stored = [&](CEOID aOid) {
    std::unique_ptr<CKveMessagesItem> message(static_cast<CKveMessagesItem*>(store.ReadItemL(aOid)));
    if (!message) return;
    TStoredMessage description = Describe(*message);
    Print(description, aSession.Json());
    if (runner) runner->Push(description);
  };
  TActionOutcome outcome = aSession.RunAction(
      "Listening", [deleteAfterStore](CKvAppEngine& aEngine) { return aEngine.Listen(deleteAfterStore); }, stored);
  // Stopped on Ctrl-C or SIGTERM (a service manager waits for us), the
  // commands not started yet are not run: their messages stay stored. When
  // listening ends otherwise, the messages stored so far still get theirs.
  if (runner) {
    if (outcome.iInterrupted)
      runner->Abandon();
    else
      runner->Finish();
  }
  // Ending on Ctrl-C or SIGTERM is how listening ends.
  if (outcome.iInterrupted) return 0;
  return ActionExitStatus(outcome);
}

}  // namespace kvcli
