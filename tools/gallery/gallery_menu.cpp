#include "gallery_menu.h"

#include <aygshell.h>
#include <kvresources.h>

#include <string>
#include <vector>

#include "gallery_pages.h"

namespace gallery {

namespace res = kvresources;

namespace {
constexpr UINT kStrPages = 40300, kStrPrevious = 40301, kStrNext = 40302;
constexpr UINT kBarImages = 201;

// Two 16 x 16 arrows, left and right, in the handheld's dark blue.
std::vector<std::string> ArrowImages() {
  std::vector<std::string> rows;
  for (int y = 0; y < 16; ++y) {
    int half = y < 8 ? y - 2 : 13 - y;  // 0..5..0: the arrow widens to the middle rows
    std::string left(16, '.'), right(16, '.');
    if (y >= 2 && y <= 13) {
      for (int x = 0; x <= half; ++x) {
        left[static_cast<size_t>(9 - x)] = '#';
        right[static_cast<size_t>(6 + x)] = '#';
      }
    }
    rows.push_back(left + right);
  }
  return rows;
}
}  // namespace

void DeclareMenuResources() {
  std::vector<res::MenuEntry> pageItems;
  const auto& pages = Pages();
  for (size_t i = 0; i < pages.size(); ++i)
    pageItems.push_back(res::MenuItem(pages[i].title, kCmdFirstPage + static_cast<UINT>(i)));
  pageItems.push_back(res::Separator());
  pageItems.push_back(res::MenuItem(u"Exit", kCmdExit));
  res::Script()
      .String(kStrPages, u"Pages")
      .String(kStrPrevious, u"Previous page")
      .String(kStrNext, u"Next page")
      .Menu(kMenuBarId, {res::Popup(u"Pages", pageItems)})
      .MenuBar(kMenuBarId, {res::DropDownButton(static_cast<WORD>(kCmdPagesMenu), kStrPages, 0),
                            res::ImageButton(0, static_cast<WORD>(kCmdPrevious), kStrPrevious),
                            res::ImageButton(1, static_cast<WORD>(kCmdNext), kStrNext)})
      .Bitmap(kBarImages, ArrowImages(), {{'#', RGB(0, 51, 153)}});
}

HWND CreatePageMenuBar(HWND page) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = page;
  info.nToolBarId = kMenuBarId;
  info.hInstRes = res::ProgramInstance();
  info.nBmpId = kBarImages;
  info.cBmpImages = 2;
  return SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
}

}  // namespace gallery
