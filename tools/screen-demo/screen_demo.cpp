// korvanet-screen-demo: shows the screen layer at work. A window with text
// and shapes; a tap leaves a mark and counts, a double tap clears the marks,
// a tap-and-hold raises a message box, typed text appears in the box below.
//
//   korvanet-screen-demo                  run until the window is closed
//   korvanet-screen-demo --seconds N      end after N seconds
//   korvanet-screen-demo --screenshot F   headless: tap, type, save F, end
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <kvplatform.h>
#include <windows.h>

#include "ui/testing.h"

namespace {

struct Demo {
  std::vector<POINT> marks;
  std::u16string typed;
  int taps = 0;
};
Demo gDemo;

void PaintDemo(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client;
  GetClientRect(hwnd, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

  LOGFONTW lf{};
  lf.lfHeight = -14;
  lf.lfWeight = FW_BOLD;
  HFONT title = CreateFontIndirectW(&lf);
  HGDIOBJ oldFont = SelectObject(dc, title);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 51, 153));
  RECT heading{8, 6, client.right - 8, 26};
  DrawTextW(dc, u"Screen demo", -1, &heading, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
  SelectObject(dc, oldFont);
  DeleteObject(title);

  SetTextColor(dc, RGB(0, 0, 0));
  RECT help{8, 28, client.right - 8, 80};
  DrawTextW(dc, u"Tap to leave a mark, double tap to clear, hold for a message box, type below. Ω € ü",
            -1, &help, DT_LEFT | DT_WORDBREAK);

  // Shapes: a filled rectangle, a frame, a zigzag line, a pixel grid.
  HBRUSH orange = CreateSolidBrush(RGB(255, 140, 0));
  HPEN bluePen = CreatePen(PS_SOLID, 2, RGB(0, 70, 170));
  HGDIOBJ oldBrush = SelectObject(dc, orange);
  HGDIOBJ oldPen = SelectObject(dc, bluePen);
  Rectangle(dc, 8, 88, 78, 138);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, 86, 88, 156, 138);
  POINT zigzag[] = {{164, 138}, {176, 88}, {188, 138}, {200, 88}, {212, 138}, {224, 88}};
  Polyline(dc, zigzag, 6);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  for (int y = 96; y < 132; y += 4)
    for (int x = 94; x < 150; x += 4) SetPixel(dc, x, y, RGB(0, 160, 0));

  // The typing box.
  RECT field{8, 146, client.right - 8, 186};
  FillRect(dc, &field, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FrameRect(dc, &field, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  RECT text = field;
  InflateRect(&text, -4, -3);
  std::u16string shown = gDemo.typed.empty() ? u"(type here)" : gDemo.typed + u"|";
  SetTextColor(dc, gDemo.typed.empty() ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
  DrawTextW(dc, shown.c_str(), -1, &text, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);

  // Status and the marks.
  WCHAR status[64];
  wsprintfW(status, u"Taps: %d   Marks: %d", gDemo.taps, static_cast<int>(gDemo.marks.size()));
  RECT statusRect{8, 192, client.right - 8, 208};
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextW(dc, status, -1, &statusRect, DT_LEFT | DT_SINGLELINE);
  HBRUSH red = CreateSolidBrush(RGB(220, 0, 0));
  for (POINT p : gDemo.marks) {
    RECT dot{p.x - 3, p.y - 3, p.x + 4, p.y + 4};
    FillRect(dc, &dot, red);
  }
  DeleteObject(red);
  DeleteObject(orange);
  DeleteObject(bluePen);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK DemoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      PaintDemo(hwnd);
      return 0;
    case WM_LBUTTONDOWN:
      ++gDemo.taps;
      gDemo.marks.push_back(POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDBLCLK:
      gDemo.marks.clear();
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_NOTIFY: {
      auto* info = reinterpret_cast<NMRGINFO*>(lParam);
      if (info->hdr.code == GN_CONTEXTMENU) {
        WCHAR text[96];
        wsprintfW(text, u"Tap-and-hold at %d, %d.", static_cast<int>(info->ptAction.x),
                  static_cast<int>(info->ptAction.y));
        MessageBoxW(hwnd, text, u"Screen demo", MB_ICONEXCLAMATION);
      }
      return 0;
    }
    case WM_CHAR:
      if (wParam == 0x08) {
        if (!gDemo.typed.empty()) gDemo.typed.pop_back();
      } else if (wParam >= 0x20) {
        gDemo.typed += static_cast<char16_t>(wParam);
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_TIMER:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// A top-level window holding the demo as a bordered child, so the tap and
// hold go to a control inside a parent, as in the program.
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NOTIFY) return DemoProc(hwnd, msg, wParam, lParam);
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  if (msg == WM_TIMER) {
    DestroyWindow(hwnd);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 0;
  const char* screenshot = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
      screenshot = argv[++i];
    } else {
      std::fprintf(stderr, "usage: korvanet-screen-demo [--seconds N] [--screenshot FILE.png]\n");
      return 2;
    }
  }
  if (screenshot) setenv("KORVANET_DISPLAY", "headless", 1);

  WNDCLASSW wc{};
  wc.lpfnWndProc = FrameProc;
  wc.lpszClassName = u"KvScreenDemoFrame";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClassW(&wc);
  wc.lpfnWndProc = DemoProc;
  wc.lpszClassName = u"KvScreenDemo";
  wc.style = CS_DBLCLKS;
  wc.hbrBackground = nullptr;
  RegisterClassW(&wc);

  HWND frame = CreateWindowExW(0, u"KvScreenDemoFrame", u"Screen demo", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  RECT client;
  GetClientRect(frame, &client);
  HWND demo = CreateWindowExW(0, u"KvScreenDemo", u"", WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 4, client.right - 8,
                              client.bottom - 8, frame, reinterpret_cast<HMENU>(100), nullptr, nullptr);
  if (!frame || !demo) {
    std::fprintf(stderr, "korvanet-screen-demo: could not create the windows\n");
    return 1;
  }
  std::fprintf(stderr, "korvanet-screen-demo: %s display\n", kvplatform::uitest::BackendName());
  SetFocus(demo);
  if (seconds > 0) SetTimer(frame, 1, static_cast<UINT>(seconds) * 1000, nullptr);

  if (screenshot) {
    namespace ui = kvplatform::uitest;
    ui::WaitIdle();
    ui::DoubleTap(200, 290);
    ui::Tap(40, 270);
    ui::Tap(120, 250);
    ui::TypeText(u"Héllo, wörld");
    bool ok = ui::SaveScreenshot(screenshot);
    std::fprintf(stderr, ok ? "saved %s\n" : "could not save %s\n", screenshot);
    DestroyWindow(frame);
    return ok ? 0 : 1;
  }

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
