#include "ui/controls/custom_draw.h"

#include "ui/controls/common_control_support.h"

namespace kvplatform::ui {
namespace {

LRESULT Ask(HWND list, HDC dc, DWORD stage, int row, LPARAM data, const RECT& r) {
  NMLVCUSTOMDRAW draw{};
  draw.nmcd.dwDrawStage = stage;
  draw.nmcd.hdc = dc;
  draw.nmcd.rc = r;
  draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
  draw.nmcd.lItemlParam = data;
  bool alive = true;
  LRESULT answer = NotifyParent(list, draw.nmcd.hdr, NM_CUSTOMDRAW, alive);
  return alive ? answer : CDRF_DODEFAULT;
}

}  // namespace

RowCustomDraw::RowCustomDraw(HWND list, HDC dc)
    : list_(list), dc_(dc), listFont_(GetCurrentObject(dc, OBJ_FONT)) {
  RECT none{};
  perRow_ = (Ask(list, dc, CDDS_PREPAINT, 0, 0, none) & CDRF_NOTIFYITEMDRAW) != 0;
}

void RowCustomDraw::BeforeRow(int row, LPARAM data, const RECT& r) {
  if (!perRow_) return;
  // A font the parent chose for the row before does not carry over.
  SelectObject(dc_, listFont_);
  if (!(Ask(list_, dc_, CDDS_ITEMPREPAINT, row, data, r) & CDRF_NEWFONT)) SelectObject(dc_, listFont_);
}

}  // namespace kvplatform::ui
