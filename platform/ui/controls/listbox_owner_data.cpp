#include "ui/controls/listbox_owner_data.h"

namespace kvplatform::ui {
namespace {

// Room for a line: list box lines are kept under 256 characters, with room
// to spare for a parent that gives more (the rest is not shown).
constexpr int kMaxLine = 512;

}  // namespace

OwnerDataRow AskParentForRow(HWND list, int index) {
  WCHAR line[kMaxLine] = {0};
  NMLBDISPINFOW info{};
  info.hdr.hwndFrom = list;
  info.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
  info.hdr.code = LBN_GETDISPINFOW;
  info.iItem = index;
  info.pszText = line;
  info.cchTextMax = kMaxLine;
  if (HWND parent = GetParent(list)) SendMessageW(parent, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
  line[kMaxLine - 1] = 0;
  return OwnerDataRow{line, info.lParam};
}

}  // namespace kvplatform::ui
