#include "app/epoc_list_lines.h"

#include <algorithm>

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

// A stable sort keeps equal lines in the order they came, as one by one
// insertion after the equal ones does.
void TEpocListLines::SortAppended() { std::stable_sort(iLines.begin(), iLines.end(), Before); }

int TEpocListLines::Find(LPARAM aData) const {
  for (size_t row = 0; row < iLines.size(); ++row)
    if (iLines[row].iData == aData) return static_cast<int>(row);
  return -1;
}

void TEpocListLines::RemoveAt(int aRow) { iLines.erase(iLines.begin() + aRow); }
