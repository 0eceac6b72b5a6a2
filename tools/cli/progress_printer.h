// Progress on standard error: on a terminal one line rewritten in place with
// a spinner, the action's title and the engine's latest text; otherwise one
// line per notice. The completion text always ends on a line of its own.
#pragma once

#include <string>

namespace kvcli {

class TProgressPrinter {
 public:
  explicit TProgressPrinter(bool aTerminal);

  void Begin(const std::string& aTitle);
  // Another progress notice; an empty text keeps the last one.
  void Progress(const std::string& aText);
  void Finish(const std::string& aCompletionText);

 private:
  void Show(const std::string& aText);

  bool iTerminal;
  std::string iTitle;
  std::string iLastText;
  int iSteps = 0;
  bool iLineOpen = false;
};

}  // namespace kvcli
