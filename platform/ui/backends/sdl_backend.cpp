// The screen in a desktop window through SDL2: scaled with sharp pixels
// (KORVANET_SCALE, default 2); the left button is the stylus, the right
// button a tap-and-hold, the keyboard the keyboard (text through SDL's text
// events, so accented characters can be typed); F12 saves a screenshot;
// closing the window asks the program's top-level windows to go.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <kvplatform.h>
#include <windows.h>

#include "ui/backends/backend.h"
#include "ui/input/input.h"
#include "ui/screen/screen.h"
#include "ui/windows/window_tree.h"

namespace kvplatform::ui {
namespace {

UINT VirtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<UINT>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<UINT>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<UINT>(VK_F1 + (key - SDLK_F1));
  switch (key) {
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    default: return 0;
  }
}

// Keys that type a control character, which SDL's text events leave out.
char16_t ControlCharacterOf(UINT vk, bool control) {
  switch (vk) {
    case VK_RETURN: return u'\r';
    case VK_ESCAPE: return 0x1B;
    case VK_BACK: return 0x08;
    case VK_TAB: return u'\t';
    default: break;
  }
  if (control && vk >= 'A' && vk <= 'Z') return static_cast<char16_t>(vk - 'A' + 1);  // Ctrl+A is 1
  return 0;
}

class SdlBackend final : public ScreenBackend {
 public:
  bool Open() {
    // A tap always acts, also the one that gives the window the focus: X11
    // otherwise drops a press handled within 10 ms of the focus change, which
    // is every first tap that arrives while the program is still busy starting.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    const char* scaleText = std::getenv("KORVANET_SCALE");
    scale_ = scaleText ? std::atoi(scaleText) : 2;
    if (scale_ < 1 || scale_ > 8) scale_ = 2;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    window_ = SDL_CreateWindow("Korvanet", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kScreenWidth * scale_,
                               kScreenHeight * scale_, 0);
    if (!window_) return false;
    SetIcon();
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) return false;
    SDL_RenderSetLogicalSize(renderer_, kScreenWidth, kScreenHeight);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kScreenWidth,
                                 kScreenHeight);
    if (!texture_) return false;
    SDL_StartTextInput();
    return true;
  }

  ~SdlBackend() override {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  const char* Name() const override { return "sdl"; }

  void Present(const uint32_t* pixels, int width, int height) override {
    SDL_UpdateTexture(texture_, nullptr, pixels, width * 4);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    (void)height;
  }

  DWORD Pump() override {
    SDL_Event event;
    // One button event per call: its messages are handled (capture set)
    // before the next is routed.
    while (SDL_PollEvent(&event)) {
      if (Handle(event)) break;
    }
    DWORD hold = CheckHold(GetTickCount());
    return std::min<DWORD>(hold, 15);  // the display is polled while the thread waits
  }

 private:
  // The renderer's logical size already turns mouse event positions into
  // handheld pixels; only a press outside the scaled picture (letterbox)
  // needs pulling back onto the screen.
  static POINT ScreenPoint(int x, int y) {
    return POINT{std::clamp<LONG>(x, 0, kScreenWidth - 1), std::clamp<LONG>(y, 0, kScreenHeight - 1)};
  }

  // Returns true after a stylus press or release.
  bool Handle(const SDL_Event& e) {
    switch (e.type) {
      case SDL_QUIT:
        RequestDestroyAll();
        return false;
      case SDL_MOUSEBUTTONDOWN: {
        POINT p = ScreenPoint(e.button.x, e.button.y);
        StylusDown(p, GetTickCount());
        if (e.button.button == SDL_BUTTON_RIGHT) StylusHold();
        return true;
      }
      case SDL_MOUSEBUTTONUP:
        StylusUp(ScreenPoint(e.button.x, e.button.y), GetTickCount());
        return true;
      case SDL_MOUSEMOTION:
        if (e.motion.state & (SDL_BUTTON_LMASK | SDL_BUTTON_RMASK))
          StylusMove(ScreenPoint(e.motion.x, e.motion.y), GetTickCount());
        return false;
      case SDL_KEYDOWN: {
        if (e.key.keysym.sym == SDLK_F12) {
          SaveScreenshot();
          return false;
        }
        UINT vk = VirtualKeyOf(e.key.keysym.sym);
        if (vk == 0) return false;
        KeyDown(vk);
        if (char16_t c = ControlCharacterOf(vk, (e.key.keysym.mod & KMOD_CTRL) != 0)) Character(c);
        return false;
      }
      case SDL_KEYUP: {
        UINT vk = VirtualKeyOf(e.key.keysym.sym);
        if (vk) KeyUp(vk);
        return false;
      }
      case SDL_TEXTINPUT: {
        for (char16_t c : FromUtf8(e.text.text)) Character(c);
        return false;
      }
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
          auto frame = CopyFrameBuffer();
          Present(frame.data(), kScreenWidth, kScreenHeight);
        }
        return false;
      default:
        return false;
    }
  }

  // The menu entry's icon, for task bars and window switchers that take it
  // from the window rather than from the desktop entry.
  void SetIcon() {
    const std::string relative = "icons/hicolor/48x48/apps/korvanet.png";
    std::string path = InstalledDataFile(relative);
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    if (path.empty() || !LoadPng(path, pixels, width, height)) {
      std::fprintf(stderr, "korvanet: window icon %s not found beside the program\n", relative.c_str());
      return;
    }
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), width, height, 32, width * 4,
                                                          SDL_PIXELFORMAT_ARGB8888);
    if (icon == nullptr) return;
    SDL_SetWindowIcon(window_, icon);  // SDL keeps its own copy
    SDL_FreeSurface(icon);
  }

  void SaveScreenshot() {
    char name[64];
    std::time_t now = std::time(nullptr);
    std::strftime(name, sizeof name, "korvanet-%Y%m%d-%H%M%S.png", std::localtime(&now));
    auto frame = CopyFrameBuffer();
    bool ok = SavePng(name, frame.data(), kScreenWidth, kScreenHeight);
    std::fprintf(stderr, ok ? "korvanet: screenshot saved as %s\n" : "korvanet: could not save %s\n", name);
  }

  int scale_ = 2;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
};

}  // namespace

std::unique_ptr<ScreenBackend> MakeSdlBackend() {
  auto backend = std::make_unique<SdlBackend>();
  if (!backend->Open()) {
    std::fprintf(stderr, "korvanet: SDL: %s\n", SDL_GetError());
    return nullptr;
  }
  return backend;
}

}  // namespace kvplatform::ui
