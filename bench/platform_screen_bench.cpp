// Screen benchmarks (headless): composing and presenting a screen full of
// text, glyphs drawn per second, and the time from an injected tap to the
// repainted frame.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include <windows.h>

#include "ui/screen/screen.h"
#include "ui/testing.h"

namespace {

int gTaps = 0;

LRESULT CALLBACK TextProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    WCHAR line[64];
    for (int y = 0, row = 0; y < client.bottom; y += tm.tmHeight, ++row) {
      int n = wsprintfW(line, u"%d Message from +44 7700 900%03d: see you at eight", row + gTaps, row);
      ExtTextOutW(dc, 2, y, 0, nullptr, line, static_cast<UINT>(n), nullptr);
    }
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_LBUTTONDOWN) {
    ++gTaps;
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND TextWindow() {
  static HWND window = [] {
    setenv("KORVANET_DISPLAY", "headless", 1);
    WNDCLASSW wc{};
    wc.lpfnWndProc = TextProc;
    wc.lpszClassName = u"KvBenchText";
    RegisterClassW(&wc);
    return CreateWindowExW(0, u"KvBenchText", u"Bench", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  }();
  return window;
}

void BM_ComposeAndPresentFullScreenOfText(benchmark::State& state) {
  HWND window = TextWindow();
  for (auto _ : state) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    kvplatform::ui::PresentIfDirty();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComposeAndPresentFullScreenOfText)->Unit(benchmark::kMicrosecond);

void BM_GlyphsDrawn(benchmark::State& state) {
  HWND window = TextWindow();
  HDC dc = GetDC(window);
  const char16_t text[] = u"The quick brown fox jumps over the lazy dog 0123456789";
  const UINT count = sizeof text / sizeof text[0] - 1;
  for (auto _ : state) ExtTextOutW(dc, 0, 100, 0, nullptr, text, count, nullptr);
  ReleaseDC(window, dc);
  state.SetItemsProcessed(state.iterations() * count);  // glyphs per second
}
BENCHMARK(BM_GlyphsDrawn);

void BM_TapToRepaintedFrame(benchmark::State& state) {
  HWND window = TextWindow();
  kvplatform::uitest::WaitIdle();
  for (auto _ : state) {
    kvplatform::uitest::Tap(120, 160);  // returns once the tap is handled and repainted
    kvplatform::ui::PresentIfDirty();
  }
  (void)window;
}
BENCHMARK(BM_TapToRepaintedFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
