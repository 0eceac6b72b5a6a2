// A second program for the cross-process tests: shows a window of the given
// class and title under the given device root, puts another window above
// it, says "ready", and ends with status 0 once the first window is brought
// forward from outside (1 after ten seconds without).
#include <cstdio>
#include <cstdlib>

#include <kvplatform.h>
#include <windows.h>

namespace {

HWND gMain = nullptr;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ACTIVATE && hwnd == gMain && LOWORD(wParam) != WA_INACTIVE) {
    std::printf("foreground\n");
    std::fflush(stdout);
    std::exit(0);
  }
  if (msg == WM_TIMER) std::exit(1);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: ui_window_holder ROOT CLASS TITLE\n");
    return 2;
  }
  setenv("KORVANET_DISPLAY", "headless", 1);
  kvplatform::SetDeviceRoot(argv[1]);
  std::u16string cls = kvplatform::FromUtf8(argv[2]), title = kvplatform::FromUtf8(argv[3]);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = cls.c_str();
  RegisterClassW(&wc);
  HWND other = CreateWindowExW(0, cls.c_str(), u"Other", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  gMain = CreateWindowExW(0, cls.c_str(), title.c_str(), WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  SetTimer(other, 1, 10000, nullptr);
  std::printf("ready\n");
  std::fflush(stdout);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 1;
}
