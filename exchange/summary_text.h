// What an import or export did, in the words korvanet-cli prints and the
// windowed program shows in its message boxes.
#pragma once

#include <cstddef>
#include <string>

#include "exchange/import_summary.h"

namespace kvexchange {

// "3 added, 1 skipped (already stored), 1 refused", then one line
// "  refused <why>" for each refused record (aMaxReasons of them at most,
// then "  and <n> more"), every line ending in a line feed.
std::string ImportSummaryText(const TImportSummary& aSummary, bool aDryRun, size_t aMaxReasons = std::string::npos);

// "Exported 1 contact.", "Exported 12 messages."; aWhat is the singular.
std::string ExportedText(int aCount, const std::string& aWhat);

}  // namespace kvexchange
