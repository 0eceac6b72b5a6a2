// The rows of a list box whose lines its owner keeps (LBS_NODATA): each line
// with its record identifier, in the order the system sorts a list box's
// lines (case-insensitive, a new line after the equal ones), so that the list
// looks as if every line had been added to it.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

class TEpocListLines {
 public:
  int Count() const { return static_cast<int>(iLines.size()); }
  const std::u16string& Line(int aRow) const { return iLines[static_cast<size_t>(aRow)].iLine; }
  LPARAM Data(int aRow) const { return iLines[static_cast<size_t>(aRow)].iData; }

  // At its sorted place; the row it takes.
  int Insert(std::u16string aLine, LPARAM aData);
  // At the end, out of order, until SortAppended.
  void Append(std::u16string aLine, LPARAM aData);
  // The order inserting every row one by one would have given.
  void SortAppended();
  // The first row with the data; -1 when none.
  int Find(LPARAM aData) const;
  void RemoveAt(int aRow);

 private:
  struct TLine {
    std::u16string iLine;
    LPARAM iData;
  };
  static bool Before(const TLine& aFirst, const TLine& aSecond);

  std::vector<TLine> iLines;
};
