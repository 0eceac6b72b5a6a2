// GDI objects: brushes, pens, fonts, bitmaps and device contexts, each a
// handle in the process's handle table. Used under UiLock.
#pragma once

#include <memory>
#include <vector>

#include <wingdi.h>
#include <winuser.h>

#include "core/handle_table.h"
#include "ui/gdi/painter.h"

namespace kvplatform::ui {

struct GdiObject : KernelObject {
  explicit GdiObject(DWORD t) : type(t) {}
  DWORD type;
  bool stock = false;  // DeleteObject leaves stock objects alone
};

struct BrushObject : GdiObject {
  BrushObject(COLORREF c, bool isHollow) : GdiObject(OBJ_BRUSH), color(c), hollow(isHollow) {}
  COLORREF color;
  bool hollow;
};

struct PenObject : GdiObject {
  PenObject(int s, int w, COLORREF c) : GdiObject(OBJ_PEN), style(s), width(w), color(c) {}
  int style;
  int width;
  COLORREF color;
};

struct FontObject : GdiObject {
  explicit FontObject(const LOGFONTW& lf);
  LOGFONTW logFont;
  FontFace& face;
};

struct BitmapObject : GdiObject {
  BitmapObject(int w, int h) : GdiObject(OBJ_BITMAP), width(w), height(h), pixels(size_t(w) * size_t(h), 0xFFFFFF) {}
  int width;
  int height;
  std::vector<uint32_t> pixels;
  Surface AsSurface() { return Surface{pixels.data(), width, height}; }
};

struct DcState {
  HGDIOBJ pen = nullptr;
  HGDIOBJ brush = nullptr;
  HGDIOBJ font = nullptr;
  HGDIOBJ bitmap = nullptr;  // memory device contexts only
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  POINT position{0, 0};
  POINT origin{0, 0};  // device coordinates of logical (0, 0)
  Region clip;         // device coordinates
};

struct DeviceContext : GdiObject {
  DeviceContext() : GdiObject(OBJ_DC) {}
  HWND window = nullptr;  // null for the screen and memory contexts
  bool memory = false;
  POINT base{0, 0};  // device coordinates of the window's corner
  DcState state;
  std::vector<DcState> saved;
};

std::shared_ptr<DeviceContext> LookupDc(HDC dc);
// A context drawing on the screen at `origin` (screen coordinates of the
// window's client or window corner), limited to `clip`.
HDC CreateScreenDc(HWND window, POINT origin, const Region& clip);
void DestroyDc(HDC dc);

// The selected objects, or the defaults when none or deleted.
std::shared_ptr<PenObject> CurrentPen(const DcState& s);
std::shared_ptr<BrushObject> CurrentBrush(const DcState& s);
std::shared_ptr<FontObject> CurrentFont(const DcState& s);
// A brush handle, or a system colour index + 1 as window classes give it.
bool BrushColor(HBRUSH brush, COLORREF& color);
HFONT SystemFont();

// The surface a context draws on and a painter limited to its clip.
Surface SurfaceOf(DeviceContext& dc);
Painter PainterOf(DeviceContext& dc);
RECT ToDevice(const DcState& s, RECT r);

}  // namespace kvplatform::ui
