// The window path under SDL's dummy video driver: it opens, shows frames, turns keys into
// button bits and ends the program when closed.
#include <SDL.h>
#include <cstdlib>
#include <linux/fb.h>
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
    HostTest::SetUp();
    fb0_ = gp2x::open("/dev/fb0", O_RDWR);
    ASSERT_GT(fb0_, 0);
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
  static void key(SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = code;
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
  SDL_Window* window = SDL_GetWindowFromID(1);
  ASSERT_NE(window, nullptr);
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  for (int i = 0; i < 3; ++i) {
    host::framebuffer(0)[i] = 0xFF;
    frame();
  }
}

TEST_F(WindowTest, KeysAreTheConsolesButtons) {
  struct Case {
    std::vector<SDL_Scancode> keys;
    uint32_t buttons;
  };
  const Case cases[] = {
      {{SDL_SCANCODE_Z}, b::kA},
      {{SDL_SCANCODE_X, SDL_SCANCODE_A, SDL_SCANCODE_S}, b::kB | b::kX | b::kY},
      {{SDL_SCANCODE_Q, SDL_SCANCODE_W}, b::kL | b::kR},
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

TEST_F(WindowTest, ClosingTheWindowEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        SDL_Event e{};
        e.type = SDL_QUIT;
        SDL_PushEvent(&e);
        frame();
      },
      testing::ExitedWithCode(0), "window closed");
}

}  // namespace
