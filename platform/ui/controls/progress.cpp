// "msctls_progress32": a bar filled in the highlight colour in proportion to
// its position within its range.
#include "ui/controls/progress.h"

#include <algorithm>

#include "ui/controls/common_control_support.h"
#include "ui/painting/solid_fill.h"

namespace kvplatform::ui {
namespace {

struct ProgressState {
  int min = 0;
  int max = 100;
  int pos = 0;
  int step = 10;
};

void Redraw(HWND window) { InvalidateRect(window, nullptr, TRUE); }

LRESULT OnSetRange(HWND window, ProgressState& s, int min, int max) {
  LRESULT old = MAKELONG(s.min, s.max);
  if (max <= min) return 0;  // an empty range would divide by zero when drawn
  s.min = min;
  s.max = max;
  s.pos = std::clamp(s.pos, min, max);
  Redraw(window);
  return old;
}

LRESULT OnSetPos(HWND window, ProgressState& s, int pos) {
  int old = s.pos;
  s.pos = std::clamp(pos, s.min, s.max);
  if (s.pos != old) Redraw(window);
  return old;
}

// Past the end the bar starts over from the beginning, as a busy indicator.
LRESULT OnStepIt(HWND window, ProgressState& s) {
  int old = s.pos;
  long long range = s.max - s.min;
  long long next = static_cast<long long>(s.pos) + s.step;
  if (next > s.max) next = s.min + (next - s.min) % range;
  if (next < s.min) next = s.max - (s.min - next) % range;
  s.pos = static_cast<int>(next);
  if (s.pos != old) Redraw(window);
  return old;
}

void OnPaint(HWND window, const ProgressState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  FillSolid(dc, client, GetSysColor(COLOR_WINDOW));
  RECT inner = client;
  InflateRect(&inner, -1, -1);
  long long width = inner.right - inner.left;
  int filled = static_cast<int>(width * (s.pos - s.min) / (s.max - s.min));
  RECT bar{inner.left, inner.top, inner.left + filled, inner.bottom};
  if (filled > 0) FillSolid(dc, bar, GetSysColor(COLOR_HIGHLIGHT));
  EndPaint(window, &ps);
}

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = ControlState<ProgressState>(window);
  if (message == WM_NCCREATE) {
    AttachState(window, new ProgressState);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (!s) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case PBM_SETRANGE: return OnSetRange(window, *s, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
    case PBM_SETPOS: return OnSetPos(window, *s, static_cast<int>(static_cast<INT_PTR>(wParam)));
    case PBM_SETSTEP: {
      int old = s->step;
      s->step = static_cast<int>(static_cast<INT_PTR>(wParam));
      return old;
    }
    case PBM_STEPIT: return OnStepIt(window, *s);
    case PBM_GETPOS: return s->pos;
    case WM_PAINT: OnPaint(window, *s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_DESTROY: DetachState<ProgressState>(window); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

void RegisterProgressClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ProgressProc;
  wc.cbWndExtra = kStateBytes;
  wc.lpszClassName = PROGRESS_CLASSW;
  RegisterClassW(&wc);
}

}  // namespace kvplatform::ui
