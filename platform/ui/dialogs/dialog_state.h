// What the system keeps for each dialog window: the program's dialog
// procedure, the scale of its dialog units, and how it ended.
#pragma once

#include <memory>
#include <vector>

#include <windows.h>

namespace kvplatform::ui {

extern const char16_t kDialogClass[];
// DWL_MSGRESULT and DWL_USER live in the window's extra bytes.
constexpr int kDialogExtraBytes = 16;

struct DialogState {
  DLGPROC proc = nullptr;
  int baseX = 4, baseY = 8;  // pixels per 4 horizontal / 8 vertical dialog units
  bool ended = false;
  INT_PTR result = 0;
  HWND lastFocus = nullptr;
};

std::shared_ptr<DialogState> DialogStateOf(HWND dialog);
void RegisterDialogClass();
// Whether the window is a push button, and whether the default one.
bool IsPushButton(HWND window, bool* isDefault = nullptr);
bool HasClass(HWND window, const char16_t* className);
// The dialog's controls in the order they were made (the tab order).
std::vector<HWND> ChildrenInTabOrder(HWND dialog);

}  // namespace kvplatform::ui
