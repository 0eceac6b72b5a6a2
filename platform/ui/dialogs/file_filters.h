// The file types of a file chooser: lpstrFilter's pairs of a caption and
// its patterns ("*.vcf;*.csv"), matched without regard to case.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace kvplatform::ui {

struct FileFilter {
  std::u16string caption;
  std::vector<std::u16string> patterns;
};

// The pairs up to the empty string that ends them; a caption without its
// patterns is dropped. None for a null filter.
std::vector<FileFilter> ParseFileFilters(LPCWSTR filter);
// "*" and "?" wildcards; "*.*" matches every name, as on the device. A
// filter without patterns matches everything.
bool MatchesPattern(const std::u16string& pattern, const std::u16string& name);
bool MatchesFilter(const FileFilter& filter, const std::u16string& name);
// The extension of the filter's first pattern when it names one ("vcf" for
// "*.vcf"); empty for "*.*" or "*".
std::u16string FilterExtension(const FileFilter& filter);
// The extension of a file name without its dot; empty when it has none.
std::u16string ExtensionOf(const std::u16string& name);

}  // namespace kvplatform::ui
