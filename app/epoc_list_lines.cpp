#include "app/epoc_list_lines.h"

#include <algorithm>
#include <unordered_map>

bool TEpocListLines::Before(const TLine& aFirst, const TLine& aSecond) {
  return lstrcmpiW(aFirst.iLine.c_str(), aSecond.iLine.c_str()) < 0;
}

int TEpocListLines::Insert(std::u16string aLine, LPARAM aData) {
  TLine line{std::move(aLine), aData};
  auto at = std::upper_bound(iLines.begin(), iLines.end(), line, Before);
  int row = static_cast<int>(at - iLines.begin());
  iLines.insert(at, std::move(line));
  return row;
}

void TEpocListLines::Append(std::u16string aLine, LPARAM aData) { iLines.push_back(TLine{std::move(aLine), aData}); }

namespace {

std::u16string Folded(std::u16string aText) {
  CharLowerBuffW(aText.data(), static_cast<DWORD>(aText.size()));
  return aText;
}

}  // namespace

// Comparing the first columns (up to and with the first tab) and then the
// rest is comparing the lines, as a first column without its tab is a whole
// line; so the lines are grouped by first column folded as lstrcmpiW folds
// it (many lines share one), the groups sorted once, and each group's lines
// sorted by the rest alone. Sorts that keep equal lines in the order they
// came end as one by one insertion after the equal ones does.
void TEpocListLines::SortAppended() {
  std::unordered_map<std::u16string, size_t> groupOf;
  std::vector<std::vector<size_t>> groups;
  std::vector<const WCHAR*> rests(iLines.size());
  for (size_t i = 0; i < iLines.size(); ++i) {
    const std::u16string& line = iLines[i].iLine;
    size_t tab = line.find(u'\t');
    size_t cut = tab == std::u16string::npos ? line.size() : tab + 1;
    auto [group, added] = groupOf.emplace(Folded(line.substr(0, cut)), groups.size());
    if (added) groups.emplace_back();
    groups[group->second].push_back(i);
    rests[i] = line.c_str() + cut;
  }
  std::vector<std::pair<const std::u16string*, size_t>> firsts;
  firsts.reserve(groups.size());
  for (const auto& [first, group] : groupOf) firsts.emplace_back(&first, group);
  std::sort(firsts.begin(), firsts.end(), [](const auto& aOne, const auto& aOther) { return *aOne.first < *aOther.first; });
  std::vector<TLine> sorted;
  sorted.reserve(iLines.size());
  for (const auto& first : firsts) {
    std::vector<size_t>& group = groups[first.second];
    std::stable_sort(group.begin(), group.end(),
                     [&rests](size_t aOne, size_t aOther) { return lstrcmpiW(rests[aOne], rests[aOther]) < 0; });
    for (size_t line : group) sorted.push_back(std::move(iLines[line]));
  }
  iLines = std::move(sorted);
}

int TEpocListLines::Find(LPARAM aData) const {
  for (size_t row = 0; row < iLines.size(); ++row)
    if (iLines[row].iData == aData) return static_cast<int>(row);
  return -1;
}

void TEpocListLines::RemoveAt(int aRow) { iLines.erase(iLines.begin() + aRow); }
