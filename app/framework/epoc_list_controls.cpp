#include "app/framework/epoc_list_controls.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/document/app_globals.h"
#include "kernel/log.h"

namespace {

// Row lines of the list box stay under the system's 256-character limit.
const int KMaxLine = 256;

HWND CreateChild(CEpocControl* aParent, LPCWSTR aClass, DWORD aStyle, int aControlId) {
  HWND parent = aParent != nullptr ? aParent->Window() : nullptr;
  return CreateWindowExW(0, aClass, u"", aStyle, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(aControlId)), gKvInstance, nullptr);
}

// A cut of aText to aLength characters that keeps a surrogate pair whole.
int WholeCharacters(std::u16string_view aText, int aLength) {
  if (aLength > 0 && static_cast<size_t>(aLength) < aText.size() &&
      IS_SURROGATE_PAIR(aText[static_cast<size_t>(aLength) - 1], aText[static_cast<size_t>(aLength)]))
    --aLength;
  return aLength;
}

}  // namespace

void CEpocListControl::DoMakeVisible(bool aFlag) {
  if (iChild != nullptr) ShowWindow(iChild, aFlag ? SW_SHOW : SW_HIDE);
}

void CEpocListControl::MoveChildToExtent() {
  if (iChild != nullptr) MoveWindow(iChild, iRect.iX, iRect.iY, iRect.iWidth, iRect.iHeight, TRUE);
}

// ---- list box -----------------------------------------------------------------

CEpocListBox* CEpocListBox::NewL(CEpocControl* aParent, int aControlId, bool aOwnerData) {
  CEpocListBox* self = new CEpocListBox;
  if (self == nullptr) return nullptr;
  self->iParent = aParent;
  self->iOwnerData = aOwnerData;
  DWORD order = aOwnerData ? LBS_NODATA : LBS_SORT;
  self->iChild = CreateChild(aParent, u"LISTBOX",
                             WS_CHILD | WS_VSCROLL | LBS_NOTIFY | order | LBS_USETABSTOPS | LBS_EXTENDEDSEL,
                             aControlId);
  if (self->iChild == nullptr) LogMessageWithError(KLogFilePath, u"CreateListBox Failed to initialise ListBox");
  return self;
}

CEpocListBox::~CEpocListBox() {
  if (iChild != nullptr) DestroyWindow(iChild);
}

int CEpocListBox::HitTest(POINT aScreenPoint, int& aOffItem) const {
  POINT point = aScreenPoint;
  ScreenToClient(iChild, &point);
  LRESULT hit = SendMessageW(iChild, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
  aOffItem = HIWORD(hit);
  return LOWORD(hit);
}

LPARAM CEpocListBox::ItemData(int aIndex) const {
  if (iOwnerData) return aIndex >= 0 && aIndex < iLines.Count() ? iLines.Data(aIndex) : LB_ERR;
  return SendMessageW(iChild, LB_GETITEMDATA, aIndex, 0);
}
int CEpocListBox::CurrentIndex() const { return static_cast<int>(SendMessageW(iChild, LB_GETCURSEL, 0, 0)); }
int CEpocListBox::SelectedCount() const { return static_cast<int>(SendMessageW(iChild, LB_GETSELCOUNT, 0, 0)); }
bool CEpocListBox::IsSelected(int aIndex) const { return SendMessageW(iChild, LB_GETSEL, aIndex, 0) > 0; }

std::u16string CEpocListBox::FitFirstColumn(std::u16string_view aText) const {
  int length = static_cast<int>(std::min(aText.size(), static_cast<size_t>(KMaxLine)));
  if (length >= KMaxLine) length = KMaxLine - 2;
  length = WholeCharacters(aText, length);
  std::u16string shown(aText.substr(0, static_cast<size_t>(length)));
  HDC dc = GetDC(iChild);
  if (dc == nullptr) return shown;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(iChild, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  // Measured once: each character's right edge, and the "..." a cut ends with.
  std::vector<INT> edges(static_cast<size_t>(length) + 1);
  SIZE size{}, dots{};
  GetTextExtentExPointW(dc, shown.c_str(), length, 0, nullptr, edges.data(), &size);
  GetTextExtentExPointW(dc, u"...", 3, 0, nullptr, nullptr, &dots);
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(iChild, dc);
  // Drop one character at a time (a surrogate pair as one) until the rest
  // and its "..." fit.
  int width = size.cx;
  bool cut = false;
  while (width > KFirstColumnWidth && length > 0) {
    length = WholeCharacters(aText, length - 1);
    width = (length > 0 ? edges[static_cast<size_t>(length) - 1] : 0) + dots.cx;
    cut = true;
  }
  if (cut) shown = shown.substr(0, static_cast<size_t>(length)) + u"...";
  return shown;
}

void CEpocListBox::MakeLine(std::u16string_view aFirst, std::u16string_view aSecond, std::u16string& aLine) {
  // Texts end at a terminator, as the system's list box reads them.
  aFirst = aFirst.substr(0, aFirst.find(u'\0'));
  aSecond = aSecond.substr(0, aSecond.find(u'\0'));
  std::u16string cut;
  const std::u16string* first = &cut;
  if (iFilling) {
    auto fitted = iFitted.find(aFirst);
    if (fitted == iFitted.end()) fitted = iFitted.emplace(aFirst, FitFirstColumn(aFirst)).first;
    first = &fitted->second;
  } else {
    cut = FitFirstColumn(aFirst);
  }
  int length = static_cast<int>(first->size()) + 1;
  int second = static_cast<int>(std::min(aSecond.size(), static_cast<size_t>(KMaxLine)));
  // The second column and the closing tab keep the line under 256.
  if (second > KMaxLine - 2 - length) second = WholeCharacters(aSecond, KMaxLine - 2 - length);
  second = std::max(second, 0);
  aLine.assign(*first).append(1, u'\t').append(aSecond.substr(0, static_cast<size_t>(second))).push_back(u'\t');
}

void CEpocListBox::AddL(LPARAM aIdentifier, std::u16string_view aFirst, std::u16string_view aSecond) {
  MakeLine(aFirst, aSecond, iLine);
  if (iOwnerData && iFilling) {
    iLines.Append(iLine, aIdentifier);
  } else if (iOwnerData) {
    int row = iLines.Insert(iLine, aIdentifier);
    SendMessageW(iChild, LB_INSERTSTRING, row, 0);
  } else {
    LRESULT row = SendMessageW(iChild, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(iLine.c_str()));
    if (row >= 0) SendMessageW(iChild, LB_SETITEMDATA, row, aIdentifier);
  }
}

void CEpocListBox::Replace(LPARAM aIdentifier, std::u16string_view aFirst, std::u16string_view aSecond) {
  Delete(aIdentifier);
  AddL(aIdentifier, aFirst, aSecond);
}

void CEpocListBox::Delete(LPARAM aIdentifier) {
  if (iOwnerData) {
    int row = iLines.Find(aIdentifier);
    if (row < 0) return;
    iLines.RemoveAt(row);
    if (!iFilling) SendMessageW(iChild, LB_DELETESTRING, row, 0);
    return;
  }
  int count = static_cast<int>(SendMessageW(iChild, LB_GETCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    if (SendMessageW(iChild, LB_GETITEMDATA, row, 0) == aIdentifier) {
      SendMessageW(iChild, LB_DELETESTRING, row, 0);
      return;
    }
  }
}

void CEpocListBox::BeginFill() { iFilling = iOwnerData; }

void CEpocListBox::EndFill(const TEpocListLines::TOrderEqual& aOrderEqualRows) {
  if (!iFilling) return;
  iFilling = false;
  iFitted.clear();
  iLines.SortAppended(aOrderEqualRows);
  SendMessageW(iChild, LB_SETCOUNT, iLines.Count(), 0);
}

LRESULT CEpocListBox::HandleNotify(HWND, UINT, WPARAM, LPARAM aLParam) {
  NMLBDISPINFOW* info = reinterpret_cast<NMLBDISPINFOW*>(aLParam);
  if (!iOwnerData || info == nullptr || info->hdr.hwndFrom != iChild || info->hdr.code != LBN_GETDISPINFOW)
    return KEpocNotHandled;
  if (info->iItem < 0 || info->iItem >= iLines.Count() || info->pszText == nullptr || info->cchTextMax <= 0) return 0;
  std::u16string_view line = iLines.Line(info->iItem);
  size_t length = std::min(line.size(), static_cast<size_t>(info->cchTextMax - 1));
  std::copy_n(line.begin(), length, info->pszText);
  info->pszText[length] = 0;
  info->lParam = iLines.Data(info->iItem);
  return 0;
}

void CEpocListBox::SizeChangedL() {
  MoveChildToExtent();
  int base = LOWORD(GetDialogBaseUnits());
  if (base == 0) return;
  // Second column 100 pixels from the left, third at the right edge.
  INT stops[3] = {0, 400 / base, iRect.iWidth * 4 / base};
  SendMessageW(iChild, LB_SETTABSTOPS, 3, reinterpret_cast<LPARAM>(stops));
}

// ---- list view --------------------------------------------------------------------

CEpocListView* CEpocListView::NewL(CEpocControl* aParent, int aControlId, bool aOwnerData) {
  CEpocListView* self = new CEpocListView;
  if (self == nullptr) return nullptr;
  self->iParent = aParent;
  DWORD style = WS_CHILD | WS_VSCROLL | LVS_REPORT | LVS_SHOWSELALWAYS | (aOwnerData ? LVS_OWNERDATA : 0);
  self->iChild = CreateChild(aParent, WC_LISTVIEWW, style, aControlId);
  if (self->iChild == nullptr) {
    LogMessageWithError(KLogFilePath, u"CreateListView Failed to initialise listview");
    return self;
  }
  SendMessageW(self->iChild, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  return self;
}

CEpocListView::~CEpocListView() {
  if (iChild != nullptr) DestroyWindow(iChild);
}

int CEpocListView::HitTest(POINT aScreenPoint, int& aOffItem) const {
  LVHITTESTINFO info{};
  info.pt = aScreenPoint;
  ScreenToClient(iChild, &info.pt);
  SendMessageW(iChild, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info));
  aOffItem = (info.flags & LVHT_ONITEM) != 0 ? 0 : 1;
  return info.iItem;
}

LPARAM CEpocListView::ItemData(int aIndex) const {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = aIndex;
  SendMessageW(iChild, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

int CEpocListView::CurrentIndex() const {
  return static_cast<int>(SendMessageW(iChild, LVM_GETSELECTIONMARK, 0, 0));
}

int CEpocListView::SelectedCount() const {
  return static_cast<int>(SendMessageW(iChild, LVM_GETSELECTEDCOUNT, 0, 0));
}

bool CEpocListView::IsSelected(int aIndex) const {
  return (SendMessageW(iChild, LVM_GETITEMSTATE, aIndex, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

void CEpocListView::SetSecondColumn(int aRow, LPCWSTR aText) {
  LVITEMW item{};
  item.iSubItem = 1;
  item.pszText = const_cast<LPWSTR>(aText != nullptr ? aText : u"");
  SendMessageW(iChild, LVM_SETITEMTEXTW, aRow, reinterpret_cast<LPARAM>(&item));
}

void CEpocListView::InsertItemIntoViewL(LPARAM aIdentifier, LPCWSTR aFirst, LPCWSTR aSecond) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
  item.pszText = const_cast<LPWSTR>(aFirst != nullptr ? aFirst : u"");
  item.lParam = aIdentifier;
  int row = static_cast<int>(SendMessageW(iChild, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row == -1) LogMessage(KLogFilePath, u"CEpocListView::InsertItemIntoViewL - error inserting item");
  SetSecondColumn(row, aSecond);
}

int CEpocListView::FindRow(LPARAM aIdentifier) const {
  LVFINDINFOW find{};
  find.flags = LVFI_PARAM;
  find.lParam = aIdentifier;
  return static_cast<int>(SendMessageW(iChild, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

void CEpocListView::ReplaceItemIntoViewL(LPARAM aIdentifier, LPCWSTR aFirst, LPCWSTR aSecond) {
  int row = FindRow(aIdentifier);
  if (row < 0) {
    InsertItemIntoViewL(aIdentifier, aFirst, aSecond);
    return;
  }
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = const_cast<LPWSTR>(aFirst != nullptr ? aFirst : u"");
  item.lParam = aIdentifier;
  if (!SendMessageW(iChild, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
    LogMessage(KLogFilePath, u"CEpocListView::ReplaceItemIntoViewL - error Replacing item");
  SetSecondColumn(row, aSecond);
}

void CEpocListView::Delete(LPARAM aIdentifier) {
  int row = FindRow(aIdentifier);
  if (row >= 0) SendMessageW(iChild, LVM_DELETEITEM, row, 0);
}

void CEpocListView::InsertColumn(int aIndex, const LVCOLUMNW& aColumn) {
  SendMessageW(iChild, LVM_INSERTCOLUMNW, aIndex, reinterpret_cast<LPARAM>(&aColumn));
}

void CEpocListView::SortItems(int aColumn, LPARAM aContext, PFNLVCOMPARE aCompare) {
  iSortColumn = aColumn;
  SendMessageW(iChild, LVM_SORTITEMS, aContext, reinterpret_cast<LPARAM>(aCompare));
}

void CEpocListView::SetItemCount(int aCount) { SendMessageW(iChild, LVM_SETITEMCOUNT, aCount, 0); }

void CEpocListView::InsertRowAt(int aIndex) {
  LVITEMW item{};
  item.iItem = aIndex;
  SendMessageW(iChild, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void CEpocListView::DeleteRowAt(int aIndex) { SendMessageW(iChild, LVM_DELETEITEM, aIndex, 0); }

void CEpocListView::ShowSorted(int aColumn, const int* aSelected, int aCount, int aMark) {
  iSortColumn = aColumn;
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED;
  if (SelectedCount() > 0)
    SendMessageW(iChild, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  state.state = LVIS_SELECTED;
  for (int i = 0; i < aCount; ++i)
    SendMessageW(iChild, LVM_SETITEMSTATE, aSelected[i], reinterpret_cast<LPARAM>(&state));
  SendMessageW(iChild, LVM_SETSELECTIONMARK, 0, aMark);
  InvalidateRect(iChild, nullptr, FALSE);
}

void CEpocListView::SizeChangedL() { MoveChildToExtent(); }

// ---- edit box ---------------------------------------------------------------------------

CEpocEditBox* CEpocEditBox::NewL(CEpocControl* aParent, int aControlId) {
  CEpocEditBox* self = new CEpocEditBox;
  if (self == nullptr) return nullptr;
  self->iParent = aParent;
  self->iChild = CreateChild(aParent, u"edit", WS_CHILD | WS_VSCROLL | WS_BORDER | ES_MULTILINE | ES_READONLY,
                             aControlId);
  if (self->iChild == nullptr) LogMessageWithError(KLogFilePath, u"CreateEditBox Failed to initialise editbox");
  return self;
}

void CEpocEditBox::SizeChangedL() {
  if (iChild != nullptr) MoveWindow(iChild, iRect.iX, iRect.iY, iRect.iWidth, iRect.iHeight, TRUE);
}

void CEpocEditBox::DoMakeVisible(bool aFlag) {
  if (iChild != nullptr) ShowWindow(iChild, aFlag ? SW_SHOW : SW_HIDE);
}
