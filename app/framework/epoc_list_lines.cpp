#include "app/framework/epoc_list_lines.h"

#include <algorithm>
#include <unordered_map>

bool TEpocListLines::Before(const TLine& aFirst, const TLine& aSecond) {
  return lstrcmpiW(aFirst.iText, aSecond.iText) < 0;
}

TEpocListLines::TLine TEpocListLines::Stored(std::u16string_view aLine, LPARAM aData) {
  // Without memory for its text the row still shows, empty.
  const WCHAR* text = iTexts.Add(aLine);
  return text != nullptr ? TLine{text, aLine.size(), aData} : TLine{u"", 0, aData};
}

int TEpocListLines::Insert(std::u16string_view aLine, LPARAM aData) {
  TLine line = Stored(aLine, aData);
  auto at = std::upper_bound(iLines.begin(), iLines.end(), line, Before);
  int row = static_cast<int>(at - iLines.begin());
  iLines.insert(at, line);
  return row;
}

void TEpocListLines::Append(std::u16string_view aLine, LPARAM aData) { iLines.push_back(Stored(aLine, aData)); }

namespace {

std::u16string Folded(std::u16string_view aText) {
  std::u16string folded(aText);
  CharLowerBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  return folded;
}

struct TViewHash {
  size_t operator()(std::u16string_view aText) const { return std::hash<std::u16string_view>{}(aText); }
};

}  // namespace

// Comparing the first columns (up to and with the first tab) and then the
// rest is comparing the lines, as a first column without its tab is a whole
// line; so the lines are grouped by first column folded as lstrcmpiW folds
// it (many lines share one, and each distinct one is folded once), the groups
// put in order once, and each group's lines sorted by the rest alone. Sorts
// that keep equal lines in the order they came end as one by one insertion
// after the equal ones does.
void TEpocListLines::SortAppended(const TOrderEqual& aOrderEqual) {
  const size_t count = iLines.size();
  std::unordered_map<std::u16string_view, uint32_t, TViewHash> firstOf;  // as written: into iTexts
  std::unordered_map<std::u16string, uint32_t> groupOf;                   // folded
  TIndexes groupOfLine(count);
  std::vector<const WCHAR*, TEpocCommittedAllocator<const WCHAR*>> rests(count);
  for (size_t i = 0; i < count; ++i) {
    std::u16string_view line = Line(static_cast<int>(i));
    size_t tab = line.find(u'\t');
    size_t cut = tab == std::u16string_view::npos ? line.size() : tab + 1;
    std::u16string_view first = line.substr(0, cut);
    auto known = firstOf.find(first);
    if (known == firstOf.end()) {
      auto group = groupOf.emplace(Folded(first), static_cast<uint32_t>(groupOf.size())).first;
      known = firstOf.emplace(first, group->second).first;
    }
    groupOfLine[i] = known->second;
    rests[i] = line.data() + cut;
  }
  // Each group's place among the groups, by folded first column.
  std::vector<std::pair<const std::u16string*, uint32_t>> firsts;
  firsts.reserve(groupOf.size());
  for (const auto& [first, group] : groupOf) firsts.emplace_back(&first, group);
  std::sort(firsts.begin(), firsts.end(), [](const auto& aOne, const auto& aOther) { return *aOne.first < *aOther.first; });
  std::vector<uint32_t> placeOfGroup(firsts.size());
  for (size_t place = 0; place < firsts.size(); ++place) placeOfGroup[firsts[place].second] = static_cast<uint32_t>(place);
  // The lines by their group's place, in the order appended within each.
  std::vector<size_t> groupStart(firsts.size() + 1);
  for (size_t i = 0; i < count; ++i) ++groupStart[placeOfGroup[groupOfLine[i]] + 1];
  for (size_t place = 0; place < firsts.size(); ++place) groupStart[place + 1] += groupStart[place];
  TIndexes order(count);
  std::vector<size_t> next(groupStart.begin(), groupStart.end() - 1);
  for (size_t i = 0; i < count; ++i) order[next[placeOfGroup[groupOfLine[i]]]++] = static_cast<uint32_t>(i);
  // Each group by the rest of its lines.
  auto restBefore = [&rests](uint32_t aOne, uint32_t aOther) { return lstrcmpiW(rests[aOne], rests[aOther]) < 0; };
  for (size_t place = 0; place < firsts.size(); ++place) {
    auto groupEnd = order.begin() + static_cast<std::ptrdiff_t>(groupStart[place + 1]);
    auto run = order.begin() + static_cast<std::ptrdiff_t>(groupStart[place]);
    std::stable_sort(run, groupEnd, restBefore);
    while (run != groupEnd) {
      // The run of lines equal to its first.
      auto runEnd = run + 1;
      while (runEnd != groupEnd && !restBefore(*run, *runEnd)) ++runEnd;
      if (runEnd - run > 1 && aOrderEqual) OrderEqual(std::span<uint32_t>(&*run, static_cast<size_t>(runEnd - run)), aOrderEqual);
      run = runEnd;
    }
  }
  TLines sorted;
  sorted.reserve(count);
  for (uint32_t line : order) sorted.push_back(iLines[line]);
  iLines = std::move(sorted);
}

void TEpocListLines::OrderEqual(std::span<uint32_t> aRun, const TOrderEqual& aOrderEqual) const {
  std::vector<LPARAM> data;
  for (uint32_t line : aRun) data.push_back(iLines[line].iData);
  aOrderEqual(data);
  // Each line goes where its data went; data the order left out goes last.
  std::unordered_map<LPARAM, size_t> place;
  for (size_t i = 0; i < data.size(); ++i) place.emplace(data[i], i);
  auto placeOf = [&](uint32_t aLine) {
    auto found = place.find(iLines[aLine].iData);
    return found != place.end() ? found->second : data.size();
  };
  std::stable_sort(aRun.begin(), aRun.end(), [&](uint32_t aOne, uint32_t aOther) { return placeOf(aOne) < placeOf(aOther); });
}

int TEpocListLines::Find(LPARAM aData) const {
  for (size_t row = 0; row < iLines.size(); ++row)
    if (iLines[row].iData == aData) return static_cast<int>(row);
  return -1;
}

void TEpocListLines::RemoveAt(int aRow) {
  iRemovedLength += iLines[static_cast<size_t>(aRow)].iLength + 1;
  iLines.erase(iLines.begin() + aRow);
  DropRemovedTexts();
}

void TEpocListLines::DropRemovedTexts() {
  const size_t KWorthDropping = 1 << 16;
  if (iRemovedLength < KWorthDropping || iRemovedLength < iTexts.Held() / 2) return;
  TEpocTextArena kept;
  std::vector<const WCHAR*> texts;
  texts.reserve(iLines.size());
  for (const TLine& line : iLines) {
    texts.push_back(kept.Add(std::u16string_view(line.iText, line.iLength)));
    if (texts.back() == nullptr) return;  // without memory the removed texts stay
  }
  for (size_t i = 0; i < iLines.size(); ++i) iLines[i].iText = texts[i];
  iTexts = std::move(kept);
  iRemovedLength = 0;
}
