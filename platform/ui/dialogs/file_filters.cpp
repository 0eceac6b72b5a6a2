#include "ui/dialogs/file_filters.h"

namespace kvplatform::ui {
namespace {

std::u16string Lower(std::u16string text) {
  if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::u16string TrimmedPattern(const std::u16string& text) {
  size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return {};
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

}  // namespace

std::vector<FileFilter> ParseFileFilters(LPCWSTR filter) {
  std::vector<FileFilter> filters;
  if (filter == nullptr) return filters;
  while (*filter != 0) {
    FileFilter entry;
    entry.caption = filter;
    filter += entry.caption.size() + 1;
    if (*filter == 0) break;
    std::u16string patterns = filter;
    filter += patterns.size() + 1;
    size_t start = 0;
    while (start <= patterns.size()) {
      size_t end = patterns.find(u';', start);
      if (end == std::u16string::npos) end = patterns.size();
      std::u16string pattern = TrimmedPattern(patterns.substr(start, end - start));
      if (!pattern.empty()) entry.patterns.push_back(pattern);
      start = end + 1;
    }
    filters.push_back(entry);
  }
  return filters;
}

bool MatchesPattern(const std::u16string& pattern, const std::u16string& name) {
  if (pattern == u"*.*") return true;
  std::u16string p = Lower(pattern), n = Lower(name);
  // Greedy matching that goes back to the last "*" on a mismatch.
  size_t pi = 0, ni = 0, starAt = std::u16string::npos, starName = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == u'*') {
      starAt = pi++;
      starName = ni;
    } else if (starAt != std::u16string::npos) {
      pi = starAt + 1;
      ni = ++starName;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  return pi == p.size();
}

bool MatchesFilter(const FileFilter& filter, const std::u16string& name) {
  if (filter.patterns.empty()) return true;
  for (const std::u16string& pattern : filter.patterns)
    if (MatchesPattern(pattern, name)) return true;
  return false;
}

std::u16string FilterExtension(const FileFilter& filter) {
  if (filter.patterns.empty()) return {};
  const std::u16string& first = filter.patterns.front();
  if (first.rfind(u"*.", 0) != 0) return {};
  std::u16string extension = first.substr(2);
  if (extension.find_first_of(u"*?") != std::u16string::npos) return {};
  return extension;
}

std::u16string ExtensionOf(const std::u16string& name) {
  size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos || dot == 0 || name.find(u'\\', dot) != std::u16string::npos) return {};
  return name.substr(dot + 1);
}

}  // namespace kvplatform::ui
