// Thin controls over the system's list box, list view and edit box. Each
// owns a child window of its parent's window, made at (0, 0) with no size;
// SizeChangedL moves it to the control's extent.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include <commctrl.h>
#include <windows.h>

#include "app/framework/epoc_control.h"
#include "app/framework/epoc_list_lines.h"

// What a view asks of whichever list it shows.
class CEpocListControl : public CEpocControl {
 public:
  // Index of the row under a screen point; aOffItem is 0 when the point is
  // on a row, nonzero when it is not.
  virtual int HitTest(POINT aScreenPoint, int& aOffItem) const = 0;
  virtual LPARAM ItemData(int aIndex) const = 0;
  virtual int CurrentIndex() const = 0;
  virtual int SelectedCount() const = 0;
  virtual bool IsSelected(int aIndex) const = 0;

  HWND ChildWindow() const { return iChild; }

 protected:
  CEpocListControl() = default;
  void DoMakeVisible(bool aFlag) override;
  void MoveChildToExtent();

  HWND iChild;
};

class CEpocListBox : public CEpocListControl {
 public:
  // The widest the first column may be before it is cut with "...".
  static constexpr int KFirstColumnWidth = 95;

  // With aOwnerData the control keeps the lines itself and the system's list
  // only their count and selection (LBS_NODATA), answering for the rows it
  // paints: a list of many thousands of rows shows at once. The rows and
  // their order are the same either way.
  static CEpocListBox* NewL(CEpocControl* aParent, int aControlId, bool aOwnerData = false);
  ~CEpocListBox() override;

  int HitTest(POINT aScreenPoint, int& aOffItem) const override;
  LPARAM ItemData(int aIndex) const override;
  int CurrentIndex() const override;
  int SelectedCount() const override;
  bool IsSelected(int aIndex) const override;

  void AddL(LPARAM aIdentifier, std::u16string_view aFirst, std::u16string_view aSecond);
  void Replace(LPARAM aIdentifier, std::u16string_view aFirst, std::u16string_view aSecond);
  void Delete(LPARAM aIdentifier);
  void SizeChangedL() override;

  // Owner data: rows added between the two go into the list at once, sorted
  // as if added one by one.
  void BeginFill();
  // Rows whose lines are equal keep the order they were added in, unless
  // aOrderEqualRows is given: it gets the identifiers of each run of them,
  // in the order added, and puts them in the order they are to show in.
  void EndFill(const TEpocListLines::TOrderEqual& aOrderEqualRows = nullptr);
  // Owner data: the system's list asking for a row's line (LBN_GETDISPINFOW).
  LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;

 private:
  CEpocListBox() { SetClassName(u"CEpocListBox"); }
  // A row's line into aLine: the first text cut to fit its column, a tab,
  // the second text, a tab.
  void MakeLine(std::u16string_view aFirst, std::u16string_view aSecond, std::u16string& aLine);
  // The first column's text, cut to fit its width.
  std::u16string FitFirstColumn(std::u16string_view aText) const;

  bool iOwnerData;
  bool iFilling;
  TEpocListLines iLines;  // owner data only
  std::u16string iLine;   // the line being added, its memory kept for the next
  // While filling: each first column text cut once, however many rows show it.
  struct TTextHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view aText) const { return std::hash<std::u16string_view>{}(aText); }
  };
  std::unordered_map<std::u16string, std::u16string, TTextHash, std::equal_to<>> iFitted;
};

class CEpocListView : public CEpocListControl {
 public:
  // With aOwnerData the parent keeps the rows and answers for those painted
  // (LVS_OWNERDATA); the control keeps their count and selection.
  static CEpocListView* NewL(CEpocControl* aParent, int aControlId, bool aOwnerData = false);
  ~CEpocListView() override;

  int HitTest(POINT aScreenPoint, int& aOffItem) const override;
  LPARAM ItemData(int aIndex) const override;
  int CurrentIndex() const override;
  int SelectedCount() const override;
  bool IsSelected(int aIndex) const override;

  void InsertItemIntoViewL(LPARAM aIdentifier, LPCWSTR aFirst, LPCWSTR aSecond);
  void ReplaceItemIntoViewL(LPARAM aIdentifier, LPCWSTR aFirst, LPCWSTR aSecond);
  void Delete(LPARAM aIdentifier);
  void InsertColumn(int aIndex, const LVCOLUMNW& aColumn);
  void SortItems(int aColumn, LPARAM aContext, PFNLVCOMPARE aCompare);
  int SortColumn() const { return iSortColumn; }

  // Owner data: the rows the parent holds, told as they change.
  void SetItemCount(int aCount);
  void InsertRowAt(int aIndex);
  void DeleteRowAt(int aIndex);
  // The parent has ordered its rows by the column; the rows named select
  // again (the mark on aMark), as they were before the new order.
  void ShowSorted(int aColumn, const int* aSelected, int aCount, int aMark);
  void SizeChangedL() override;

 private:
  CEpocListView() { SetClassName(u"CEpocListView"); }
  int FindRow(LPARAM aIdentifier) const;
  void SetSecondColumn(int aRow, LPCWSTR aText);

  int iSortColumn;
};

class CEpocEditBox : public CEpocControl {
 public:
  static CEpocEditBox* NewL(CEpocControl* aParent, int aControlId);

  HWND ChildWindow() const { return iChild; }
  void SizeChangedL() override;
  void DoMakeVisible(bool aFlag) override;

 private:
  CEpocEditBox() { SetClassName(u"CEpocEditBox"); }

  HWND iChild;  // goes with the parent window
};
