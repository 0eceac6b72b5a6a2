// 'ussd': a USSD code and the network's replies; menus answered from
// --reply in order, else asked on a terminal.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "kernel/errors.h"
#include "phone/ussd.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"

namespace kvcli {
namespace {

// An answer typed on the terminal longer than this is refused, not cut.
const size_t KMaxTypedAnswer = 256;

bool IsUssdText(const std::string& aText) {
  std::u16string wide = Utf16(aText);
  return IsUssdString(TConstPtr16(wide.data(), static_cast<int>(wide.size())));
}

void CheckUssdText(const std::string& aText, const char* aWhat) {
  if (!IsUssdText(aText))
    throw TUsageError(std::string(aWhat) + " '" + Printable(aText) + "' is not a USSD string: 1 to " +
                          std::to_string(KUssdCodeLength) + " digits, * and #",
                      "ussd");
}

void PrintReply(const std::string& aText) {
  std::printf("%s\n", Printable(WithLf(aText), true).c_str());
  std::fflush(stdout);
}

}  // namespace

int Ussd(TCliSession& aSession, const TParsedOptions& aOptions) {
  const std::string code = aOptions.iArguments[0];
  CheckUssdText(code, "the code");
  std::vector<std::string> replies = aOptions.Values("reply");
  for (const std::string& reply : replies) CheckUssdText(reply, "--reply");
  const bool json = aSession.Json();
  const bool terminal = isatty(STDIN_FILENO) != 0 && isatty(STDERR_FILENO) != 0;
  nlohmann::json shown = nlohmann::json::array();
  size_t nextReply = 0;
  bool unanswered = false;

  auto onMenu = [&](const std::string& aMenu, std::string& aAnswer) {
    shown.push_back({{"menu", true}, {"text", WithLf(aMenu)}});
    if (!json) PrintReply(aMenu);
    if (nextReply < replies.size()) {
      aAnswer = replies[nextReply++];
      return true;
    }
    if (!terminal) {
      unanswered = true;
      return false;
    }
    std::fprintf(stderr, "Answer (empty to end): ");
    std::fflush(stderr);
    std::string typed;
    if (!std::getline(std::cin, typed) || typed.empty()) return false;
    if (typed.size() > KMaxTypedAnswer || !IsUssdText(typed)) {
      std::fprintf(stderr, "korvanet-cli: an answer holds only digits, * and #; the session ends\n");
      return false;
    }
    aAnswer = typed;
    return true;
  };

  std::u16string wide = Utf16(code);
  TActionOutcome outcome = aSession.RunAction(
      "USSD " + code,
      [&](CKvAppEngine& aEngine) { return aEngine.Ussd(TConstPtr16(wide.data(), static_cast<int>(wide.size()))); },
      nullptr, onMenu);
  std::string last = outcome.iResult == KErrNone ? outcome.iReplyText : std::string();
  if (outcome.iResult == KErrNone) {
    shown.push_back({{"menu", false}, {"text", WithLf(last)}});
    if (!json) PrintReply(last);
  }
  if (unanswered)
    std::fprintf(stderr, "korvanet-cli: the network waits for an answer: give it with --reply (the session was ended)\n");
  if (json) PrintJson({{"result", outcome.iResult}, {"text", outcome.iText}, {"replies", shown}});
  return ActionExitStatus(outcome);
}

}  // namespace kvcli
