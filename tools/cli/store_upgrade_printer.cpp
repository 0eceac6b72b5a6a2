#include "tools/cli/store_upgrade_printer.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include <kvplatform.h>

#include "store/store_upgrade.h"
#include "tools/cli/cli_text.h"

namespace kvcli {
namespace {

void PrintStoreUpgrade(void* /*aContext*/, const char16_t* aWhat, int aDone, int aTotal) {
  // \r and erase-line: the one status line is rewritten in place.
  if (aWhat == nullptr)
    std::fprintf(stderr, "\r\033[KMessages store upgraded.\n");
  else
    std::fprintf(stderr, "\r\033[KUpgrading the messages store: %s %d of %d",
                 Printable(kvplatform::ToUtf8(aWhat)).c_str(), aDone, aTotal);
  std::fflush(stderr);
}

}  // namespace

void ShowStoreUpgradesOnTerminal() {
  if (isatty(STDERR_FILENO)) SetStoreUpgradeProgress(PrintStoreUpgrade, nullptr);
}

void StopShowingStoreUpgrades() { SetStoreUpgradeProgress(nullptr, nullptr); }

}  // namespace kvcli
