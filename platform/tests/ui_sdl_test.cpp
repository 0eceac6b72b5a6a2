// The SDL back end on SDL's off-screen video driver: a click in the scaled
// desktop window reaches the window under it at the handheld position, and
// keys arrive as keys. Its own executable: the screen's back end is chosen
// once per process.
#include <SDL2/SDL.h>

#include <cstdlib>

#include <gtest/gtest.h>
#include <windows.h>

#include "testing/wait_until.h"
#include "ui_test_support.h"

using namespace uitest_support;

namespace {

// Hands queued input to the window procedures, as the program's loop does,
// until the condition holds.
template <typename Condition>
bool PumpUntil(Condition aCondition) {
  return kvtest::WaitUntil([&] {
    MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, 0);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return aCondition();
  });
}

void PushButton(Uint32 type, int x, int y) {
  SDL_Event e{};
  e.type = type;
  e.button.windowID = 1;  // the back end's only window
  e.button.button = SDL_BUTTON_LEFT;
  e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  e.button.x = x;
  e.button.y = y;
  SDL_PushEvent(&e);
}

TEST(UiSdl, ClicksInTheScaledWindowLandAtTheirHandheldPosition) {
  // Set before the first window starts the screen.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("KORVANET_SCALE", "2", 1);
  RegisterRecorder();  // chooses headless; the line below overrides it
  setenv("KORVANET_DISPLAY", "sdl", 1);
  HWND top = MakeWindow(WS_VISIBLE, 0, 26, 240, 294, nullptr, RGB(255, 255, 255));
  ASSERT_NE(top, nullptr);
  if (SDL_GetWindowFromID(1) == nullptr) GTEST_SKIP() << "SDL's off-screen driver is not available";

  // A press at window pixel (98, 130) is handheld pixel (49, 65): client (49, 39).
  Log().clear();
  PushButton(SDL_MOUSEBUTTONDOWN, 98, 130);
  PushButton(SDL_MOUSEBUTTONUP, 98, 130);
  ASSERT_TRUE(PumpUntil([&] { return Last(top, WM_LBUTTONUP) != nullptr; }));
  const Seen* down = Last(top, WM_LBUTTONDOWN);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(kvplatform::ui::PointFromParam(down->lParam).x, 49);
  EXPECT_EQ(kvplatform::ui::PointFromParam(down->lParam).y, 65 - 26);

  // A key typed in the window comes as the key and its character.
  SetFocus(top);
  Log().clear();
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.windowID = 1;
  key.key.state = SDL_PRESSED;
  key.key.keysym.sym = SDLK_RETURN;
  SDL_PushEvent(&key);
  ASSERT_TRUE(PumpUntil([&] { return Last(top, WM_CHAR) != nullptr; }));
  const Seen* keyDown = Last(top, WM_KEYDOWN);
  ASSERT_NE(keyDown, nullptr);
  EXPECT_EQ(keyDown->wParam, static_cast<WPARAM>(VK_RETURN));
  const Seen* character = Last(top, WM_CHAR);
  ASSERT_NE(character, nullptr);
  EXPECT_EQ(character->wParam, static_cast<WPARAM>(u'\r'));
  DestroyWindow(top);
}

}  // namespace
