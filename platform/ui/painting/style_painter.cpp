#include "ui/painting/style_painter.h"

#include <algorithm>

#include "ui/painting/solid_fill.h"

namespace kvplatform::ui {
namespace {

void Arrow(HDC dc, const RECT& r, int direction, COLORREF c) {
  // A small filled triangle: 0 up, 1 down, 2 left, 3 right.
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  for (int i = 0; i < 4; ++i) {
    RECT line;
    switch (direction) {
      case 0: line = {cx - i, cy - 2 + i, cx + i + 1, cy - 1 + i}; break;
      case 1: line = {cx - i, cy + 1 - i, cx + i + 1, cy + 2 - i}; break;
      case 2: line = {cx - 2 + i, cy - i, cx - 1 + i, cy + i + 1}; break;
      default: line = {cx + 1 - i, cy - i, cx + 2 - i, cy + i + 1}; break;
    }
    FillSolid(dc, line, c);
  }
}

}  // namespace

HFONT BoldSystemFont() {
  static HFONT font = [] {
    LOGFONTW lf{};
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
    lf.lfWeight = FW_BOLD;
    return CreateFontIndirectW(&lf);
  }();
  return font;
}

void PaintFrame(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FrameRect(dc, &r, brush);
  DeleteObject(brush);
}

void PaintButton(HDC dc, const RECT& r, LPCWSTR text, bool pressed, bool isDefault, bool enabled) {
  COLORREF face = pressed ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_BTNFACE);
  COLORREF ink = pressed ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                         : (enabled ? GetSysColor(COLOR_BTNTEXT) : GetSysColor(COLOR_GRAYTEXT));
  FillSolid(dc, r, face);
  PaintFrame(dc, r, RGB(0, 0, 0));
  if (isDefault) {
    RECT inner = r;
    InflateRect(&inner, -1, -1);
    PaintFrame(dc, inner, RGB(0, 0, 0));
  }
  if (text) {
    RECT textRect = r;
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, ink);
    DrawTextW(dc, text, -1, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
  }
}

ScrollBarParts ScrollBarLayout(const RECT& r, bool vertical, int min, int max, UINT page, int pos) {
  ScrollBarParts p{};
  int length = vertical ? r.bottom - r.top : r.right - r.left;
  int thickness = vertical ? r.right - r.left : r.bottom - r.top;
  int arrow = std::min(thickness, length / 2);
  int track = std::max(0, length - 2 * arrow);
  int range = std::max(1, max - min + 1);
  int thumbLength = page ? std::max(6, static_cast<int>(static_cast<long long>(track) * page / range)) : 8;
  thumbLength = std::min(thumbLength, track);
  int scrollable = std::max(1, range - static_cast<int>(std::max<UINT>(page, 1)) + (page ? 0 : 1));
  int offset = range <= static_cast<int>(page) ? 0
                                               : static_cast<int>(static_cast<long long>(track - thumbLength) *
                                                                  std::clamp(pos - min, 0, scrollable) / scrollable);
  auto span = [&](int from, int to) {
    return vertical ? RECT{r.left, r.top + from, r.right, r.top + to} : RECT{r.left + from, r.top, r.left + to, r.bottom};
  };
  p.lineUp = span(0, arrow);
  p.pageUp = span(arrow, arrow + offset);
  p.thumb = span(arrow + offset, arrow + offset + thumbLength);
  p.pageDown = span(arrow + offset + thumbLength, length - arrow);
  p.lineDown = span(length - arrow, length);
  return p;
}

void PaintScrollBar(HDC dc, const RECT& r, bool vertical, int min, int max, UINT page, int pos, bool enabled) {
  ScrollBarParts p = ScrollBarLayout(r, vertical, min, max, page, pos);
  FillSolid(dc, r, GetSysColor(COLOR_SCROLLBAR));
  COLORREF ink = enabled ? RGB(0, 0, 0) : GetSysColor(COLOR_GRAYTEXT);
  for (const RECT* button : {&p.lineUp, &p.lineDown}) {
    FillSolid(dc, *button, GetSysColor(COLOR_BTNFACE));
    PaintFrame(dc, *button, GetSysColor(COLOR_BTNSHADOW));
  }
  Arrow(dc, p.lineUp, vertical ? 0 : 2, ink);
  Arrow(dc, p.lineDown, vertical ? 1 : 3, ink);
  bool scrollable = max > min && (page == 0 || static_cast<int>(page) <= max - min);
  if (enabled && scrollable) {
    FillSolid(dc, p.thumb, GetSysColor(COLOR_BTNFACE));
    PaintFrame(dc, p.thumb, GetSysColor(COLOR_BTNSHADOW));
  }
}

void PaintCaption(HDC dc, const RECT& r, LPCWSTR text) {
  FillSolid(dc, r, GetSysColor(COLOR_ACTIVECAPTION));
  RECT textRect = r;
  textRect.left += 4;
  HGDIOBJ old = SelectObject(dc, BoldSystemFont());
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
  DrawTextW(dc, text ? text : u"", -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  SelectObject(dc, old);
}

}  // namespace kvplatform::ui
