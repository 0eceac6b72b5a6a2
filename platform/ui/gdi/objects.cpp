#include "ui/gdi/objects.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include <windows.h>

#include "ui/screen/screen.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

template <typename T, typename... Args>
HGDIOBJ Insert(Args&&... args) {
  auto object = std::make_shared<T>(std::forward<Args>(args)...);
  uintptr_t value = InsertHandle(object);
  if (value == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return reinterpret_cast<HGDIOBJ>(value);
}

std::shared_ptr<GdiObject> LookupGdi(HGDIOBJ object) { return LookupAs<GdiObject>(object); }

LOGFONTW SystemLogFont(bool bold) {
  LOGFONTW lf{};
  lf.lfHeight = -kSystemFontEm;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  const char16_t name[] = u"DejaVu Sans";
  std::copy(std::begin(name), std::end(name), lf.lfFaceName);
  return lf;
}

struct StockObjects {
  std::array<HGDIOBJ, 18> objects{};
  StockObjects() {
    auto brush = [&](int index, COLORREF c, bool hollow) { objects[index] = Insert<BrushObject>(c, hollow); };
    brush(WHITE_BRUSH, RGB(255, 255, 255), false);
    brush(LTGRAY_BRUSH, RGB(192, 192, 192), false);
    brush(GRAY_BRUSH, RGB(128, 128, 128), false);
    brush(DKGRAY_BRUSH, RGB(64, 64, 64), false);
    brush(BLACK_BRUSH, RGB(0, 0, 0), false);
    brush(NULL_BRUSH, RGB(0, 0, 0), true);
    objects[WHITE_PEN] = Insert<PenObject>(PS_SOLID, 1, RGB(255, 255, 255));
    objects[BLACK_PEN] = Insert<PenObject>(PS_SOLID, 1, RGB(0, 0, 0));
    objects[NULL_PEN] = Insert<PenObject>(PS_NULL, 1, RGB(0, 0, 0));
    objects[SYSTEM_FONT] = Insert<FontObject>(SystemLogFont(false));
    objects[DEFAULT_GUI_FONT] = objects[SYSTEM_FONT];
    for (HGDIOBJ o : objects)
      if (auto g = LookupGdi(o)) g->stock = true;
  }
};

StockObjects& Stock() {
  static auto* stock = new StockObjects;
  return *stock;
}

// The Pocket PC palette.
COLORREF SysColor(int index) {
  switch (index) {
    case COLOR_SCROLLBAR: return RGB(224, 224, 224);
    case COLOR_BACKGROUND: return RGB(58, 110, 165);
    case COLOR_ACTIVECAPTION: return RGB(0, 51, 153);
    case COLOR_INACTIVECAPTION: return RGB(128, 128, 128);
    case COLOR_MENU: return RGB(255, 255, 255);
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWFRAME: return RGB(0, 0, 0);
    case COLOR_MENUTEXT: return RGB(0, 0, 0);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_CAPTIONTEXT: return RGB(255, 255, 255);
    case COLOR_ACTIVEBORDER: return RGB(192, 192, 192);
    case COLOR_INACTIVEBORDER: return RGB(192, 192, 192);
    case COLOR_APPWORKSPACE: return RGB(128, 128, 128);
    case COLOR_HIGHLIGHT: return RGB(0, 0, 128);
    case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
    case COLOR_BTNFACE: return RGB(192, 192, 192);
    case COLOR_BTNSHADOW: return RGB(128, 128, 128);
    case COLOR_GRAYTEXT: return RGB(128, 128, 128);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_INACTIVECAPTIONTEXT: return RGB(224, 224, 224);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(0, 0, 0);
    case COLOR_3DLIGHT: return RGB(224, 224, 224);
    case COLOR_INFOTEXT: return RGB(0, 0, 0);
    case COLOR_INFOBK: return RGB(255, 255, 225);
    case COLOR_STATIC: return RGB(192, 192, 192);
    case COLOR_STATICTEXT: return RGB(0, 0, 0);
    default: return CLR_INVALID;
  }
}

}  // namespace

FontObject::FontObject(const LOGFONTW& lf)
    : GdiObject(OBJ_FONT), logFont(lf), face(FaceFor(lf.lfWeight >= FW_SEMIBOLD, EmPixelsForHeight(lf.lfHeight))) {}

std::shared_ptr<DeviceContext> LookupDc(HDC dc) { return LookupAs<DeviceContext>(dc); }

HFONT SystemFont() { return static_cast<HFONT>(Stock().objects[SYSTEM_FONT]); }

HDC CreateScreenDc(HWND window, POINT origin, const Region& clip) {
  auto dc = std::make_shared<DeviceContext>();
  dc->window = window;
  dc->base = origin;
  dc->state.origin = origin;
  dc->state.clip = clip;
  dc->state.pen = Stock().objects[BLACK_PEN];
  dc->state.brush = Stock().objects[WHITE_BRUSH];
  dc->state.font = Stock().objects[SYSTEM_FONT];
  uintptr_t value = InsertHandle(dc);
  if (value == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return reinterpret_cast<HDC>(value);
}

void DestroyDc(HDC dc) {
  if (LookupDc(dc)) RemoveHandle(reinterpret_cast<uintptr_t>(dc));
}

std::shared_ptr<PenObject> CurrentPen(const DcState& s) {
  auto pen = LookupAs<PenObject>(s.pen);
  return pen ? pen : LookupAs<PenObject>(Stock().objects[BLACK_PEN]);
}

std::shared_ptr<BrushObject> CurrentBrush(const DcState& s) {
  auto brush = LookupAs<BrushObject>(s.brush);
  return brush ? brush : LookupAs<BrushObject>(Stock().objects[WHITE_BRUSH]);
}

std::shared_ptr<FontObject> CurrentFont(const DcState& s) {
  auto font = LookupAs<FontObject>(s.font);
  return font ? font : LookupAs<FontObject>(Stock().objects[SYSTEM_FONT]);
}

bool BrushColor(HBRUSH brush, COLORREF& color) {
  auto value = reinterpret_cast<uintptr_t>(brush);
  if (value >= 1 && value <= COLOR_STATICTEXT + 1) {
    color = SysColor(static_cast<int>(value) - 1);
    return color != CLR_INVALID;
  }
  auto object = LookupAs<BrushObject>(brush);
  if (!object || object->hollow) return false;
  color = object->color;
  return true;
}

Surface SurfaceOf(DeviceContext& dc) {
  if (dc.memory) {
    auto bitmap = LookupAs<BitmapObject>(dc.state.bitmap);
    return bitmap ? bitmap->AsSurface() : Surface{};
  }
  MarkDirtyLocked();
  return FrameBufferLocked();
}

Painter PainterOf(DeviceContext& dc) {
  Surface surface = SurfaceOf(dc);
  if (!dc.memory) return Painter(surface, dc.state.clip);
  Region clip = dc.state.clip;
  if (clip.Empty() && dc.saved.empty()) clip = Region(surface.Bounds());
  return Painter(surface, clip);
}

RECT ToDevice(const DcState& s, RECT r) { return Offset(r, s.origin.x, s.origin.y); }

}  // namespace kvplatform::ui

using namespace kvplatform;
using namespace kvplatform::ui;

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index >= static_cast<int>(Stock().objects.size()) || !Stock().objects[index]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Stock().objects[index];
}

DWORD GetSysColor(int index) {
  COLORREF c = SysColor(index);
  return c == CLR_INVALID ? 0 : c;
}

HBRUSH GetSysColorBrush(int index) {
  static auto* brushes = new std::array<HBRUSH, COLOR_STATICTEXT + 1>{};
  if (index < 0 || index > COLOR_STATICTEXT) return nullptr;
  UiLock lock;
  if (!(*brushes)[index]) {
    (*brushes)[index] = static_cast<HBRUSH>(Insert<BrushObject>(SysColor(index), false));
    if (auto g = LookupGdi((*brushes)[index])) g->stock = true;
  }
  return (*brushes)[index];
}

HBRUSH CreateSolidBrush(COLORREF color) { return static_cast<HBRUSH>(Insert<BrushObject>(color & 0xFFFFFF, false)); }

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style != PS_SOLID && style != PS_DASH && style != PS_NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<HPEN>(Insert<PenObject>(style, width < 1 ? 1 : width, color & 0xFFFFFF));
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<HFONT>(Insert<FontObject>(*font));
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<HBITMAP>(Insert<BitmapObject>(width, height));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  // 32-bit rows (0x00RRGGBB) are what the layer draws with; other depths are refused.
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096 || planes != 1 || bitsPerPixel != 32) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HGDIOBJ handle = Insert<BitmapObject>(width, height);
  if (auto bitmap = LookupAs<BitmapObject>(handle); bitmap && bits)
    std::copy_n(static_cast<const uint32_t*>(bits), bitmap->pixels.size(), bitmap->pixels.begin());
  return static_cast<HBITMAP>(handle);
}

HDC CreateCompatibleDC(HDC) {
  auto dc = std::make_shared<DeviceContext>();
  dc->memory = true;
  dc->state.pen = Stock().objects[BLACK_PEN];
  dc->state.brush = Stock().objects[WHITE_BRUSH];
  dc->state.font = Stock().objects[SYSTEM_FONT];
  uintptr_t value = InsertHandle(dc);
  if (value == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return reinterpret_cast<HDC>(value);
}

BOOL DeleteDC(HDC dc) {
  auto record = LookupDc(dc);
  if (!record) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  RemoveHandle(reinterpret_cast<uintptr_t>(dc));
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  UiLock lock;
  auto record = LookupDc(dc);
  auto target = LookupGdi(object);
  if (!record || !target) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  DcState& s = record->state;
  HGDIOBJ previous = nullptr;
  switch (target->type) {
    case OBJ_PEN: previous = s.pen; s.pen = object; break;
    case OBJ_BRUSH: previous = s.brush; s.brush = object; break;
    case OBJ_FONT: previous = s.font; s.font = object; break;
    case OBJ_BITMAP: {
      if (!record->memory) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      previous = s.bitmap;
      s.bitmap = object;
      auto bitmap = LookupAs<BitmapObject>(object);
      s.clip = Region(bitmap->AsSurface().Bounds());
      break;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  auto target = LookupGdi(object);
  if (!target || target->type == OBJ_DC) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!target->stock) RemoveHandle(reinterpret_cast<uintptr_t>(object));
  return TRUE;
}

DWORD GetObjectType(HGDIOBJ object) {
  auto target = LookupGdi(object);
  if (!target) return 0;
  if (target->type == OBJ_DC) return std::static_pointer_cast<DeviceContext>(target)->memory ? OBJ_MEMDC : OBJ_DC;
  return target->type;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
  auto target = LookupGdi(object);
  if (!target) return 0;
  auto copy = [&](const auto& value) {
    if (buffer == nullptr) return static_cast<int>(sizeof value);
    if (size < static_cast<int>(sizeof value)) return 0;
    std::memcpy(buffer, &value, sizeof value);
    return static_cast<int>(sizeof value);
  };
  switch (target->type) {
    case OBJ_BRUSH: {
      auto b = std::static_pointer_cast<BrushObject>(target);
      return copy(LOGBRUSH{b->hollow ? 1u : 0u, b->color, 0});
    }
    case OBJ_FONT: return copy(std::static_pointer_cast<FontObject>(target)->logFont);
    case OBJ_BITMAP: {
      auto b = std::static_pointer_cast<BitmapObject>(target);
      return copy(BITMAP{0, b->width, b->height, b->width * 4, 1, 32, b->pixels.data()});
    }
    default: return 0;
  }
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  UiLock lock;
  auto record = LookupDc(dc);
  if (!record) return nullptr;
  switch (type) {
    case OBJ_PEN: return record->state.pen;
    case OBJ_BRUSH: return record->state.brush;
    case OBJ_FONT: return record->state.font;
    case OBJ_BITMAP: return record->state.bitmap;
    default: return nullptr;
  }
}

int SaveDC(HDC dc) {
  UiLock lock;
  auto record = LookupDc(dc);
  if (!record) return 0;
  record->saved.push_back(record->state);
  return static_cast<int>(record->saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
  UiLock lock;
  auto record = LookupDc(dc);
  if (!record) return FALSE;
  int count = static_cast<int>(record->saved.size());
  if (saved < 0) saved = count + 1 + saved;  // -1: the last one saved
  if (saved < 1 || saved > count) return FALSE;
  record->state = record->saved[saved - 1];
  record->saved.resize(saved - 1);
  return TRUE;
}

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case HORZRES: return kScreenWidth;
    case VERTRES: return kScreenHeight;
    case BITSPIXEL: return 32;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
  }
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  UiLock lock;
  auto r = LookupDc(dc);
  if (!r) return CLR_INVALID;
  return std::exchange(r->state.textColor, color & 0xFFFFFF);
}
COLORREF GetTextColor(HDC dc) {
  UiLock lock;
  auto r = LookupDc(dc);
  return r ? r->state.textColor : CLR_INVALID;
}
COLORREF SetBkColor(HDC dc, COLORREF color) {
  UiLock lock;
  auto r = LookupDc(dc);
  if (!r) return CLR_INVALID;
  return std::exchange(r->state.bkColor, color & 0xFFFFFF);
}
COLORREF GetBkColor(HDC dc) {
  UiLock lock;
  auto r = LookupDc(dc);
  return r ? r->state.bkColor : CLR_INVALID;
}
int SetBkMode(HDC dc, int mode) {
  UiLock lock;
  auto r = LookupDc(dc);
  if (!r || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
  return std::exchange(r->state.bkMode, mode);
}
int GetBkMode(HDC dc) {
  UiLock lock;
  auto r = LookupDc(dc);
  return r ? r->state.bkMode : 0;
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous) {
  UiLock lock;
  auto r = LookupDc(dc);
  if (!r) return FALSE;
  // Relative to the window's own corner.
  if (previous) *previous = POINT{r->state.origin.x - r->base.x, r->state.origin.y - r->base.y};
  r->state.origin = POINT{r->base.x + x, r->base.y + y};
  return TRUE;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  UiLock lock;
  auto r = LookupDc(dc);
  if (!r) return 0;
  r->state.clip.IntersectWith(ToDevice(r->state, RECT{left, top, right, bottom}));
  return r->state.clip.Empty() ? NULLREGION : (r->state.clip.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  UiLock lock;
  auto r = LookupDc(dc);
  if (!r) return 0;
  r->state.clip.Subtract(ToDevice(r->state, RECT{left, top, right, bottom}));
  return r->state.clip.Empty() ? NULLREGION : (r->state.clip.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION);
}

int GetClipBox(HDC dc, LPRECT rect) {
  UiLock lock;
  auto r = LookupDc(dc);
  if (!r || !rect) return 0;
  RECT bounds = r->state.clip.Bounds();
  *rect = Offset(bounds, -r->state.origin.x, -r->state.origin.y);
  return r->state.clip.Empty() ? NULLREGION : (r->state.clip.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION);
}
