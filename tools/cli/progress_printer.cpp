#include "tools/cli/progress_printer.h"

#include <cstdio>

namespace kvcli {

TProgressPrinter::TProgressPrinter(bool aTerminal) : iTerminal(aTerminal) {}

void TProgressPrinter::Begin(const std::string& aTitle) {
  iTitle = aTitle;
  iSteps = 0;
  if (!iTerminal) std::fprintf(stderr, "%s\n", aTitle.c_str());
  Show("Connecting to phone ...");
}

void TProgressPrinter::Progress(const std::string& aText) {
  ++iSteps;
  if (!aText.empty() || iTerminal) Show(aText.empty() ? iLastText : aText);
}

void TProgressPrinter::Show(const std::string& aText) {
  iLastText = aText;
  if (iTerminal) {
    static const char KSpinner[] = {'|', '/', '-', '\\'};
    // \r and erase-line: the one status line is rewritten in place.
    std::fprintf(stderr, "\r\033[K%c %s %s", KSpinner[iSteps % 4], iTitle.c_str(), aText.c_str());
    iLineOpen = true;
  } else {
    std::fprintf(stderr, "%s\n", aText.c_str());
  }
  std::fflush(stderr);
}

void TProgressPrinter::Finish(const std::string& aCompletionText) {
  if (iLineOpen) std::fprintf(stderr, "\r\033[K");
  iLineOpen = false;
  std::fprintf(stderr, "%s\n", aCompletionText.c_str());
  std::fflush(stderr);
}

}  // namespace kvcli
