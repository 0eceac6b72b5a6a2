// Filling, frames, lines, pixels and copies through a device context.
#include <windows.h>

#include "ui/gdi/objects.h"
#include "ui/windows/ui_lock.h"

using namespace kvplatform;
using namespace kvplatform::ui;

namespace {

std::shared_ptr<DeviceContext> DcOrFail(HDC dc) {
  auto record = LookupDc(dc);
  if (!record) SetLastError(ERROR_INVALID_HANDLE);
  return record;
}

void DrawPenLine(DeviceContext& dc, POINT from, POINT to) {
  auto pen = CurrentPen(dc.state);
  if (pen->style == PS_NULL) return;
  PainterOf(dc).Line(from.x + dc.state.origin.x, from.y + dc.state.origin.y, to.x + dc.state.origin.x,
                     to.y + dc.state.origin.y, pen->color, pen->width);
}

}  // namespace

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  UiLock lock;
  auto record = DcOrFail(dc);
  COLORREF color;
  if (!record || rect == nullptr) return 0;
  if (!BrushColor(brush, color)) return brush && LookupAs<BrushObject>(brush) ? 1 : 0;  // a hollow brush paints nothing
  PainterOf(*record).FillRect(ToDevice(record->state, *rect), color);
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  UiLock lock;
  auto record = DcOrFail(dc);
  COLORREF color;
  if (!record || rect == nullptr || !BrushColor(brush, color)) return 0;
  RECT r = ToDevice(record->state, *rect);
  if (RectEmpty(r)) return 1;
  Painter p = PainterOf(*record);
  p.FillRect({r.left, r.top, r.right, r.top + 1}, color);
  p.FillRect({r.left, r.bottom - 1, r.right, r.bottom}, color);
  p.FillRect({r.left, r.top, r.left + 1, r.bottom}, color);
  p.FillRect({r.right - 1, r.top, r.right, r.bottom}, color);
  return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
  UiLock lock;
  auto record = DcOrFail(dc);
  if (!record || rect == nullptr) return FALSE;
  PainterOf(*record).InvertRect(ToDevice(record->state, *rect));
  return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
  UiLock lock;
  auto record = DcOrFail(dc);
  if (!record || rect == nullptr) return FALSE;
  RECT r = ToDevice(record->state, *rect);
  Painter p = PainterOf(*record);
  // A dotted frame drawn by inverting every other pixel, so a second call removes it.
  for (int x = r.left; x < r.right; x += 2) {
    p.InvertRect({x, r.top, x + 1, r.top + 1});
    p.InvertRect({x, r.bottom - 1, x + 1, r.bottom});
  }
  for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
    p.InvertRect({r.left, y, r.left + 1, y + 1});
    p.InvertRect({r.right - 1, y, r.right, y + 1});
  }
  return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  UiLock lock;
  auto record = DcOrFail(dc);
  if (!record) return FALSE;
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  RECT r = ToDevice(record->state, RECT{left, top, right, bottom});
  Painter p = PainterOf(*record);
  auto pen = CurrentPen(record->state);
  int w = pen->style == PS_NULL ? 0 : pen->width;
  auto brush = CurrentBrush(record->state);
  if (!brush->hollow) p.FillRect({r.left + w, r.top + w, r.right - w, r.bottom - w}, brush->color);
  if (w > 0) {
    p.FillRect({r.left, r.top, r.right, r.top + w}, pen->color);
    p.FillRect({r.left, r.bottom - w, r.right, r.bottom}, pen->color);
    p.FillRect({r.left, r.top, r.left + w, r.bottom}, pen->color);
    p.FillRect({r.right - w, r.top, r.right, r.bottom}, pen->color);
  }
  return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
  UiLock lock;
  auto record = DcOrFail(dc);
  if (!record) return FALSE;
  if (previous) *previous = record->state.position;
  record->state.position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  UiLock lock;
  auto record = DcOrFail(dc);
  if (!record) return FALSE;
  DrawPenLine(*record, record->state.position, POINT{x, y});
  record->state.position = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
  UiLock lock;
  auto record = DcOrFail(dc);
  if (!record || points == nullptr || count < 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (int i = 1; i < count; ++i) DrawPenLine(*record, points[i - 1], points[i]);
  return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  UiLock lock;
  auto record = DcOrFail(dc);
  if (!record) return CLR_INVALID;
  PainterOf(*record).SetPixel(x + record->state.origin.x, y + record->state.origin.y, color & 0xFFFFFF);
  return color & 0xFFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  UiLock lock;
  auto record = DcOrFail(dc);
  if (!record) return CLR_INVALID;
  Surface s = SurfaceOf(*record);
  x += record->state.origin.x;
  y += record->state.origin.y;
  if (!s.pixels || !Contains(s.Bounds(), x, y) ||
      (!record->memory && !record->state.clip.Intersects(RECT{x, y, x + 1, y + 1})))
    return CLR_INVALID;
  return ColorOf(s.pixels[y * s.width + x]);
}

BOOL BitBlt(HDC to, int x, int y, int width, int height, HDC from, int fromX, int fromY, DWORD rop) {
  UiLock lock;
  auto target = DcOrFail(to);
  if (!target) return FALSE;
  RECT area = ToDevice(target->state, RECT{x, y, x + width, y + height});
  if (rop == BLACKNESS || rop == WHITENESS || rop == DSTINVERT || rop == PATCOPY) {
    Painter p = PainterOf(*target);
    if (rop == DSTINVERT)
      p.InvertRect(area);
    else if (rop == PATCOPY) {
      auto brush = CurrentBrush(target->state);
      if (!brush->hollow) p.FillRect(area, brush->color);
    } else
      p.FillRect(area, rop == BLACKNESS ? RGB(0, 0, 0) : RGB(255, 255, 255));
    return TRUE;
  }
  auto source = DcOrFail(from);
  if (!source) return FALSE;
  Surface s = SurfaceOf(*source);
  if (!s.pixels) return FALSE;
  PainterOf(*target).Blit(s, fromX + source->state.origin.x, fromY + source->state.origin.y, area.left, area.top,
                          width, height, rop);
  return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  return BitBlt(dc, x, y, width, height, nullptr, 0, 0, rop);
}
