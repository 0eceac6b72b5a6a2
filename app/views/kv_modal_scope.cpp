#include "app/views/kv_modal_scope.h"

#include "app/document/app_globals.h"
#include "app/views/kv_appui.h"
#include "app/views/kv_frame.h"

TKvModalScope::TKvModalScope() {
  CKvFrame* frame = gKvAppUi != nullptr ? gKvAppUi->Frame() : nullptr;
  if (frame == nullptr) return;
  iFrame = frame->Window();
  iMenuBar = frame->MenuBar();
  iFrameDisabled = Disable(iFrame);
  iMenuBarDisabled = Disable(iMenuBar);
}

TKvModalScope::~TKvModalScope() {
  // Only what this scope disabled: an outer scope keeps its own.
  if (iMenuBarDisabled && IsWindow(iMenuBar)) EnableWindow(iMenuBar, TRUE);
  if (iFrameDisabled && IsWindow(iFrame)) EnableWindow(iFrame, TRUE);
}

bool TKvModalScope::Disable(HWND aWindow) {
  if (aWindow == nullptr || !IsWindow(aWindow) || !IsWindowEnabled(aWindow)) return false;
  EnableWindow(aWindow, FALSE);
  return true;
}
