// The headless tour: on a thread of its own, waits for each page in turn,
// uses it with the stylus and keys, saves its screen as DIR/<page>.png and
// moves on with the menu bar's "next" command; after the last page, exits.
#pragma once

#include <string>
#include <thread>

namespace gallery {

class ScreenshotTour {
 public:
  explicit ScreenshotTour(std::string folder);
  ~ScreenshotTour();
  ScreenshotTour(const ScreenshotTour&) = delete;
  ScreenshotTour& operator=(const ScreenshotTour&) = delete;

  // Waits for the tour to end; true when every page was shot.
  bool Finish();

 private:
  void Run();

  std::string folder_;
  bool succeeded_ = false;
  std::thread thread_;
};

}  // namespace gallery
