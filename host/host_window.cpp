// The window front end: the screen scaled by a whole factor (the window can be resized and
// made full screen with F11 or Alt+Return), the keyboard and game controllers as the
// console's buttons.
#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/gp2x_buttons.h"
#include "host/gp2x_host.h"
#include "host/host_frontend.h"
#include "host/host_settings.h"

namespace gp2x::host {
namespace {

namespace b = gp2x::buttons;

struct KeyBinding {
  SDL_Scancode key;
  uint32_t button;
};
// Arrows are the stick (kept apart: two arrows make a diagonal). A letter key presses the
// button of its own name, so the key a screen names is the key to press; Q and W are L and
// R as well, beside each other as the shoulders are. The rest as in README.md.
constexpr KeyBinding kKeys[] = {
    {SDL_SCANCODE_A, b::kA},           {SDL_SCANCODE_B, b::kB},          {SDL_SCANCODE_X, b::kX},
    {SDL_SCANCODE_Y, b::kY},           {SDL_SCANCODE_L, b::kL},          {SDL_SCANCODE_R, b::kR},
    {SDL_SCANCODE_Q, b::kL},           {SDL_SCANCODE_W, b::kR},
    {SDL_SCANCODE_RETURN, b::kStart},  {SDL_SCANCODE_BACKSPACE, b::kSelect},
    {SDL_SCANCODE_MINUS, b::kVolDown}, {SDL_SCANCODE_KP_MINUS, b::kVolDown},
    {SDL_SCANCODE_EQUALS, b::kVolUp},  {SDL_SCANCODE_KP_PLUS, b::kVolUp}, {SDL_SCANCODE_C, b::kPush},
};
struct PadBinding {
  SDL_GameControllerButton pad;
  uint32_t button;
};
// Face buttons by position: the console has A left, B right, X bottom, Y top.
constexpr PadBinding kPad[] = {
    {SDL_CONTROLLER_BUTTON_X, b::kA},          {SDL_CONTROLLER_BUTTON_B, b::kB},
    {SDL_CONTROLLER_BUTTON_A, b::kX},          {SDL_CONTROLLER_BUTTON_Y, b::kY},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, b::kL}, {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, b::kR},
    {SDL_CONTROLLER_BUTTON_START, b::kStart},  {SDL_CONTROLLER_BUTTON_BACK, b::kSelect},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, b::kPush},
};
constexpr int kStickDeadZone = 16000;
constexpr Uint64 kPumpEveryMs = 4;

class SdlWindow : public Frontend {
 public:
  SdlWindow(SDL_Window* window, SDL_Renderer* renderer) : window_(window), renderer_(renderer) {
    const Uint32 own = SDL_GetWindowPixelFormat(window);
    if (SDL_BITSPERPIXEL(own) == 32 && !SDL_ISPIXELFORMAT_FOURCC(own) && !SDL_ISPIXELFORMAT_INDEXED(own))
      texture_format_ = own;
    SDL_RendererInfo info{};
    software_ = SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE);
  }
  ~SdlWindow() override {
    for (const Pad& p : pads_) SDL_GameControllerClose(p.controller);
    if (texture_) SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER);
  }

  void present(const uint8_t* fb, const FbFormat& format) override {
    // The texture takes the window's own format: SDL's software renderer stretches such a
    // texture with a plain row copy, but one of another format (the framebuffer's 5:6:5)
    // pixel by pixel through its generic converter, which at scale 3 cost more than the
    // game's frame. The conversion here is one fast pass at the console's size.
    // SDL's software renderer stretches pixel by pixel; there the picture is widened here
    // by whole rows and copied into a texture of the window's own size, which it then
    // copies unscaled.
    const int scale = software_ ? whole_scale() : 1;
    // A frame like the one on screen (a title or a pause that redraws the same picture) is
    // not converted, scaled and sent to the display again: the window still holds it, and
    // an exposed or resized window is filled again from the texture.
    const size_t bytes = format.size();
    const bool same_format = format.bpp == shown_format_.bpp && format.green_length == shown_format_.green_length &&
                             format.xres_virtual == shown_format_.xres_virtual;
    if (texture_ && scale == texture_scale_ && same_format && shown_.size() == bytes &&
        std::memcmp(shown_.data(), fb, bytes) == 0) {
      pump_now_ = true;
      return;
    }
    if (texture_ && scale != texture_scale_) {
      SDL_DestroyTexture(texture_);
      texture_ = nullptr;
    }
    if (!texture_) {
      texture_ = SDL_CreateTexture(renderer_, texture_format_, SDL_TEXTUREACCESS_STREAMING, kScreenWidth * scale,
                                   kScreenHeight * scale);
      if (!texture_) return;
      texture_scale_ = scale;
      SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    }
    const uint8_t* pixels = fb;
    int pitch = static_cast<int>(format.line_length());
    Uint32 from = format.green_length == 5 ? SDL_PIXELFORMAT_RGB555 : SDL_PIXELFORMAT_RGB565;
    if (format.bpp != 16) {
      rgb_.resize(kScreenWidth * kScreenHeight * 3);
      framebuffer_to_rgb(fb, format, rgb_.data());
      pixels = rgb_.data();
      pitch = kScreenWidth * 3;
      from = SDL_PIXELFORMAT_RGB24;
    }
    void* texels = nullptr;
    int texture_pitch = 0;
    if (SDL_LockTexture(texture_, nullptr, &texels, &texture_pitch) != 0) return;
    if (scale == 1) {
      SDL_ConvertPixels(kScreenWidth, kScreenHeight, from, pixels, pitch, texture_format_, texels, texture_pitch);
    } else {
      native_.resize(kScreenWidth * kScreenHeight);
      SDL_ConvertPixels(kScreenWidth, kScreenHeight, from, pixels, pitch, texture_format_, native_.data(),
                        kScreenWidth * 4);
      widen(static_cast<uint8_t*>(texels), texture_pitch, scale);
    }
    SDL_UnlockTexture(texture_);
    shown_.assign(fb, fb + bytes);
    shown_format_ = format;
    show();
    pump_now_ = true;  // a frame is a good moment to take in the keys
  }

  Event pump() override {
    const Uint64 now = SDL_GetTicks64();
    if (!pump_now_ && now - last_pump_ < kPumpEveryMs) return Event::kNone;
    pump_now_ = false;
    last_pump_ = now;
    Event result = Event::kNone;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      switch (e.type) {
        case SDL_QUIT:
          return Event::kQuit;
        case SDL_WINDOWEVENT:
          if (e.window.event == SDL_WINDOWEVENT_CLOSE) return Event::kQuit;
          // A program that shows no new frame for a while (paused, loading) still fills the
          // window it was given.
          if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e.window.event == SDL_WINDOWEVENT_EXPOSED) show();
          break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
          const SDL_Scancode code = e.key.keysym.scancode;
          const bool down = e.type == SDL_KEYDOWN;
          // Alt+Return is the full-screen key, not Start.
          const bool full_screen_key = code == SDL_SCANCODE_F11 ||
                                       (code == SDL_SCANCODE_RETURN && (e.key.keysym.mod & KMOD_ALT));
          if (full_screen_key) {
            if (down && !e.key.repeat) toggle_full_screen();
            if (code != SDL_SCANCODE_RETURN || down) break;
          }
          if (code < SDL_NUM_SCANCODES && keys_[code] != down) {
            keys_[code] = down;
            take_change();
          }
          if (down && code == SDL_SCANCODE_F12 && !e.key.repeat) result = Event::kScreenshot;
          break;
        }
        case SDL_CONTROLLERDEVICEADDED:
          if (SDL_GameController* c = SDL_GameControllerOpen(e.cdevice.which)) {
            Pad pad{c, SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c)), {}, {}};
            for (int i = 0; i < SDL_CONTROLLER_BUTTON_MAX; ++i)
              pad.buttons[i] = SDL_GameControllerGetButton(c, static_cast<SDL_GameControllerButton>(i));
            for (int i = 0; i < SDL_CONTROLLER_AXIS_MAX; ++i)
              pad.axes[i] = SDL_GameControllerGetAxis(c, static_cast<SDL_GameControllerAxis>(i));
            pads_.push_back(pad);
          }
          break;
        case SDL_CONTROLLERDEVICEREMOVED:
          for (size_t i = 0; i < pads_.size(); ++i)
            if (pads_[i].id == e.cdevice.which) {
              SDL_GameControllerClose(pads_[i].controller);
              pads_.erase(pads_.begin() + static_cast<long>(i));
              break;
            }
          break;
        // A controller's buttons and axes as their events tell them, one change at a time,
        // as the keys: the state SDL keeps is only the last one of the pass.
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
          if (Pad* pad = find_pad(e.cbutton.which); pad && e.cbutton.button < SDL_CONTROLLER_BUTTON_MAX) {
            pad->buttons[e.cbutton.button] = e.type == SDL_CONTROLLERBUTTONDOWN;
            take_change();
          }
          break;
        case SDL_CONTROLLERAXISMOTION:
          if (Pad* pad = find_pad(e.caxis.which); pad && e.caxis.axis < SDL_CONTROLLER_AXIS_MAX) {
            pad->axes[e.caxis.axis] = e.caxis.value;
            take_change();
          }
          break;
        default:
          break;
      }
    }
    take_change();
    set_buttons(buttons_from(taken_));
    moved_ = 0;
    return result;
  }

 private:
  // The last frame, scaled by the largest whole factor that fits the window and centred on
  // black (the renderer's logical size and integer scale do the arithmetic).
  void show() {
    // Black only where the picture leaves bars: a picture that fills the window covers
    // every pixel anyway.
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(renderer_, &w, &h);
    const int scale = whole_scale();
    if (!texture_ || w != kScreenWidth * scale || h != kScreenHeight * scale) SDL_RenderClear(renderer_);
    if (texture_) SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  // The largest whole scale of the picture that fits the window (at least 1).
  int whole_scale() const {
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(renderer_, &w, &h);
    return std::max(1, std::min(w / kScreenWidth, h / kScreenHeight));
  }

  // native_ (the picture in the texture's format) into the texture, each pixel `scale`
  // times across and each row `scale` times down.
  void widen(uint8_t* texels, int pitch, int scale) const {
    for (int y = 0; y < kScreenHeight; ++y) {
      uint32_t* row = reinterpret_cast<uint32_t*>(texels + static_cast<size_t>(y) * scale * pitch);
      const uint32_t* from = native_.data() + static_cast<size_t>(y) * kScreenWidth;
      for (int x = 0; x < kScreenWidth; ++x) std::fill_n(row + x * scale, scale, from[x]);
      for (int k = 1; k < scale; ++k)
        std::memcpy(texels + (static_cast<size_t>(y) * scale + k) * pitch, row, sizeof(uint32_t) * kScreenWidth * scale);
    }
  }

  void toggle_full_screen() {
    const bool full = SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN;
    SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    show();
  }

  // Arrows kept apart in the low four bits (up, down, left, right) of the buttons the keys
  // and controllers hold now, so that a pass's changes can be told key by key.
  static constexpr uint32_t kArrowUp = 1, kArrowDown = 2, kArrowLeft = 4, kArrowRight = 8;
  static uint32_t buttons_from(uint32_t held) {
    return (held & ~b::kStick) | b::stick_from_arrows(held & kArrowUp, held & kArrowDown, held & kArrowLeft,
                                                      held & kArrowRight);
  }

  // After each key or controller event. The events of one pass are handed on together (two
  // arrows pressed in one pass close the diagonal at once), except where a key or button
  // goes back within the pass: what was held before it did is handed on first, a change the
  // layer holds until the program has read it (a quick tap, or keys sent by a tool).
  void take_change() {
    const uint32_t now = held_now();
    if ((now ^ taken_) & moved_) {
      set_buttons(buttons_from(taken_));
      moved_ = 0;
    }
    moved_ |= now ^ taken_;
    taken_ = now;
  }

  uint32_t held_now() const {
    bool up = keys_[SDL_SCANCODE_UP], down = keys_[SDL_SCANCODE_DOWN];
    bool left = keys_[SDL_SCANCODE_LEFT], right = keys_[SDL_SCANCODE_RIGHT];
    uint32_t pressed = 0;
    for (const KeyBinding& k : kKeys)
      if (keys_[k.key]) pressed |= k.button;
    for (const Pad& pad : pads_) {
      for (const PadBinding& p : kPad)
        if (pad.buttons[p.pad]) pressed |= p.button;
      const int x = pad.axes[SDL_CONTROLLER_AXIS_LEFTX], y = pad.axes[SDL_CONTROLLER_AXIS_LEFTY];
      up |= pad.buttons[SDL_CONTROLLER_BUTTON_DPAD_UP] || y < -kStickDeadZone;
      down |= pad.buttons[SDL_CONTROLLER_BUTTON_DPAD_DOWN] || y > kStickDeadZone;
      left |= pad.buttons[SDL_CONTROLLER_BUTTON_DPAD_LEFT] || x < -kStickDeadZone;
      right |= pad.buttons[SDL_CONTROLLER_BUTTON_DPAD_RIGHT] || x > kStickDeadZone;
      if (pad.axes[SDL_CONTROLLER_AXIS_TRIGGERLEFT] > kStickDeadZone) pressed |= b::kVolDown;
      if (pad.axes[SDL_CONTROLLER_AXIS_TRIGGERRIGHT] > kStickDeadZone) pressed |= b::kVolUp;
    }
    return pressed | (up ? kArrowUp : 0) | (down ? kArrowDown : 0) | (left ? kArrowLeft : 0) |
           (right ? kArrowRight : 0);
  }

  struct Pad {
    SDL_GameController* controller;
    SDL_JoystickID id;
    bool buttons[SDL_CONTROLLER_BUTTON_MAX];
    Sint16 axes[SDL_CONTROLLER_AXIS_MAX];
  };
  Pad* find_pad(SDL_JoystickID id) {
    for (Pad& p : pads_)
      if (p.id == id) return &p;
    return nullptr;
  }

  SDL_Window* window_;
  SDL_Renderer* renderer_;
  SDL_Texture* texture_ = nullptr;
  Uint32 texture_format_ = SDL_PIXELFORMAT_RGB888;
  std::vector<uint8_t> rgb_;
  std::vector<uint32_t> native_;  // the picture in the texture's format, before widening
  std::vector<uint8_t> shown_;    // the framebuffer's bytes last put in the texture
  FbFormat shown_format_;
  bool software_ = false;         // SDL's software renderer
  int texture_scale_ = 1;
  std::vector<Pad> pads_;
  uint32_t taken_ = 0;  // held_now() at the last event
  uint32_t moved_ = 0;  // what changed in it since the buttons were last handed on
  std::vector<bool> keys_ = std::vector<bool>(SDL_NUM_SCANCODES);  // held, from key events
  Uint64 last_pump_ = 0;
  bool pump_now_ = true;
};

// Whether the renderer draws with OpenGL that the processor rasterises (Mesa's llvmpipe,
// softpipe or swrast) rather than a graphics card.
bool software_opengl(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer, &info) != 0 || !info.name || std::strncmp(info.name, "opengl", 6) != 0)
    return false;
  using GetString = const unsigned char* (*)(unsigned int);
  const auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  constexpr unsigned int kGlRenderer = 0x1F01;
  const char* name = get_string ? reinterpret_cast<const char*>(get_string(kGlRenderer)) : nullptr;
  if (!name) return false;
  for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
    if (std::strstr(name, soft)) return true;
  return false;
}

}  // namespace

std::unique_ptr<Frontend> make_sdl_window(int scale, std::string* error) {
  // The host layer takes SIGINT and SIGTERM as requests to quit itself.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER) != 0) {
    *error = std::string("cannot open a window: ") + SDL_GetError() + " (try --headless)";
    return nullptr;
  }
  // Without a display SDL falls back to drivers that show nothing; take one only when asked.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!std::getenv("SDL_VIDEODRIVER") && driver &&
      (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
    *error = "cannot open a window: no display (try --headless)";
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER);
    return nullptr;
  }
  // The largest whole scale that fits the display's usable area (the desktop less its
  // panels); a larger one asked for is cut down to it.
  SDL_Rect usable{0, 0, kScreenWidth * kMaxScale, kScreenHeight * kMaxScale};
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) SDL_GetDisplayBounds(0, &usable);
  const int fits = std::clamp(std::min(usable.w / kScreenWidth, usable.h / kScreenHeight), 1, kMaxScale);
  if (scale > fits) {
    std::fprintf(stderr, "gp2x host: %s %d does not fit the display (%dx%d): scale %d\n",
                 setting_name("GP2X_SCALE").c_str(), scale, usable.w, usable.h, fits);
  }
  if (scale <= 0 || scale > fits) scale = fits;
  auto open = [scale](SDL_Window** window, Uint32 flags) -> SDL_Renderer* {
    *window = SDL_CreateWindow(program_invocation_short_name, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               kScreenWidth * scale, kScreenHeight * scale, SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    return *window ? SDL_CreateRenderer(*window, -1, flags) : nullptr;
  };
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = open(&window, 0);
  // On a display without a graphics card (a virtual X server, a remote desktop) OpenGL is
  // drawn by the processor, on a pool of threads that meet at every frame: that cost more
  // than the game itself. SDL's own software renderer copies the scaled picture straight
  // into the window's shared image instead, the same pixels for a fraction of the work.
  if (renderer && software_opengl(renderer)) {
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    renderer = open(&window, SDL_RENDERER_SOFTWARE);
  }
  if (window) SDL_ShowWindow(window);
  if (!renderer) {
    *error = std::string("cannot open a window: ") + SDL_GetError() + " (try --headless)";
    if (window) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER);
    return nullptr;
  }
  SDL_RenderSetLogicalSize(renderer, kScreenWidth, kScreenHeight);
  SDL_RenderSetIntegerScale(renderer, SDL_TRUE);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  return std::make_unique<SdlWindow>(window, renderer);
}

}  // namespace gp2x::host
