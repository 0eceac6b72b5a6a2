// A pop-up menu on the screen, tracked in its own modal loop.
#pragma once

#include <string>

#include <windows.h>

namespace kvplatform::ui {

constexpr int kMenuRowHeight = 20;
constexpr int kMenuSeparatorHeight = 7;
extern const char16_t kPopupMenuClass[];

// The owner gets WM_INITMENUPOPUP (wParam: the menu, lParam: initParam),
// then the menu opens at the point (TPM_* alignment). Returns the chosen
// command, 0 when the user tapped outside or pressed Escape.
UINT RunPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner, LPARAM initParam);
void RegisterPopupMenuClass();

// Where the row showing `text` (without its '&' marks) lies in an open
// pop-up menu window, in screen coordinates; false when it has no such row.
bool PopupMenuRowOf(HWND popup, const std::u16string& text, RECT* screenRect);

}  // namespace kvplatform::ui
