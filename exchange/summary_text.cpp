#include "exchange/summary_text.h"

namespace kvexchange {

std::string ImportSummaryText(const TImportSummary& aSummary, bool aDryRun, size_t aMaxReasons) {
  std::string text = std::string(aDryRun ? "Dry run: " : "") + std::to_string(aSummary.iAdded) + " added, " +
                     std::to_string(aSummary.iSkipped) + " skipped (already stored), " +
                     std::to_string(aSummary.iRefused.size()) + " refused\n";
  size_t shown = 0;
  for (const std::string& refused : aSummary.iRefused) {
    if (shown++ == aMaxReasons) {
      text += "  and " + std::to_string(aSummary.iRefused.size() - aMaxReasons) + " more\n";
      break;
    }
    text += "  refused " + refused + "\n";
  }
  return text;
}

std::string ExportedText(int aCount, const std::string& aWhat) {
  return "Exported " + std::to_string(aCount) + " " + aWhat + (aCount == 1 ? "" : "s") + ".";
}

}  // namespace kvexchange
