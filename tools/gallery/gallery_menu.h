// The gallery's menu bar: a "Pages" menu to jump to any page or leave, and
// two image buttons for the previous and the next page.
#pragma once

#include <windows.h>

namespace gallery {

constexpr UINT kMenuBarId = 200;
constexpr UINT kCmdPagesMenu = 40100;
constexpr UINT kCmdPrevious = 40101;
constexpr UINT kCmdNext = 40102;
constexpr UINT kCmdExit = 40103;
constexpr UINT kCmdFirstPage = 40200;  // + page index

// Declares the menu, the bar, its strings and its images.
void DeclareMenuResources();

// Puts the bar on a page; its commands go to the page.
HWND CreatePageMenuBar(HWND page);

}  // namespace gallery
