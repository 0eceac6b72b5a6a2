#include "ui/shell/menu_bar.h"

#include <aygshell.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/menus/popup_menu.h"
#include "ui/windows/message_point.h"
#include "ui/shell/resource_table.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {

const char16_t kMenuBarClass[] = u"menu_worker";

namespace {

constexpr int kBarTop = kScreenHeight - KV_MENU_BAR_HEIGHT;
constexpr int kImageButtonWidth = 24;
constexpr int kSipButtonWidth = 26;

struct BarButton {
  WORD image = 0;
  WORD command = 0;
  BYTE state = 0;
  BYTE style = 0;
  std::u16string caption;  // text buttons; the tool tip of image buttons
  WORD popup = NOMENU;
  RECT rect{};
  bool IsText() const { return image == static_cast<WORD>(I_IMAGENONE); }
};

struct BarState {
  HWND parent = nullptr;
  HMENU menu = nullptr;
  HBITMAP bitmap = nullptr;
  int imageWidth = 16;
  std::vector<BarButton> buttons;
  bool sipButton = true;
  RECT sipRect{};
  int pressed = -1;  // button index; -2: the input panel button
  bool tracking = false;
};

std::mutex& BarsLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
std::map<HWND, std::shared_ptr<BarState>>& Bars() {
  static auto* bars = new std::map<HWND, std::shared_ptr<BarState>>;
  return *bars;
}
std::shared_ptr<BarState> BarOf(HWND bar) {
  std::lock_guard guard(BarsLock());
  auto it = Bars().find(bar);
  return it == Bars().end() ? nullptr : it->second;
}

void PaintBar(HWND bar, BarState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(bar, &ps);
  RECT client;
  GetClientRect(bar, &client);
  FillSolid(dc, client, GetSysColor(COLOR_BTNFACE));
  FillSolid(dc, RECT{0, 0, client.right, 1}, GetSysColor(COLOR_BTNSHADOW));
  SetBkMode(dc, TRANSPARENT);
  HDC images = s.bitmap ? CreateCompatibleDC(dc) : nullptr;
  HGDIOBJ oldBitmap = images ? SelectObject(images, s.bitmap) : nullptr;
  for (size_t i = 0; i < s.buttons.size(); ++i) {
    const BarButton& b = s.buttons[i];
    if (b.state & TBSTATE_HIDDEN) continue;
    bool pressed = s.pressed == static_cast<int>(i);
    bool enabled = (b.state & TBSTATE_ENABLED) != 0;
    if (pressed) FillSolid(dc, b.rect, GetSysColor(COLOR_HIGHLIGHT));
    if (b.IsText()) {
      SetTextColor(dc, !enabled ? GetSysColor(COLOR_GRAYTEXT)
                                : pressed ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_BTNTEXT));
      RECT r = b.rect;
      DrawTextW(dc, b.caption.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else if (images) {
      int x = b.rect.left + (kImageButtonWidth - s.imageWidth) / 2;
      int y = (KV_MENU_BAR_HEIGHT - s.imageWidth) / 2;
      BitBlt(dc, x, y, s.imageWidth, s.imageWidth, images, b.image * s.imageWidth, 0, SRCCOPY);
      if (pressed) InvertRect(dc, &b.rect);
    }
  }
  if (images) {
    SelectObject(images, oldBitmap);
    DeleteDC(images);
  }
  if (s.sipButton) {
    // A small keyboard; drawn sunk while the input panel is up.
    RECT r = s.sipRect;
    bool up = InputPanelUp();
    if (up || s.pressed == -2) FillSolid(dc, r, GetSysColor(COLOR_HIGHLIGHT));
    COLORREF ink = up || s.pressed == -2 ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_BTNTEXT);
    RECT body{r.left + 4, r.top + 8, r.right - 4, r.bottom - 7};
    PaintFrame(dc, body, ink);
    for (int row = 0; row < 2; ++row)
      for (int x = body.left + 3; x + 2 < body.right - 1; x += 3)
        FillSolid(dc, RECT{x, body.top + 3 + row * 3, x + 2, body.top + 4 + row * 3}, ink);
  }
  EndPaint(bar, &ps);
}

int ButtonAt(const BarState& s, POINT p) {
  for (size_t i = 0; i < s.buttons.size(); ++i)
    if (!(s.buttons[i].state & TBSTATE_HIDDEN) && PtInRect(&s.buttons[i].rect, p)) return static_cast<int>(i);
  if (s.sipButton && PtInRect(&s.sipRect, p)) return -2;
  return -1;
}

void OpenDropDown(HWND bar, const std::shared_ptr<BarState>& s, int index) {
  BarButton b = s->buttons[static_cast<size_t>(index)];
  HMENU popup = GetSubMenu(s->menu, b.popup);
  s->pressed = index;
  s->tracking = true;
  InvalidateRect(bar, nullptr, FALSE);
  UpdateWindow(bar);
  HWND parent = s->parent;
  // The owner's WM_INITMENUPOPUP carries the button's command in the low word.
  UINT chosen = popup ? RunPopupMenu(popup, TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_RETURNCMD, b.rect.left, kBarTop,
                                     parent, static_cast<LPARAM>(b.command))
                      : 0;
  s->tracking = false;
  s->pressed = -1;
  if (IsWindow(bar)) InvalidateRect(bar, nullptr, FALSE);
  if (chosen && IsWindow(parent)) PostMessageW(parent, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
}

void Layout(BarState& s);

BarButton* ButtonWithCommand(BarState& s, WPARAM command) {
  for (auto& b : s.buttons)
    if (b.command == static_cast<WORD>(command)) return &b;
  return nullptr;
}

LRESULT CALLBACK MenuBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  auto s = BarOf(bar);
  if (!s) return DefWindowProcW(bar, message, wParam, lParam);
  POINT p = PointFromParam(lParam);
  switch (message) {
    case WM_PAINT:
      PaintBar(bar, *s);
      return 0;
    case WM_LBUTTONDOWN: {
      if (s->tracking) return 0;
      int hit = ButtonAt(*s, p);
      if (hit >= 0 && !(s->buttons[static_cast<size_t>(hit)].state & TBSTATE_ENABLED)) return 0;
      if (hit >= 0 && s->buttons[static_cast<size_t>(hit)].IsText()) {
        OpenDropDown(bar, s, hit);
        return 0;
      }
      s->pressed = hit;
      if (hit != -1) SetCapture(bar);
      InvalidateRect(bar, nullptr, FALSE);
      return 0;
    }
    case WM_LBUTTONUP: {
      if (s->tracking) return 0;
      int was = s->pressed;
      s->pressed = -1;
      if (GetCapture() == bar) ReleaseCapture();
      InvalidateRect(bar, nullptr, FALSE);
      if (was == -1 || ButtonAt(*s, p) != was) return 0;
      if (was == -2) {
        SipShowIM(InputPanelUp() ? SIPF_OFF : SIPF_ON);
        return 0;
      }
      const BarButton& b = s->buttons[static_cast<size_t>(was)];
      PostMessageW(s->parent, WM_COMMAND, MAKEWPARAM(b.command, 0), reinterpret_cast<LPARAM>(bar));
      return 0;
    }
    case WM_SETTINGCHANGE:
      InvalidateRect(bar, nullptr, FALSE);
      return 0;
    case TB_HIDEBUTTON: {
      BarButton* b = ButtonWithCommand(*s, wParam);
      if (!b) return FALSE;
      BYTE was = b->state;
      b->state = static_cast<BYTE>(LOWORD(lParam) ? (b->state | TBSTATE_HIDDEN) : (b->state & ~TBSTATE_HIDDEN));
      if (b->state != was) {
        // The buttons to its right move over.
        Layout(*s);
        InvalidateRect(bar, nullptr, FALSE);
      }
      return TRUE;
    }
    case TB_ISBUTTONHIDDEN: {
      BarButton* b = ButtonWithCommand(*s, wParam);
      return b && (b->state & TBSTATE_HIDDEN) ? TRUE : FALSE;
    }
    case WM_NCDESTROY: {
      if (s->menu) DestroyMenu(s->menu);
      if (s->bitmap) DeleteObject(s->bitmap);
      std::lock_guard guard(BarsLock());
      Bars().erase(bar);
      return 0;
    }
    default:
      return DefWindowProcW(bar, message, wParam, lParam);
  }
}

void Layout(BarState& s) {
  HDC dc = GetDC(nullptr);
  int x = 0;
  for (auto& b : s.buttons) {
    if (b.state & TBSTATE_HIDDEN) {
      b.rect = RECT{};
      continue;
    }
    int width = kImageButtonWidth;
    if (b.IsText()) {
      SIZE size{};
      GetTextExtentPoint32W(dc, b.caption.c_str(), static_cast<int>(b.caption.size()), &size);
      width = size.cx + 14;
    }
    b.rect = RECT{x, 1, x + width, KV_MENU_BAR_HEIGHT};
    x += width;
  }
  ReleaseDC(nullptr, dc);
  s.sipRect = RECT{kScreenWidth - kSipButtonWidth, 1, kScreenWidth, KV_MENU_BAR_HEIGHT};
}

// The bar's description: WORDs as the RCDATA resource holds them.
bool ReadButtons(HINSTANCE instance, UINT id, BarState& s, WORD& menuId) {
  auto entry = FindEntry(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!entry) return false;
  const auto& bytes = entry->bytes;
  auto word = [&](size_t index) {
    WORD w = 0;
    if ((index + 1) * 2 <= bytes.size()) std::memcpy(&w, bytes.data() + index * 2, 2);
    return w;
  };
  menuId = word(0);
  size_t count = word(1);
  if (bytes.size() < (2 + count * 7) * 2) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    size_t at = 2 + i * 7;
    BarButton b;
    b.image = word(at);
    b.command = word(at + 1);
    b.state = static_cast<BYTE>(word(at + 2));
    b.style = static_cast<BYTE>(word(at + 3));
    WORD stringId = word(at + 4);
    b.popup = word(at + 6);
    LPCWSTR text = nullptr;
    int length = stringId ? LoadStringW(instance, stringId, reinterpret_cast<LPWSTR>(&text), 0) : 0;
    if (length > 0) b.caption.assign(text, static_cast<size_t>(length));
    s.buttons.push_back(std::move(b));
  }
  return true;
}

}  // namespace

void RegisterMenuBarClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = MenuBarProc;
  wc.lpszClassName = kMenuBarClass;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClassW(&wc);
}

}  // namespace kvplatform::ui

using namespace kvplatform::ui;

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
  if (!info || !IsWindow(info->hwndParent)) {
    SetLastError(info ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto state = std::make_shared<BarState>();
  state->parent = info->hwndParent;
  state->sipButton = !(info->dwFlags & SHCMBF_HIDESIPBUTTON);
  if (info->dwFlags & SHCMBF_HMENU) {
    state->menu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(info->nToolBarId));
  } else if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
    WORD menuId = 0;
    if (!ReadButtons(info->hInstRes, info->nToolBarId, *state, menuId)) return FALSE;
    bool dropDowns = std::any_of(state->buttons.begin(), state->buttons.end(), [](auto& b) { return b.IsText(); });
    if (dropDowns && !(state->menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(menuId)))) return FALSE;
    bool images = std::any_of(state->buttons.begin(), state->buttons.end(), [](auto& b) { return !b.IsText(); });
    if (images) {
      state->bitmap = LoadBitmapW(info->hInstRes, MAKEINTRESOURCEW(info->nBmpId));
      if (!state->bitmap) {
        if (state->menu) DestroyMenu(state->menu);
        return FALSE;
      }
      BITMAP bm{};
      GetObjectW(state->bitmap, sizeof bm, &bm);
      state->imageWidth = info->cBmpImages > 0 ? bm.bmWidth / info->cBmpImages : bm.bmHeight;
    }
  }
  Layout(*state);
  RegisterMenuBarClass();
  // Owned by the parent: above it, and gone with it.
  HWND bar = CreateWindowExW(WS_EX_NOACTIVATE, kMenuBarClass, u"", WS_POPUP, 0, kScreenHeight - KV_MENU_BAR_HEIGHT,
                             kScreenWidth, KV_MENU_BAR_HEIGHT, info->hwndParent, nullptr, info->hInstRes, nullptr);
  if (!bar) {
    if (state->menu) DestroyMenu(state->menu);
    if (state->bitmap) DeleteObject(state->bitmap);
    return FALSE;
  }
  {
    std::lock_guard guard(BarsLock());
    Bars()[bar] = state;
  }
  if (!(info->dwFlags & SHCMBF_HIDDEN)) ShowWindow(bar, SW_SHOWNA);
  info->hwndMB = bar;
  return TRUE;
}
