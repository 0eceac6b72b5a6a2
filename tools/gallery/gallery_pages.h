// The gallery's pages: one full-screen dialog per control kind. Each page
// has a template (built for the screen's dialog units), a fill step run in
// WM_INITDIALOG, a reaction to its controls' notifications, and a short
// scripted use for the headless tour.
#pragma once

#include <string>
#include <vector>

#include <kvresources.h>
#include <windows.h>

namespace gallery {

struct Page {
  const char16_t* title;
  const char* fileName;  // the screenshot's name, without ".png"
  kvresources::DialogDefinition (*layout)();
  void (*fill)(HWND dialog);
  // WM_COMMAND and WM_NOTIFY from the page's own controls; TRUE when handled.
  INT_PTR (*react)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  // Drives the page as a user would (stylus and keys), from the tour's thread.
  void (*demo)(HWND dialog);
};

const std::vector<Page>& Pages();

// The usable area of a full-screen dialog above the menu bar, in dialog units.
int PageWidthUnits();
int PageHeightUnits();

// A dialog definition with the page's caption and controls.
kvresources::DialogDefinition PageDialog(const char16_t* title, std::vector<kvresources::DialogControl> controls);

// Sets the "status" line each page keeps at its foot.
constexpr int kStatusId = 1900;
void SetStatus(HWND dialog, const std::u16string& text);
// A number in decimal digits, for the pages' status lines.
std::u16string Number(long value);
kvresources::DialogControl StatusLine();

// The page definitions, by kind.
Page StaticAndButtonsPage();
Page EditPage();
Page ListBoxPage();
Page ComboBoxPage();
Page ProgressPage();
Page TabControlPage();
Page TreeViewPage();
Page ListViewPage();

}  // namespace gallery
