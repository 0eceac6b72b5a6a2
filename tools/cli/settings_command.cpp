// The settings command: shows the settings, or changes them and
// commits them as the settings dialog does.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <nlohmann/json.hpp>

#include <kvplatform.h>

#include "store/conversation_key.h"
#include "store/home_country.h"
#include "tools/cli/cli_text.h"
#include "tools/cli/commands.h"

namespace kvcli {
namespace {

// The document takes a malloc'ed text and frees the one it held.
LPWSTR MallocText(const std::u16string& aText) {
  auto* text = static_cast<LPWSTR>(std::malloc((aText.size() + 1) * sizeof(WCHAR)));
  if (text == nullptr) throw TCommandError("out of memory");
  std::memcpy(text, aText.c_str(), (aText.size() + 1) * sizeof(WCHAR));
  return text;
}

// A service centre number in international format: an optional "+" and digits.
bool IsServiceCentreNumber(const std::string& aText) {
  size_t start = !aText.empty() && aText[0] == '+' ? 1 : 0;
  if (aText.size() == start) return aText.empty();
  for (size_t i = start; i < aText.size(); ++i)
    if (aText[i] < '0' || aText[i] > '9') return false;
  return aText.size() - start <= 20;
}

// "90", "90s", "15m", "24h", "2d": seconds; 0 when the text is none of these.
int ParseDuration(const std::string& aText, int aMax = KKvMaxPartsWait) {
  size_t digits = 0;
  while (digits < aText.size() && digits < 8 && aText[digits] >= '0' && aText[digits] <= '9') ++digits;
  if (digits == 0 || aText.size() > digits + 1) return 0;
  long long value = std::stoll(aText.substr(0, digits));
  const char unit = digits < aText.size() ? aText[digits] : 's';
  const long long scale = unit == 's' ? 1 : unit == 'm' ? 60 : unit == 'h' ? 3600 : unit == 'd' ? 86400 : 0;
  value *= scale;
  return value >= 1 && value <= aMax ? static_cast<int>(value) : 0;
}

// The shortest exact form: "24h", "90m", "45s".
std::string DurationText(int aSeconds) {
  if (aSeconds % 86400 == 0) return std::to_string(aSeconds / 86400) + "d";
  if (aSeconds % 3600 == 0) return std::to_string(aSeconds / 3600) + "h";
  if (aSeconds % 60 == 0) return std::to_string(aSeconds / 60) + "m";
  return std::to_string(aSeconds) + "s";
}

}  // namespace

int Settings(TCliSession& aSession, const TParsedOptions& aOptions) {
  const std::string command = "settings";
  CKvDocument& document = aSession.Document();
  std::optional<std::string> smsc = aOptions.Value("smsc");
  if (smsc && !IsServiceCentreNumber(*smsc))
    throw TUsageError("--smsc takes a number in international format, such as +447785016005 (or \"\" to clear it)",
                      command);
  std::string log = Choice(aOptions, "log", {"on", "off"}, "", command);
  std::string view = Choice(aOptions, "view", {"list", "split"}, "", command);
  std::string reports = Choice(aOptions, "reports", {"on", "off"}, "", command);
  std::optional<std::string> partsWait = aOptions.Value("parts-wait");
  const int partsWaitSeconds = partsWait ? ParseDuration(*partsWait) : 0;
  if (partsWait && partsWaitSeconds == 0)
    throw TUsageError("--parts-wait takes a time from 1s to 30d: seconds, or a number with s, m, h or d (such as 24h)",
                      command);
  std::optional<std::string> poll = aOptions.Value("poll");
  const int pollSeconds = poll ? ParseDuration(*poll, KKvMaxPoll) : 0;
  if (poll && pollSeconds == 0)
    throw TUsageError("--poll takes a time from 1s to 1d: seconds, or a number with s, m, h or d (such as 30s)", command);
  std::optional<std::string> resetAfter = aOptions.Value("reset-after");
  int resetTries = -1;
  if (resetAfter && resetAfter->size() <= 4 && !resetAfter->empty() &&
      resetAfter->find_first_not_of("0123456789") == std::string::npos)
    resetTries = std::stoi(*resetAfter);
  if (resetAfter && (resetTries < 0 || resetTries > KKvMaxResetAfter))
    throw TUsageError("--reset-after takes a number of tries from 0 (never) to " + std::to_string(KKvMaxResetAfter),
                      command);

  std::optional<std::string> home = aOptions.Value("home-country");
  if (home && !home->empty() && !IsKnownCountry(*home))
    throw TUsageError("--home-country takes a country's two-letter code in capitals, such as GB or DE (or \"\" to clear it)",
                      command);

  if (smsc || !log.empty() || !view.empty() || !reports.empty() || partsWait || poll || resetAfter || home) {
    if (smsc) document.SetSmscNumber(MallocText(Utf16(*smsc)));
    if (!log.empty()) document.SetDoLogging(log == "on" ? 1 : 0);
    if (!view.empty()) document.SetMessageView(view == "split" ? 1 : 0);
    if (!reports.empty()) document.SetRequestReports(reports == "on");
    if (partsWait) document.SetPartsWait(partsWaitSeconds);
    if (poll) document.SetPollInterval(pollSeconds);
    if (resetAfter) document.SetResetAfter(resetTries);
    // After the number: the service centre's country goes first.
    if (home) document.SetHomeCountry(*home);
    document.CommitSettingsL();
  }

  std::string number = kvplatform::ToUtf8(document.SmscNumber());
  // What the phone told at its last connect: it outranks the setting.
  const std::string phone = PhoneCountry();
  const char* logText = document.DoLogging() != 0 ? "on" : "off";
  const char* viewText = document.MessageView() ? "split" : "list";
  const char* reportsText = document.RequestReports() ? "on" : "off";
  if (aSession.Json()) {
    nlohmann::json settings = {{"smsc", number},
                               {"log", logText},
                               {"view", viewText},
                               {"reports", reportsText},
                               {"parts_wait", document.PartsWait()},
                               {"poll", document.PollInterval()},
                               {"reset_after", document.ResetAfter()},
                               {"home_country", document.HomeCountrySetting()},
                               {"phone_country", phone}};
    std::printf("%s\n", TerminalJson(settings.dump(2)).c_str());
  } else {
    std::printf("smsc     %s\nlog      %s\nview     %s\nreports  %s\nparts-wait  %s\npoll     %s\nreset-after  %s\nhome-country  %s\nphone-country  %s\n",
                number.empty() ? "(not set)" : Printable(number).c_str(), logText, viewText, reportsText,
                DurationText(document.PartsWait()).c_str(), DurationText(document.PollInterval()).c_str(),
                document.ResetAfter() == 0 ? "never" : std::to_string(document.ResetAfter()).c_str(),
                document.HomeCountrySetting().empty() ? "(not set)" : document.HomeCountrySetting().c_str(),
                phone.empty() ? "(not told yet)" : phone.c_str());
  }
  return 0;
}

}  // namespace kvcli
