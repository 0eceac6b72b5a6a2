#include "ui/dialogs/message_box.h"

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include "ui/windows/message_point.h"
#include "ui/painting/solid_fill.h"
#include "ui/painting/style_painter.h"
#include "ui/screen/taskbar.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

constexpr int kBoxWidth = 224;
constexpr int kMargin = 8;
constexpr int kIconSize = 28;
constexpr int kBoxButtonWidth = 52;
constexpr int kBoxButtonHeight = 22;

struct Button {
  int id;
  const char16_t* text;
  RECT rect{};
};

struct BoxState {
  std::u16string text;
  UINT type = 0;
  std::vector<Button> buttons;
  int defaultIndex = 0;
  int pressed = -1;
  int result = 0;
  bool done = false;
  RECT textRect{};
};

std::vector<Button> ButtonsOf(UINT type) {
  switch (type & 0xF) {
    case MB_OKCANCEL: return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, u"Abort"}, {IDRETRY, u"Retry"}, {IDIGNORE, u"Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, u"Yes"}, {IDNO, u"No"}, {IDCANCEL, u"Cancel"}};
    case MB_YESNO: return {{IDYES, u"Yes"}, {IDNO, u"No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, u"Retry"}, {IDCANCEL, u"Cancel"}};
    default: return {{IDOK, u"OK"}};
  }
}

void PaintIcon(HDC dc, int x, int y, UINT type) {
  UINT icon = type & 0xF0;
  if (icon == MB_ICONEXCLAMATION) {
    // A yellow warning triangle with a black edge and an exclamation mark.
    for (int row = 0; row < kIconSize; ++row) {
      int half = row / 2;
      FillSolid(dc, RECT{x + kIconSize / 2 - half, y + row, x + kIconSize / 2 + half + 1, y + row + 1}, RGB(255, 204, 0));
    }
    POINT edge[] = {{x + kIconSize / 2, y}, {x, y + kIconSize - 1}, {x + kIconSize, y + kIconSize - 1},
                    {x + kIconSize / 2, y}};
    Polyline(dc, edge, 4);
    FillSolid(dc, RECT{x + kIconSize / 2 - 1, y + 9, x + kIconSize / 2 + 2, y + 20}, RGB(0, 0, 0));
    FillSolid(dc, RECT{x + kIconSize / 2 - 1, y + 22, x + kIconSize / 2 + 2, y + 25}, RGB(0, 0, 0));
    return;
  }
  if (icon == 0) return;
  COLORREF color = icon == MB_ICONHAND ? RGB(204, 0, 0) : RGB(0, 70, 170);
  const char16_t* mark = icon == MB_ICONHAND ? u"X" : (icon == MB_ICONQUESTION ? u"?" : u"i");
  FillSolid(dc, RECT{x, y, x + kIconSize, y + kIconSize}, color);
  RECT r{x, y, x + kIconSize, y + kIconSize};
  SetTextColor(dc, RGB(255, 255, 255));
  HGDIOBJ old = SelectObject(dc, BoldSystemFont());
  DrawTextW(dc, mark, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, old);
  SetTextColor(dc, RGB(0, 0, 0));
}

BoxState* BoxStateOf(HWND box) { return reinterpret_cast<BoxState*>(GetWindowLongPtrW(box, GWL_USERDATA)); }

void Finish(BoxState& s, int result) {
  s.result = result;
  s.done = true;
}

int HitButton(BoxState& s, LPARAM lParam) {
  POINT p = PointFromParam(lParam);
  for (size_t i = 0; i < s.buttons.size(); ++i)
    if (PtInRect(&s.buttons[i].rect, p)) return static_cast<int>(i);
  return -1;
}

LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(box, GWL_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  BoxState* s = BoxStateOf(box);
  if (!s) return DefWindowProcW(box, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(box, &ps);
      RECT client;
      GetClientRect(box, &client);
      FillSolid(dc, client, GetSysColor(COLOR_WINDOW));
      PaintIcon(dc, kMargin, kMargin, s->type);
      SetBkMode(dc, TRANSPARENT);
      DrawTextW(dc, s->text.c_str(), -1, &s->textRect, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
      for (size_t i = 0; i < s->buttons.size(); ++i)
        PaintButton(dc, s->buttons[i].rect, s->buttons[i].text, s->pressed == static_cast<int>(i),
                    s->defaultIndex == static_cast<int>(i), true);
      EndPaint(box, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      s->pressed = HitButton(*s, lParam);
      if (s->pressed >= 0) SetCapture(box);
      InvalidateRect(box, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      int hit = HitButton(*s, lParam);
      int was = s->pressed;
      s->pressed = -1;
      if (GetCapture() == box) ReleaseCapture();
      InvalidateRect(box, nullptr, FALSE);
      if (hit >= 0 && hit == was) Finish(*s, s->buttons[hit].id);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) Finish(*s, s->buttons[s->defaultIndex].id);
      if (wParam == VK_ESCAPE) {
        for (auto& b : s->buttons)
          if (b.id == IDCANCEL) Finish(*s, IDCANCEL);
        if (s->buttons.size() == 1) Finish(*s, s->buttons[0].id);
      }
      return 0;
    case WM_COMMAND:  // the taskbar's "ok"
      if (LOWORD(wParam) == IDOK) Finish(*s, s->buttons[s->defaultIndex].id);
      return 0;
    case WM_CLOSE:
      Finish(*s, s->buttons.size() == 1 ? s->buttons[0].id : IDCANCEL);
      return 0;
    default:
      return DefWindowProcW(box, message, wParam, lParam);
  }
}

void RegisterBoxClass() {
  static bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = BoxProc;
    wc.lpszClassName = u"KvMessageBox";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);
    return true;
  }();
  (void)registered;
}

}  // namespace

int RunMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  RegisterBoxClass();
  BoxState state;
  state.text = text ? text : u"";
  state.type = type;
  state.buttons = ButtonsOf(type);
  state.defaultIndex = std::min<int>(static_cast<int>((type >> 8) & 0xF), static_cast<int>(state.buttons.size()) - 1);

  // Measure the wrapped text to size the box.
  bool icon = (type & 0xF0) != 0;
  int textLeft = kMargin + (icon ? kIconSize + kMargin : 0);
  int textWidth = kBoxWidth - 2 - textLeft - kMargin;
  RECT measure{0, 0, textWidth, 0};
  HDC screen = GetDC(nullptr);
  DrawTextW(screen, state.text.c_str(), -1, &measure, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  ReleaseDC(nullptr, screen);
  int textHeight = std::min<int>(measure.bottom, 200);
  int contentHeight = std::max(textHeight, icon ? kIconSize : 0);
  int clientHeight = kMargin + contentHeight + kMargin + kBoxButtonHeight + kMargin;
  int height = clientHeight + 2 + kCaptionHeight;
  RECT desktop = DesktopRect();
  int x = (kScreenWidth - kBoxWidth) / 2;
  int y = desktop.top + std::max(0, (static_cast<int>(desktop.bottom - desktop.top) - height) / 2);
  state.textRect = RECT{textLeft, kMargin, textLeft + textWidth, kMargin + textHeight};
  int count = static_cast<int>(state.buttons.size());
  int rowWidth = count * kBoxButtonWidth + (count - 1) * 6;
  int bx = (kBoxWidth - 2 - rowWidth) / 2, by = kMargin + contentHeight + kMargin;
  for (auto& b : state.buttons) {
    b.rect = RECT{bx, by, bx + kBoxButtonWidth, by + kBoxButtonHeight};
    bx += kBoxButtonWidth + 6;
  }

  if (owner && !IsWindow(owner)) owner = nullptr;
  HWND box = CreateWindowExW(WS_EX_TOPMOST, u"KvMessageBox", caption ? caption : u"Error",
                             WS_POPUP | WS_CAPTION | WS_VISIBLE, x, y, kBoxWidth, height, owner, nullptr, nullptr,
                             &state);
  if (!box) return 0;
  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  SetFocus(box);
  HWND previousDone = TaskbarDoneTarget();
  SetTaskbarDoneButton(box);

  // The box's own modal loop: this thread's messages and the sends of others
  // go on; a WM_QUIT ends the box and is put back for the caller's loop.
  MSG msg;
  bool quit = false;
  int quitCode = 0;
  while (!state.done && IsWindow(box)) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  SetTaskbarDoneButton(previousDone && IsWindow(previousDone) ? previousDone : nullptr);
  if (IsWindow(box)) DestroyWindow(box);
  if (owner && IsWindow(owner)) SetForegroundWindow(owner);
  if (quit) PostQuitMessage(quitCode);
  return state.done ? state.result : IDOK;
}

}  // namespace kvplatform::ui
