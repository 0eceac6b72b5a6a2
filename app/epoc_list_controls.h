// Thin controls over the system's list box, list view and edit box. Each
// owns a child window of its parent's window, made at (0, 0) with no size;
// SizeChangedL moves it to the control's extent.
#pragma once

#include <commctrl.h>
#include <windows.h>

#include "app/epoc_control.h"

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

  static CEpocListBox* NewL(CEpocControl* aParent, int aControlId);
  ~CEpocListBox() override;

  int HitTest(POINT aScreenPoint, int& aOffItem) const override;
  LPARAM ItemData(int aIndex) const override;
  int CurrentIndex() const override;
  int SelectedCount() const override;
  bool IsSelected(int aIndex) const override;

  void AddL(LPARAM aIdentifier, LPCWSTR aFirst, LPCWSTR aSecond);
  void Replace(LPARAM aIdentifier, LPCWSTR aFirst, LPCWSTR aSecond);
  void Delete(LPARAM aIdentifier);
  void SizeChangedL() override;

 private:
  CEpocListBox() { SetClassName(u"CEpocListBox"); }
  // The first column's text, cut to fit its width.
  void FitFirstColumn(LPCWSTR aText, WCHAR* aOut, int aOutSize) const;
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
