// A test pattern for the console's screen and buttons, written as a console program: it
// reaches the hardware only through the device seam. Colour bars fill the top, a box for
// each button lights while it is held, and a square moves with the stick. Start and
// Select together hand over to the menu, as the games do, and so does a request to quit
// (the window closed, Ctrl+C).
//
//   GP2X_HEADLESS=0 testpattern                                         (a window)
//   GP2X_SCRIPT=s.txt GP2X_SHOTS=shots GP2X_UNTIL=3000 testpattern     (headless)
//   testpattern --help                                                  (this usage)
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/mman.h>

#include "seam/gp2x_seam.h"
#include "tools/tool_usage.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;

uint16_t rgb565(int r, int g, int b) {
  return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

void fill(uint16_t* fb, int line, int x, int y, int w, int h, uint16_t colour) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i)
      if (i >= 0 && i < kWidth && j >= 0 && j < kHeight) fb[j * line + i] = colour;
}

// The button word: stick contacts in bits 0-7, Start..Y in 8-15, volume and push in 22,
// 23 and 27; a set bit is pressed (the ports read 0 for a pressed button).
uint32_t read_buttons(const uint8_t* regs) {
  const uint32_t word = (gp2x::peek16(regs + 0x1198) & 0xFF) | (gp2x::peek16(regs + 0x1184) & 0xFF00) |
                        static_cast<uint32_t>(gp2x::peek16(regs + 0x1186)) << 16;
  return ~word & 0x08C0FFFFu;
}

const char kUsage[] =
    "usage: testpattern [--help]\n"
    "The host layer's example console program: colour bars, a box for each button that\n"
    "lights while held, a square moved by the stick; Start and Select together end it. The\n"
    "host layer's settings choose how it runs:\n"
    "  GP2X_HEADLESS=0 testpattern                                      a window\n"
    "  GP2X_SCRIPT=s.txt GP2X_SHOTS=shots GP2X_UNTIL=3000 testpattern   headless (the\n"
    "                                                                    default), until a time\n"
    "Every setting is in host/README.md.\n";

}  // namespace

int main(int argc, char** argv) {
  int exit = 0;
  if (!ToolTakesNoArguments("testpattern", argc, argv, kUsage, exit)) return exit;
  const int fb_fd = gp2x::open("/dev/fb0", O_RDWR);
  const int mem_fd = gp2x::open("/dev/mem", O_RDWR);
  if (fb_fd < 0 || mem_fd < 0) {
    std::perror("testpattern: cannot open the devices");
    return 1;
  }
  fb_var_screeninfo var{};
  if (gp2x::ioctl(fb_fd, FBIOGET_VSCREENINFO, &var) != 0 || var.bits_per_pixel != 16) {
    std::fprintf(stderr, "testpattern: needs a 16-bit framebuffer\n");
    return 1;
  }
  const int line = static_cast<int>(var.xres_virtual);
  const size_t size = static_cast<size_t>(line) * kHeight * 2;
  auto* fb = static_cast<uint16_t*>(gp2x::mmap(nullptr, size, PROT_WRITE, MAP_SHARED, fb_fd, 0));
  auto* regs = static_cast<uint8_t*>(
      gp2x::mmap(nullptr, 0x10000, PROT_READ | PROT_WRITE, MAP_SHARED, mem_fd, 0xC0000000));
  if (fb == MAP_FAILED || regs == MAP_FAILED) {
    std::perror("testpattern: cannot map the devices");
    return 1;
  }

  const uint16_t bars[8] = {rgb565(255, 255, 255), rgb565(255, 255, 0), rgb565(0, 255, 255),
                            rgb565(0, 255, 0),     rgb565(255, 0, 255), rgb565(255, 0, 0),
                            rgb565(0, 0, 255),     rgb565(0, 0, 0)};
  // Unit steps of the eight stick contacts (up, up-left, left, ... counter-clockwise).
  const int dx[8] = {0, -1, -1, -1, 0, 1, 1, 1}, dy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
  const int button_bits[19] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 22, 23, 27};
  int x = 150, y = 150;
  for (uint32_t frame = 0;; ++frame) {
    const uint32_t pressed = read_buttons(regs);
    if ((pressed & 0x300) == 0x300 || gp2x::quit_requested()) break;  // Start + Select
    for (int k = 0; k < 8; ++k)
      if (pressed & (1u << k)) x += 2 * dx[k], y += 2 * dy[k];
    x = x < 0 ? 0 : x > kWidth - 16 ? kWidth - 16 : x;
    y = y < 100 ? 100 : y > kHeight - 16 ? kHeight - 16 : y;

    for (int i = 0; i < 8; ++i) fill(fb, line, i * 40, 0, 40, 60, bars[i]);
    for (int i = 0; i < kWidth; ++i)  // a grey ramp and a moving marker under the bars
      fill(fb, line, i, 60, 1, 20, rgb565(i * 255 / kWidth, i * 255 / kWidth, i * 255 / kWidth));
    fill(fb, line, 0, 80, kWidth, kHeight - 80, rgb565(16, 16, 48));
    fill(fb, line, static_cast<int>(frame % kWidth), 80, 2, 6, rgb565(255, 255, 255));
    for (int i = 0; i < 19; ++i) {
      const bool on = pressed & (1u << button_bits[i]);
      fill(fb, line, 8 + i * 16, 88, 12, 8, on ? rgb565(255, 200, 0) : rgb565(80, 80, 80));
    }
    fill(fb, line, x, y, 16, 16, rgb565(0, 255, 128));

    // A frame is done: the screen query is where the puzzle engine's flip happens too.
    gp2x::ioctl(fb_fd, FBIOGET_VSCREENINFO, &var);
    gp2x::usleep(16667);
  }
  gp2x::munmap(regs, 0x10000);
  gp2x::munmap(fb, size);
  gp2x::close(mem_fd);
  gp2x::close(fb_fd);
  gp2x::chdir("/usr/gp2x");
  gp2x::execl("/usr/gp2x/gp2xmenu", "/usr/gp2x/gp2xmenu", nullptr);
  return 0;
}
