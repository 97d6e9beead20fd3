#include <gtest/gtest.h>

#include <cstring>

#include "host/gp2x_buttons.h"
#include "host/gp2x_host.h"
#include "seam/gp2x_seam.h"
#include "host/host_settings.h"
#include "pellax/platform/input.h"
#include "pellax/platform/mmsp2_regs.h"
#include "pellax/platform/timer.h"
#include "pellax/platform/video.h"

namespace {

class HardwareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gp2x::host::Settings s;
    s.poll_ns = 0;  // reads cost no time: the tests set the timer themselves
    gp2x::host::configure(s);
    ASSERT_EQ(video_open(), 0);
  }
  void TearDown() override { video_close(); }
  uint16_t reg(uint32_t offset) { return mmsp2::read16(io_regs, offset); }
};

TEST_F(HardwareTest, TimerUnitsRoundToTenthsOfAMillisecond) {
  struct timer_case {
    uint32_t mark, now, units;
  };
  const timer_case cases[] = {
      {1000, 1000 + 737, 1},     {1000, 1000 + 368, 0},   {1000, 1000 + 369, 1},
      {1000, 1000, 0},           {0xFFFFFF00u, 0x10000, 89}, {0, 7372800, 10004},  // 737 counts are a little under 0.1 ms
      {0xFFFFFFFFu, 0, 0},  // one count across the wrap
  };
  for (const timer_case& c : cases) {
    EXPECT_EQ(timer_units_between(c.mark, c.now), c.units) << c.mark << " " << c.now;
    gp2x::host::set_timer(c.mark);
    timer_mark();
    timer_mark_b();
    gp2x::host::set_timer(c.now);
    EXPECT_EQ(timer_elapsed(), c.units);
    EXPECT_EQ(timer_elapsed_b(), c.units);
    EXPECT_EQ(timer_read_elapsed(), c.units);
  }
}

TEST_F(HardwareTest, TheTwoMarksAreIndependent) {
  gp2x::host::set_timer(0);
  timer_mark();
  gp2x::host::set_timer(7370);
  timer_mark_b();
  gp2x::host::set_timer(7370 * 2);
  EXPECT_EQ(timer_elapsed(), 20u);
  EXPECT_EQ(timer_elapsed_b(), 10u);
  EXPECT_EQ(timer_raw(), 7370u * 2);
}

TEST_F(HardwareTest, StickCodesForAllSixteenDirections) {
  using namespace gp2x::buttons;
  struct stick_case {
    uint32_t contacts;
    int32_t code;
  };
  const stick_case cases[] = {
      {0, 0},
      {kUp, 1},           {kUp | kUpLeft, 2},        {kUpLeft, 3},     {kUpLeft | kLeft, 4},
      {kLeft, 5},         {kLeft | kDownLeft, 6},    {kDownLeft, 7},   {kDownLeft | kDown, 8},
      {kDown, 9},         {kDown | kDownRight, 10},  {kDownRight, 11}, {kDownRight | kRight, 12},
      {kRight, 13},       {kRight | kUpRight, 14},   {kUpRight, 15},   {kUpRight | kUp, 16},
      {kUp | kDown, 1},  // the first line of the table that matches wins
  };
  for (const stick_case& c : cases) {
    gp2x::host::set_buttons(c.contacts);
    EXPECT_EQ(read_stick_direction(), c.code) << std::hex << c.contacts;
    EXPECT_EQ(read_buttons(), 0u) << "directions are not in the button word";
  }
}

TEST_F(HardwareTest, ButtonWordBits) {
  using namespace gp2x::buttons;
  struct button_case {
    uint32_t pressed, word;
  };
  const button_case cases[] = {
      {kStart, kButtonStart}, {kSelect, kButtonSelect}, {kL, kButtonL},  {kR, kButtonR},
      {kA, kButtonA},         {kB, kButtonB},           {kX, kButtonX},  {kY, kButtonY},
      {kVolDown, kButtonVolDown}, {kVolUp, kButtonVolUp}, {kPush, kButtonStickPush},
      {kA | kB | kVolUp | kLeft, kButtonA | kButtonB | kButtonVolUp},
  };
  for (const button_case& c : cases) {
    gp2x::host::set_buttons(c.pressed);
    EXPECT_EQ(read_buttons(), c.word) << std::hex << c.pressed;
  }
}

TEST_F(HardwareTest, OpenSetsUpTheDisplayAndTheTwoDEngineClocks) {
  EXPECT_EQ(reg(mmsp2::kLineStride), 640);
  EXPECT_EQ(reg(mmsp2::kLayerControl), 0x04AB);
  EXPECT_EQ(reg(mmsp2::kVideoClockEnable), 0xFFFF);
  EXPECT_TRUE(reg(mmsp2::kSysClockEnable) & 0x400);
  EXPECT_EQ(fb_phys[0], gp2x::host::framebuffer_phys(0));
  EXPECT_EQ(fb_phys[1], gp2x::host::framebuffer_phys(1));
  EXPECT_NE(play_surface, nullptr);
}

TEST_F(HardwareTest, FlipsShowTheBufferJustDrawnInBothPairs) {
  EXPECT_EQ(draw_index, 0);
  EXPECT_EQ(video_back_buffer(), fb_virt[0]);
  video_flip();
  EXPECT_EQ(gp2x::host::shown_framebuffer(), 0);
  EXPECT_EQ(draw_index, 1);
  const uint32_t p0 = fb_phys[0];
  EXPECT_EQ(reg(mmsp2::kDisplayA_Low), p0 & 0xFFFF);
  EXPECT_EQ(reg(mmsp2::kDisplayA_High), p0 >> 16);
  EXPECT_EQ(reg(mmsp2::kDisplayB_Low), p0 & 0xFFFF);
  EXPECT_EQ(reg(mmsp2::kDisplayB_High), p0 >> 16);
  video_flip();
  EXPECT_EQ(gp2x::host::shown_framebuffer(), 1);
  EXPECT_EQ(draw_index, 0);
}

TEST_F(HardwareTest, FillsReachTheFramebufferAndAreClippedToTheScreen) {
  uint16_t* fb = reinterpret_cast<uint16_t*>(gp2x::host::framebuffer(0));
  std::memset(fb, 0, 320 * 240 * 2);
  fill_rect(3, 2, 5, 4, 0xF800);  // odd x: the engine starts mid-word
  int lit = 0;
  for (int i = 0; i < 320 * 240; ++i) lit += fb[i] == 0xF800;
  EXPECT_EQ(lit, 20);
  EXPECT_EQ(fb[2 * 320 + 3], 0xF800);
  EXPECT_EQ(fb[5 * 320 + 7], 0xF800);
  EXPECT_EQ(fb[2 * 320 + 2], 0);
  fill_rect(-10, 230, 20, 40, 0x07E0);  // clipped to 10 x 10
  lit = 0;
  for (int i = 0; i < 320 * 240; ++i) lit += fb[i] == 0x07E0;
  EXPECT_EQ(lit, 100);
  fill_rect(400, 10, 5, 5, 0x001F);  // wholly off the screen: nothing
  clear_screen();
  for (int i = 0; i < 320 * 240; ++i) ASSERT_EQ(fb[i], 0) << i;
  EXPECT_EQ(mmsp2::read32(blitter_regs, mmsp2::kBlitSize_), 0u);  // the 0x0 fill came last
}

TEST_F(HardwareTest, ViewCopyIsPixelExactAndHeldInsideTheCanvas) {
  for (int i = 0; i < 768 * 768; ++i) play_surface[i] = uint16_t(i * 7);
  video_copy_view(101, 37);
  const uint16_t* fb = fb_virt[0];
  for (int y : {0, 1, 239})
    for (int x : {0, 5, 319}) EXPECT_EQ(fb[y * 320 + x], uint16_t(((37 + y) * 768 + 101 + x) * 7));
  video_copy_view(1000, -5);  // held at (448, 0)
  EXPECT_EQ(fb[0], uint16_t(448 * 7));
  EXPECT_EQ(fb[239 * 320 + 319], uint16_t((239 * 768 + 767) * 7));
}

TEST_F(HardwareTest, VerticalBlankFollowsTheSyncBit) {
  video_close();
  gp2x::host::Settings s;
  s.poll_ns = 100000;  // reads move the virtual clock, as a spinning program does
  gp2x::host::configure(s);
  ASSERT_EQ(video_open(), 0);
  wait_vsync();
  EXPECT_EQ(in_vblank(), 1);
  const uint64_t t0 = gp2x::host::now_ns();
  sleep_us(2000);
  EXPECT_EQ(gp2x::host::now_ns() - t0, 2000000u);
}

TEST(HardwareClosedTest, ReadsWithoutTheWindowAreHarmless) {
  video_close();
  EXPECT_EQ(read_buttons(), 0u);
  EXPECT_EQ(read_stick_direction(), 0);
  EXPECT_EQ(timer_raw(), 0u);
  EXPECT_EQ(in_vblank(), 1);
  video_flip();
  video_copy_view(0, 0);
}

}  // namespace
