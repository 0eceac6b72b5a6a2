// The screen's side of the services' hooks: window records get geometry,
// painting and input, message retrieval gets WM_PAINT, timers and the
// display, and MessageBoxW gets a real box.
#include <windows.h>

#include "core/screen_hooks.h"
#include "ui/controls/system_classes.h"
#include "ui/input/input.h"
#include "ui/dialogs/message_box.h"
#include "ui/windows/message_source.h"
#include "ui/screen/screen.h"
#include "ui/windows/window_events.h"

namespace kvplatform::ui {
namespace {

class ScreenLibraryHooks final : public ScreenHooks {
 public:
  void EnsureSystemClasses() override { ui::EnsureSystemClasses(); }
  RECT InitialWindowRect(DWORD style, int x, int y, int width, int height) override {
    return ui::InitialWindowRect(style, x, y, width, height);
  }
  void OnWindowCreated(HWND window, bool visible) override { ui::OnWindowCreated(window, visible); }
  void OnWindowDestroying(HWND window) override { ui::OnWindowDestroying(window); }
  void OnWindowDestroyed(HWND window) override { ui::OnWindowDestroyed(window); }
  void OnWindowForgotten(HWND window) override { ui::OnWindowForgotten(window); }
  void OnTextChanged(HWND window) override { ui::OnTextChanged(window); }
  void OnStyleChanged(HWND window, DWORD oldStyle, DWORD newStyle) override {
    ui::OnStyleChanged(window, oldStyle, newStyle);
  }
  LRESULT DefaultMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    return DefaultScreenMessage(window, message, wParam, lParam);
  }
  HWND FindWindowOfOtherProcess(LPCWSTR className, LPCWSTR windowName) override {
    return ui::FindWindowOfOtherProcess(className, windowName);
  }

  bool MakeMessage(DWORD threadId, HWND filter, UINT filterMin, UINT filterMax, bool remove, MSG* msg) override {
    return MakeScreenMessage(threadId, filter, filterMin, filterMax, remove, msg);
  }
  bool HasMessage(DWORD threadId, DWORD wakeMask) override { return HasScreenMessage(threadId, wakeMask); }
  DWORD BeforeBlock(DWORD threadId) override { return ui::BeforeBlock(threadId); }
  bool DispatchInternalMessage(const MSG& msg, LRESULT& result) override {
    return ui::DispatchInternalMessage(msg, result);
  }
  void AfterPaintDispatched(HWND window) override { ui::AfterPaintDispatched(window); }

  bool InUse() override { return ScreenInUse(); }
  int RunMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) override {
    return ui::RunMessageBox(owner, text, caption, type);
  }
};

// Before main(), so the first window a program makes already has a screen.
struct Registration {
  Registration() {
    static auto* hooks = new ScreenLibraryHooks;
    RegisterScreenHooks(*hooks);
  }
} gRegistration;

}  // namespace
}  // namespace kvplatform::ui

// The screen library's link options name this symbol, so the linker takes
// this file (and the registration above) into every program that links the
// library, even though no code calls into it.
extern "C" const int KvScreenHooksLinked = 1;
