// korvanet-gallery: every control kind on a full-screen page of its own,
// with the menu bar to move between pages ("Pages" menu, previous and next
// arrows). "ok" or Escape leaves.
//
//   korvanet-gallery                      run until left
//   korvanet-gallery --page N             start on page N (1-based)
//   korvanet-gallery --seconds N          leave by itself after N seconds
//   korvanet-gallery --screenshots DIR    headless: use each page, save DIR/<page>.png, end
#include <aygshell.h>
#include <commctrl.h>
#include <kvplatform.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gallery_menu.h"
#include "gallery_pages.h"
#include "screenshot_tour.h"
#include "ui/testing.h"

namespace {

using namespace gallery;

constexpr INT_PTR kLeave = 1000;  // a page's result: leave the gallery (else the page to show)
constexpr UINT_PTR kDeadlineTimer = 77;
DWORD gDeadline = 0;  // GetTickCount() at which to leave; 0 for never

struct PageRun {
  size_t index;
};

INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  static size_t current = 0;
  const auto& pages = Pages();
  switch (message) {
    case WM_INITDIALOG: {
      current = reinterpret_cast<PageRun*>(lParam)->index;
      SHINITDLGINFO info{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
      SHInitDialog(&info);
      if (!CreatePageMenuBar(dialog)) std::fprintf(stderr, "korvanet-gallery: no menu bar\n");
      pages[current].fill(dialog);
      if (gDeadline) {
        auto left = static_cast<LONG>(gDeadline - GetTickCount());
        SetTimer(dialog, kDeadlineTimer, left > 0 ? static_cast<UINT>(left) : 1, nullptr);
      }
      return TRUE;
    }
    case WM_TIMER:
      if (wParam != kDeadlineTimer) return FALSE;
      EndDialog(dialog, kLeave);
      return TRUE;
    case WM_INITMENUPOPUP: {
      // The "Pages" menu ticks the page on show.
      auto menu = reinterpret_cast<HMENU>(wParam);
      for (size_t i = 0; i < pages.size(); ++i)
        CheckMenuItem(menu, kCmdFirstPage + static_cast<UINT>(i),
                      MF_BYCOMMAND | (i == current ? MF_CHECKED : MF_UNCHECKED));
      return TRUE;
    }
    case WM_COMMAND: {
      UINT command = LOWORD(wParam);
      size_t count = pages.size();
      if (command == IDOK || command == IDCANCEL || command == kCmdExit) {
        EndDialog(dialog, kLeave);
        return TRUE;
      }
      if (command == kCmdNext || command == kCmdPrevious) {
        EndDialog(dialog, static_cast<INT_PTR>((current + (command == kCmdNext ? 1 : count - 1)) % count));
        return TRUE;
      }
      if (command >= kCmdFirstPage && command < kCmdFirstPage + count) {
        EndDialog(dialog, static_cast<INT_PTR>(command - kCmdFirstPage));
        return TRUE;
      }
      return pages[current].react(dialog, message, wParam, lParam);
    }
    case WM_NOTIFY:
      return pages[current].react(dialog, message, wParam, lParam);
    default:
      return FALSE;
  }
}

int Usage() {
  std::fprintf(stderr, "usage: korvanet-gallery [--page N] [--seconds N] [--screenshots DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long seconds = 0, firstPage = 1;
  const char* screenshots = nullptr;
  for (int i = 1; i < argc; ++i) {
    bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) {
      seconds = std::strtol(argv[++i], nullptr, 10);
      if (seconds <= 0) return Usage();
    } else if (std::strcmp(argv[i], "--page") == 0 && hasValue) {
      firstPage = std::strtol(argv[++i], nullptr, 10);
      if (firstPage < 1 || firstPage > static_cast<long>(Pages().size())) return Usage();
    } else if (std::strcmp(argv[i], "--screenshots") == 0 && hasValue) {
      screenshots = argv[++i];
    } else {
      return Usage();
    }
  }
  if (screenshots) setenv("KORVANET_DISPLAY", "headless", 1);
  if (seconds > 0) gDeadline = GetTickCount() + static_cast<DWORD>(seconds) * 1000;

  INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                             ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&init);
  DeclareMenuResources();

  std::unique_ptr<ScreenshotTour> tour;
  if (screenshots) {
    std::string command = std::string("mkdir -p '") + screenshots + "'";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "korvanet-gallery: cannot create %s\n", screenshots);
      return 1;
    }
    tour = std::make_unique<ScreenshotTour>(screenshots);
  }

  PageRun run{static_cast<size_t>(firstPage - 1)};
  for (;;) {
    std::vector<BYTE> bytes = kvresources::DialogTemplateBytes(Pages()[run.index].layout());
    INT_PTR result = DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(bytes.data()), nullptr,
                                             PageProc, reinterpret_cast<LPARAM>(&run));
    if (result < 0) {
      std::fprintf(stderr, "korvanet-gallery: page %zu could not be shown (error %lu)\n", run.index + 1,
                   static_cast<unsigned long>(GetLastError()));
      return 1;
    }
    if (result == kLeave) break;
    run.index = static_cast<size_t>(result);
  }
  return tour && !tour->Finish() ? 1 : 0;
}
