#include "screenshot_tour.h"

#include <cstdio>

#include <windows.h>

#include "gallery_menu.h"
#include "gallery_pages.h"
#include "ui/testing.h"

namespace gallery {

namespace ui = kvplatform::uitest;

namespace {

// The visible page dialog with this title, or null after a few seconds.
HWND WaitForPage(const char16_t* title) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    ui::WaitIdle();
    HWND found = ui::FindByText(title);
    if (found && ui::StateOf(found).visible && GetParent(found) == nullptr) return found;
    Sleep(10);
  }
  return nullptr;
}

}  // namespace

ScreenshotTour::ScreenshotTour(std::string folder) : folder_(std::move(folder)), thread_([this] { Run(); }) {}

ScreenshotTour::~ScreenshotTour() {
  if (thread_.joinable()) thread_.join();
}

bool ScreenshotTour::Finish() {
  if (thread_.joinable()) thread_.join();
  return succeeded_;
}

void ScreenshotTour::Run() {
  const auto& pages = Pages();
  bool allSaved = true;
  HWND page = nullptr;
  for (size_t i = 0; i < pages.size(); ++i) {
    page = WaitForPage(pages[i].title);
    if (!page) {
      std::fprintf(stderr, "korvanet-gallery: page %zu did not appear\n", i + 1);
      allSaved = false;
      break;
    }
    pages[i].demo(page);
    ui::WaitIdle();
    std::string path = folder_ + "/" + pages[i].fileName + ".png";
    bool saved = ui::SaveScreenshot(path);
    std::fprintf(stderr, saved ? "saved %s\n" : "could not save %s\n", path.c_str());
    allSaved = allSaved && saved;
    PostMessageW(page, WM_COMMAND, i + 1 < pages.size() ? kCmdNext : kCmdExit, 0);
  }
  if (!allSaved && page == nullptr) {
    // Whatever page is up, leave it so the program ends.
    for (const Page& any : pages)
      if (HWND open = ui::FindByText(any.title)) PostMessageW(open, WM_COMMAND, kCmdExit, 0);
  }
  succeeded_ = allSaved;
}

}  // namespace gallery
