// The rows of a list box whose lines its owner keeps (LBS_NODATA): each line
// with its record identifier, in the order the system sorts a list box's
// lines (case-insensitive, a new line after the equal ones), so that the list
// looks as if every line had been added to it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "app/framework/epoc_committed_allocator.h"
#include "app/framework/epoc_text_arena.h"

class TEpocListLines {
 public:
  // Puts the data of equal lines, given in the order appended, in the order
  // the lines are to show in.
  using TOrderEqual = std::function<void(std::vector<LPARAM>& aData)>;

  int Count() const { return static_cast<int>(iLines.size()); }
  // Valid until the lines next change; its text ends at a terminator.
  std::u16string_view Line(int aRow) const {
    const TLine& line = iLines[static_cast<size_t>(aRow)];
    return std::u16string_view(line.iText, line.iLength);
  }
  LPARAM Data(int aRow) const { return iLines[static_cast<size_t>(aRow)].iData; }

  // At its sorted place; the row it takes.
  int Insert(std::u16string_view aLine, LPARAM aData);
  // At the end, out of order, until SortAppended.
  void Append(std::u16string_view aLine, LPARAM aData);
  // The order inserting every row one by one would have given; with
  // aOrderEqual, equal lines in its order instead of the order appended.
  void SortAppended(const TOrderEqual& aOrderEqual = nullptr);
  // The first row with the data; -1 when none.
  int Find(LPARAM aData) const;
  void RemoveAt(int aRow);

 private:
  struct TLine {
    const WCHAR* iText;  // in iTexts
    size_t iLength;
    LPARAM iData;
  };
  static bool Before(const TLine& aFirst, const TLine& aSecond);
  // The line with its text kept in iTexts.
  TLine Stored(std::u16string_view aLine, LPARAM aData);
  // The texts kept again without those of removed lines, once they are most of them.
  void DropRemovedTexts();
  using TLines = std::vector<TLine, TEpocCommittedAllocator<TLine>>;
  using TIndexes = std::vector<uint32_t, TEpocCommittedAllocator<uint32_t>>;
  // The rows of lines aRun, all equal, put in aOrderEqual's order.
  void OrderEqual(std::span<uint32_t> aRun, const TOrderEqual& aOrderEqual) const;

  TEpocTextArena iTexts;
  size_t iRemovedLength = 0;  // of iTexts, texts of lines no longer here
  TLines iLines;
};
