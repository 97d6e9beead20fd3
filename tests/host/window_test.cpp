// The window path under SDL's dummy video driver: it opens at a scale that fits, shows
// frames at a whole scale however it is resized, turns keys into button bits, goes full
// screen on F11 and Alt+Return, and asks the program to quit when closed.
#include <SDL.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <linux/fb.h>
#include <string>
#include <vector>

#include "host/gp2x_buttons.h"
#include "tests/host/host_fixture.h"

namespace {

using namespace gp2x;  // host:: controls
namespace b = gp2x::buttons;

class WindowTest : public HostTest {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    settings_.headless = false;  // a window, on the virtual clock so nothing waits for real
    settings_.audio = "null";
    settings_.scale = 2;
    settings_.quit_guard_ms = 0;  // the test process goes on after the window is closed
    HostTest::SetUp();
    fb0_ = gp2x::open("/dev/fb0", O_RDWR);
    ASSERT_GT(fb0_, 0);
  }
  // Starts the layer again with settings_, with a new window.
  void restart() {
    gp2x::close(fb0_);
    reconfigure();
    fb0_ = gp2x::open("/dev/fb0", O_RDWR);
    ASSERT_GT(fb0_, 0);
  }
  // The layer's window (one at a time; each start makes a new one).
  static SDL_Window* window() {
    static Uint32 last = 1;
    for (Uint32 id = last; id < last + 1000; ++id)
      if (SDL_Window* w = SDL_GetWindowFromID(id)) {
        last = id;
        return w;
      }
    return nullptr;
  }
  void TearDown() override {
    gp2x::close(fb0_);
    host::configure(quiet_settings());  // closes the window
    HostTest::TearDown();
  }
  // The puzzle engine's per-frame screen query: a frame is shown and the keys taken in.
  void frame() {
    fb_var_screeninfo v{};
    ASSERT_EQ(gp2x::ioctl(fb0_, FBIOGET_VSCREENINFO, &v), 0);
  }
  static void key(SDL_Scancode code, bool down, Uint16 mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = code;
    e.key.keysym.mod = mod;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&e);
  }
  uint32_t pressed() {
    const uint32_t word = (reg16(0x1198) & 0xFF) | (reg16(0x1184) & 0xFF00) |
                          static_cast<uint32_t>(reg16(0x1186)) << 16;
    return ~word & b::kAll;
  }
  int fb0_ = 0;
};

TEST_F(WindowTest, OpensAndShowsFrames) {
  ASSERT_NE(window(), nullptr);
  int w = 0, h = 0;
  SDL_GetWindowSize(window(), &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  for (int i = 0; i < 3; ++i) {
    host::framebuffer(0)[i] = 0xFF;
    frame();
  }
}

// The window shows the framebuffer's colours whatever its depth and line length: pixels
// along the top row and at the far corner, read back from the window, match the
// screenshot's conversion of the same framebuffer.
TEST_F(WindowTest, ShowsTheFramebuffersColoursInEveryFormat) {
  struct Case {
    int bpp, xres_virtual;
  };
  for (const Case c : {Case{16, 320}, Case{16, 400}, Case{32, 320}}) {
    SCOPED_TRACE(std::to_string(c.bpp) + " bits, " + std::to_string(c.xres_virtual) + " wide");
    settings_.fb_bpp = c.bpp;
    settings_.fb_xres_virtual = c.xres_virtual;
    restart();
    const int bytes = c.bpp / 8, line = c.xres_virtual * bytes;
    const int spots[][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {319, 239}};
    int n = 0;
    for (const auto& s : spots) {
      for (int k = 0; k < bytes; ++k)
        host::framebuffer(0)[s[1] * line + s[0] * bytes + k] = static_cast<uint8_t>(0x35 * n + 0x5B * k + 0x11);
      ++n;
    }
    frame();
    const std::vector<uint8_t> rgb = host::screen_rgb();
    SDL_Renderer* renderer = SDL_GetRenderer(window());
    SDL_RenderSetScale(renderer, 1, 1);
    SDL_RenderSetViewport(renderer, nullptr);
    for (const auto& s : spots) {
      SDL_Rect r{s[0] * 2 + 1, s[1] * 2 + 1, 1, 1};  // scale 2
      uint32_t v = 0;
      ASSERT_EQ(SDL_RenderReadPixels(renderer, &r, SDL_PIXELFORMAT_RGB888, &v, 4), 0);
      const uint8_t* want = &rgb[(s[1] * 320 + s[0]) * 3];
      for (int ch = 0; ch < 3; ++ch) {
        const int got = (v >> (16 - 8 * ch)) & 0xFF;
        // Expanding 5 or 6 bits to 8 may round a little differently from the screenshot's.
        EXPECT_NEAR(got, want[ch], 8) << "at " << s[0] << "," << s[1] << " channel " << ch;
      }
    }
  }
}

// A frame like the one on screen is passed over, so the window must still tell a frame
// that differs in its very last pixel: the far corner, read back after each frame, is
// always the framebuffer's.
TEST_F(WindowTest, AFrameDifferingInItsLastPixelIsShown) {
  uint8_t* fb = host::framebuffer(0);
  const int last = (320 * 240 - 1) * 2;
  SDL_Renderer* renderer = SDL_GetRenderer(window());
  for (const uint16_t colour : {0xF800, 0xF800, 0x07E0, 0x07E0, 0xF800}) {
    SCOPED_TRACE(colour);
    std::memcpy(fb + last, &colour, 2);
    frame();
    SDL_RenderSetScale(renderer, 1, 1);
    SDL_RenderSetViewport(renderer, nullptr);
    SDL_Rect r{639, 479, 1, 1};  // scale 2
    uint32_t v = 0;
    ASSERT_EQ(SDL_RenderReadPixels(renderer, &r, SDL_PIXELFORMAT_RGB888, &v, 4), 0);
    EXPECT_EQ(v & 0xF0F0F0, colour == 0xF800 ? 0xF00000u : 0x00F000u);  // red or green
  }
}

TEST_F(WindowTest, KeysAreTheConsolesButtons) {
  struct Case {
    std::vector<SDL_Scancode> keys;
    uint32_t buttons;
  };
  const Case cases[] = {
      {{SDL_SCANCODE_A}, b::kA},
      {{SDL_SCANCODE_B}, b::kB},
      {{SDL_SCANCODE_X}, b::kX},
      {{SDL_SCANCODE_Y}, b::kY},
      {{SDL_SCANCODE_L, SDL_SCANCODE_R}, b::kL | b::kR},
      {{SDL_SCANCODE_Q, SDL_SCANCODE_W}, b::kL | b::kR},
      {{SDL_SCANCODE_Z, SDL_SCANCODE_S}, 0},  // keys no button is named after
      {{SDL_SCANCODE_RETURN, SDL_SCANCODE_BACKSPACE}, b::kStart | b::kSelect},
      {{SDL_SCANCODE_MINUS, SDL_SCANCODE_EQUALS, SDL_SCANCODE_C}, b::kVolDown | b::kVolUp | b::kPush},
      {{SDL_SCANCODE_UP}, b::kUp},
      {{SDL_SCANCODE_UP, SDL_SCANCODE_LEFT}, b::kUpLeft},
      {{SDL_SCANCODE_DOWN, SDL_SCANCODE_RIGHT}, b::kDownRight},
      {{}, 0},
  };
  for (const Case& c : cases) {
    for (SDL_Scancode k : c.keys) key(k, true);
    frame();
    EXPECT_EQ(pressed(), c.buttons);
    for (SDL_Scancode k : c.keys) key(k, false);
    frame();
    EXPECT_EQ(pressed(), 0u);
  }
}

// Keys that change between two reads of the buttons (a quick tap, a tool sending keys, a
// frame that comes late) reach the program: each change is read, and kept through the
// frame it was read in, even while the host takes in events within that frame.
TEST_F(WindowTest, KeysChangedBetweenReadsAreRead) {
  struct Press {
    SDL_Scancode key;
    bool down;
  };
  struct Case {
    const char* what;
    std::vector<Press> before;  // sent before the frame
    std::vector<uint32_t> frames;  // what each frame from then on reads, twice within it
  };
  const Case cases[] = {
      {"a tap", {{SDL_SCANCODE_A, true}, {SDL_SCANCODE_A, false}}, {b::kA, 0}},
      {"a tap of two keys",
       {{SDL_SCANCODE_A, true}, {SDL_SCANCODE_B, true}, {SDL_SCANCODE_A, false}, {SDL_SCANCODE_B, false}},
       {b::kA | b::kB, 0}},
      {"an arrow's tap", {{SDL_SCANCODE_LEFT, true}, {SDL_SCANCODE_LEFT, false}}, {b::kLeft, 0}},
      {"a key held", {{SDL_SCANCODE_Y, true}}, {b::kY, b::kY}},
      {"the held key let go and pressed again", {{SDL_SCANCODE_Y, false}, {SDL_SCANCODE_Y, true}}, {0, b::kY}},
      {"and let go", {{SDL_SCANCODE_Y, false}}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const Press& p : c.before) key(p.key, p.down);
    for (const uint32_t want : c.frames) {
      frame();
      EXPECT_EQ(pressed(), want);
      SDL_Delay(10);  // the host takes in events again within the frame
      EXPECT_EQ(pressed(), want);
    }
  }
}

// A game controller plugged in while the window is open (SDL's virtual one here): face
// buttons by position, shoulders, Start and Back, the stick pressed, the d-pad or the
// left stick as the stick, the triggers as the volume.
TEST_F(WindowTest, AGameControllerIsTheConsolesButtons) {
  // The dummy driver's window never has the focus, without which SDL drops pad input.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.name = "test pad";
  const int index = SDL_JoystickAttachVirtualEx(&desc);
  ASSERT_GE(index, 0) << SDL_GetError();
  SDL_Joystick* pad = SDL_JoystickOpen(index);
  ASSERT_NE(pad, nullptr) << SDL_GetError();
  frame();  // the layer takes the new controller in
  struct Case {
    std::vector<SDL_GameControllerButton> buttons;
    std::vector<std::pair<SDL_GameControllerAxis, Sint16>> axes;
    uint32_t pressed;
  };
  const Case cases[] = {
      {{SDL_CONTROLLER_BUTTON_X}, {}, b::kA},
      {{SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_Y}, {}, b::kB | b::kX | b::kY},
      {{SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER}, {}, b::kL | b::kR},
      {{SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_BACK, SDL_CONTROLLER_BUTTON_LEFTSTICK}, {},
       b::kStart | b::kSelect | b::kPush},
      {{SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_LEFT}, {}, b::kUpLeft},
      {{}, {{SDL_CONTROLLER_AXIS_LEFTX, 30000}, {SDL_CONTROLLER_AXIS_LEFTY, 30000}}, b::kDownRight},
      {{}, {{SDL_CONTROLLER_AXIS_LEFTX, 2000}}, 0},  // inside the dead zone
      {{}, {{SDL_CONTROLLER_AXIS_TRIGGERLEFT, 30000}, {SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 30000}},
       b::kVolDown | b::kVolUp},
  };
  for (const Case& c : cases) {
    for (SDL_GameControllerButton p : c.buttons) SDL_JoystickSetVirtualButton(pad, p, SDL_PRESSED);
    for (const auto& [axis, value] : c.axes) SDL_JoystickSetVirtualAxis(pad, axis, value);
    frame();
    EXPECT_EQ(pressed(), c.pressed);
    for (SDL_GameControllerButton p : c.buttons) SDL_JoystickSetVirtualButton(pad, p, SDL_RELEASED);
    for (const auto& [axis, value] : c.axes) {  // a trigger at rest is at its lowest value
      const bool trigger = axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT || axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
      SDL_JoystickSetVirtualAxis(pad, axis, trigger ? SDL_JOYSTICK_AXIS_MIN : 0);
    }
    frame();
    EXPECT_EQ(pressed(), 0u);
  }
  SDL_JoystickClose(pad);
  SDL_JoystickDetachVirtual(index);
  frame();
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "0");
}

TEST_F(WindowTest, ClosingTheWindowAsksTheProgramToQuit) {
  EXPECT_FALSE(gp2x::quit_requested());
  testing::internal::CaptureStderr();
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
  frame();
  frame();  // the program goes on to its own quit path, and the window stays until it ends
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "gp2x host: window closed: the program is asked to quit\n");
  EXPECT_TRUE(gp2x::quit_requested());
  EXPECT_NE(window(), nullptr);
}

// The dummy video driver's display is 1024x768: a scale of 3 fits it, 4 does not.
TEST_F(WindowTest, TheScaleFitsTheDisplay) {
  struct Case {
    int scale;
    int width, height;
    const char* note;
  };
  const Case cases[] = {
      {0, 960, 720, ""},  // the largest that fits
      {1, 320, 240, ""},
      {8, 960, 720, "gp2x host: GP2X_SCALE 8 does not fit the display (1024x768): scale 3\n"},
  };
  for (const Case& c : cases) {
    settings_.scale = c.scale;
    testing::internal::CaptureStderr();
    restart();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.note) << c.scale;
    int w = 0, h = 0;
    SDL_GetWindowSize(window(), &w, &h);
    EXPECT_EQ(w, c.width) << c.scale;
    EXPECT_EQ(h, c.height) << c.scale;
  }
}

TEST_F(WindowTest, AResizedWindowKeepsAWholeScaleCentredOnBlack) {
  std::fill_n(reinterpret_cast<uint16_t*>(host::framebuffer(0)), 320 * 240, 0xFFFF);
  struct Case {
    int width, height;
    int scale, left, top;  // of the picture in the window
  };
  const Case cases[] = {{1000, 700, 2, 180, 110}, {640, 480, 2, 0, 0}, {1024, 768, 3, 32, 24}, {400, 300, 1, 40, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    SDL_SetWindowSize(window(), c.width, c.height);
    frame();
    SDL_Renderer* renderer = SDL_GetRenderer(window());
    float sx = 0, sy = 0;
    SDL_RenderGetScale(renderer, &sx, &sy);
    EXPECT_EQ(sx, float(c.scale));
    EXPECT_EQ(sy, float(c.scale));
    // Read back through the renderer's scale: one logical pixel is c.scale window pixels.
    SDL_RenderSetScale(renderer, 1, 1);
    SDL_RenderSetViewport(renderer, nullptr);
    auto pixel = [&](int x, int y) {
      SDL_Rect r{x, y, 1, 1};
      uint32_t v = 0;
      SDL_RenderReadPixels(renderer, &r, SDL_PIXELFORMAT_RGB888, &v, 4);
      return v & 0xFFFFFF;
    };
    // White (SDL's conversions may round a channel down by one), black around it.
    auto white = [&](int x, int y) { return (pixel(x, y) & 0xF0F0F0) == 0xF0F0F0; };
    EXPECT_TRUE(white(c.left, c.top));
    EXPECT_TRUE(white(c.left + 320 * c.scale - 1, c.top + 240 * c.scale - 1));
    if (c.left > 0) {
      EXPECT_EQ(pixel(c.left - 1, c.top), 0u);
      EXPECT_EQ(pixel(c.left + 320 * c.scale, c.top), 0u);
    }
    if (c.top > 0) {
      EXPECT_EQ(pixel(c.left, c.top - 1), 0u);
      EXPECT_EQ(pixel(c.left, c.top + 240 * c.scale), 0u);
    }
  }
}

TEST_F(WindowTest, F11AndAltReturnToggleFullScreen) {
  auto full = [this] { return (SDL_GetWindowFlags(window()) & SDL_WINDOW_FULLSCREEN) != 0; };
  ASSERT_FALSE(full());
  struct Case {
    SDL_Scancode code;
    Uint16 mod;
    bool full;
  };
  const Case cases[] = {{SDL_SCANCODE_F11, KMOD_NONE, true},   {SDL_SCANCODE_F11, KMOD_NONE, false},
                        {SDL_SCANCODE_RETURN, KMOD_LALT, true}, {SDL_SCANCODE_RETURN, KMOD_RALT, false}};
  for (const Case& c : cases) {
    key(c.code, true, c.mod);
    frame();
    EXPECT_EQ(full(), c.full) << c.code;
    EXPECT_EQ(pressed(), 0u) << "Alt+Return is not Start";
    key(c.code, false, c.mod);
    frame();
  }
  key(SDL_SCANCODE_RETURN, true);
  frame();
  EXPECT_EQ(pressed(), b::kStart);
  EXPECT_FALSE(full());
}

}  // namespace
