#include <cstring>
#include <vector>

#include "host/gp2x_buttons.h"
#include "tests/host/host_fixture.h"

namespace {

using namespace gp2x;  // host:: and the register accessors
namespace b = gp2x::buttons;

constexpr uint64_t kSecond = 1000000000ull;

// The shoot-em-up's timer arithmetic in tenths of a millisecond, as its hardware layer does it.
uint32_t elapsed_tenths(uint32_t now, uint32_t mark) {
  if (now > mark) return (now - mark + 368) / 737;
  return ((now >> 2) - (mark >> 2) + 0x40000000u) / 184;
}

uint64_t ns_for_counts(uint64_t counts) {  // first time at which that many counts passed
  return (counts * kSecond + 7372799) / 7372800;
}

TEST_F(HostTest, TimerCountsAtItsRateFromASettableStart) {
  uint8_t* regs = registers();
  EXPECT_EQ(peek32(regs + 0xA00), 0u);
  host::advance_ns(kSecond);
  EXPECT_EQ(peek32(regs + 0xA00), 7372800u);
  host::set_timer(0xFFFFFFF0u);
  host::advance_ns(kSecond);
  EXPECT_EQ(peek32(regs + 0xA00), 7372800u - 0x10u);  // wrapped past 2^32
  EXPECT_EQ(peek16(regs + 0xA00), (7372800u - 0x10u) & 0xFFFF);
  EXPECT_EQ(peek16(regs + 0xA02), (7372800u - 0x10u) >> 16);
}

TEST_F(HostTest, TimerGivesTheRoundingOfTheTenthsFormula) {
  struct Case {
    uint32_t mark;
    uint64_t counts;
    uint32_t tenths;
  };
  const Case cases[] = {
      {1000, 368, 0}, {1000, 369, 1}, {1000, 737, 1}, {1000, 7372800, 10004},  // 737 counts are a little under 0.1 ms
      {0xFFFFFF00u, 0x10100, 89},  // crosses the wrap: the wrap formula
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.counts);
    reconfigure();
    uint8_t* regs = registers();
    host::set_timer(c.mark);
    const uint32_t mark = peek32(regs + 0xA00);
    ASSERT_EQ(mark, c.mark);
    host::advance_ns(ns_for_counts(c.counts));
    EXPECT_EQ(elapsed_tenths(peek32(regs + 0xA00), mark), c.tenths);
  }
}

TEST_F(HostTest, SpinningOnTheTimerMovesVirtualTime) {
  settings_.poll_ns = 2000;
  reconfigure();
  uint8_t* regs = registers();
  const uint32_t mark = peek32(regs + 0xA00);
  int reads = 0;
  while (elapsed_tenths(peek32(regs + 0xA00), mark) < 355) ++reads;  // a frame's pacing wait
  EXPECT_GE(host::now_ns(), 35400000u);
  EXPECT_LT(host::now_ns(), 35600000u);
  EXPECT_GT(reads, 1000);
}

TEST_F(HostTest, VerticalBlankComesSixtyTimesASecond) {
  uint8_t* regs = registers();
  int blanks = 0;
  uint64_t blank_ns = 0;
  bool was = false;
  for (uint64_t t = 0; t < kSecond; t += 10000) {
    const bool blank = (peek16(regs + 0x1182) & 0x10) == 0;
    EXPECT_EQ(peek16(regs + 0x1182) | 0x10, 0xFFFF);  // every other bit reads 1
    if (blank && !was) ++blanks;
    if (blank) blank_ns += 10000;
    was = blank;
    host::advance_ns(10000);
  }
  EXPECT_EQ(blanks, 60);
  EXPECT_NEAR(static_cast<double>(blank_ns) / 60, 1400000, 20000);
}

TEST_F(HostTest, WaitingForVerticalBlankEnds) {
  settings_.poll_ns = 2000;
  reconfigure();
  uint8_t* regs = registers();
  for (int frame = 1; frame <= 3; ++frame) {
    while (peek16(regs + 0x1182) & 0x10) {
    }
    while (!(peek16(regs + 0x1182) & 0x10)) {
    }
  }
  EXPECT_NEAR(static_cast<double>(host::now_ns()), 3 * kSecond / 60.0, 10000);
}

TEST_F(HostTest, EveryButtonReadsActiveLowOnItsPort) {
  struct Case {
    uint32_t button;
    uint32_t offset;
    uint16_t value;
  };
  const Case cases[] = {
      {0, 0x1198, 0xFFFF},          {0, 0x1184, 0xFFFF},          {0, 0x1186, 0xFFFF},
      {b::kUp, 0x1198, 0xFFFE},     {b::kUpLeft, 0x1198, 0xFFFD}, {b::kLeft, 0x1198, 0xFFFB},
      {b::kDownLeft, 0x1198, 0xFFF7}, {b::kDown, 0x1198, 0xFFEF}, {b::kDownRight, 0x1198, 0xFFDF},
      {b::kRight, 0x1198, 0xFFBF},  {b::kUpRight, 0x1198, 0xFF7F},
      {b::kStart, 0x1184, 0xFEFF},  {b::kSelect, 0x1184, 0xFDFF}, {b::kL, 0x1184, 0xFBFF},
      {b::kR, 0x1184, 0xF7FF},      {b::kA, 0x1184, 0xEFFF},      {b::kB, 0x1184, 0xDFFF},
      {b::kX, 0x1184, 0xBFFF},      {b::kY, 0x1184, 0x7FFF},
      {b::kVolDown, 0x1186, 0xFFBF}, {b::kVolUp, 0x1186, 0xFF7F}, {b::kPush, 0x1186, 0xF7FF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    host::set_buttons(c.button);
    EXPECT_EQ(reg16(c.offset), c.value);
    // The puzzle engine's word: the pressed bits come back exactly.
    const uint32_t word = (reg16(0x1198) & 0xFF) | (reg16(0x1184) & 0xFF00) |
                          static_cast<uint32_t>(reg16(0x1186)) << 16;
    EXPECT_EQ(~word & b::kAll, c.button);
  }
}

TEST_F(HostTest, TwoArrowsCloseTheDiagonalContact) {
  struct Case {
    bool up, down, left, right;
    uint32_t stick;
  };
  const Case cases[] = {
      {true, false, true, false, b::kUpLeft},     {true, false, false, true, b::kUpRight},
      {false, true, true, false, b::kDownLeft},   {false, true, false, true, b::kDownRight},
      {true, true, false, false, 0},              {true, true, true, false, b::kLeft},
      {false, false, false, false, 0},            {false, false, false, true, b::kRight},
  };
  for (const Case& c : cases) EXPECT_EQ(b::stick_from_arrows(c.up, c.down, c.left, c.right), c.stick);
}

class FillTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    set_reg16(0x0904, 0x0400);  // the 2D engine's clock
    fb_ = reinterpret_cast<uint16_t*>(host::framebuffer(0));
    for (int i = 0; i < 320 * 240; ++i) fb_[i] = 0x1111;
  }
  // Starts a fill the way the shoot-em-up's hardware layer does.
  void fill(uint32_t phys, int x, int y, int w, int h, uint16_t colour) {
    uint8_t* r = blitter();
    poke32(r + 0x00, ((x & 1) << 4) | 0x20);
    poke32(r + 0x04, (phys + (y * 320 + x) * 2) & ~3u);
    poke32(r + 0x08, 640);
    poke32(r + 0x0C, 0);
    poke32(r + 0x20, 0x30);
    poke32(r + 0x24, colour);
    poke32(r + 0x28, colour);
    poke32(r + 0x2C, (static_cast<uint32_t>(h) << 16) | static_cast<uint32_t>(w));
    poke32(r + 0x30, 0x7F0);
    poke32(r + 0x34, 1);
  }
  uint16_t* fb_ = nullptr;
};

TEST_F(FillTest, FillsExactlyTheRectangleForOddAndEvenX) {
  for (int x : {10, 11}) {
    for (int w : {1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "x " << x << " w " << w);
      for (int i = 0; i < 320 * 240; ++i) fb_[i] = 0x1111;
      fill(host::framebuffer_phys(0), x, 5, w, 2, 0xF800);
      for (int y = 4; y <= 7; ++y)
        for (int px = x - 2; px < x + w + 2; ++px) {
          const bool inside = y >= 5 && y < 7 && px >= x && px < x + w;
          EXPECT_EQ(fb_[y * 320 + px], inside ? 0xF800 : 0x1111) << px << "," << y;
        }
    }
  }
}

TEST_F(FillTest, BusyBitShowsWhileItWorks) {
  settings_.blit_busy_polls = 3;
  SetUp();
  uint8_t* r = blitter();
  EXPECT_EQ(peek32(r + 0x34) & 1, 0u);
  fill(host::framebuffer_phys(1), 0, 0, 320, 240, 0);
  int busy = 0;
  while (peek32(r + 0x34) & 1) ++busy;
  EXPECT_EQ(busy, 3);
  EXPECT_EQ(reinterpret_cast<uint16_t*>(host::framebuffer(1))[320 * 240 - 1], 0);
}

TEST_F(FillTest, NothingIsDrawnWithoutClockOrOutsideTheFramebuffers) {
  set_reg16(0x0904, 0);
  fill(host::framebuffer_phys(0), 0, 0, 4, 4, 0xFFFF);
  EXPECT_EQ(fb_[0], 0x1111);
  set_reg16(0x0904, 0x0400);
  fill(0x00100000, 0, 0, 4, 4, 0xFFFF);  // no framebuffer there
  EXPECT_EQ(fb_[0], 0x1111);
  // A fill running past the end of the buffer stops there.
  fill(host::framebuffer_phys(0), 316, 238, 100, 100, 0x0F0F);
  EXPECT_EQ(fb_[239 * 320 + 319], 0x0F0F);
  EXPECT_EQ(fb_[238 * 320 + 315], 0x1111);
}

TEST_F(FillTest, RowsThatOverlapCoverOneRun) {
  struct Case {
    uint32_t stride, w, h;
    int first, count;  // pixels filled from the start
  };
  const Case cases[] = {
      {0, 3, 0xFFFF, 0, 3},          // every row on the first
      {4, 2, 3, 0, 6},               // rows just touching
      {2, 0xFFFF, 0xFFFF, 0, 320 * 240},  // the whole buffer, and no more work than that
      {7, 4, 4, 0, 0},               // an odd stride is no 16-bit surface: nothing drawn
  };
  uint8_t* r = blitter();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "stride " << c.stride << " w " << c.w << " h " << c.h);
    for (int i = 0; i < 320 * 240; ++i) fb_[i] = 0x1111;
    fill(host::framebuffer_phys(0), 0, 0, 1, 1, 0x1111);
    poke32(r + 0x08, c.stride);
    poke32(r + 0x24, 0xABCD);
    poke32(r + 0x2C, c.h << 16 | c.w);
    poke32(r + 0x34, 1);
    int filled = 0, last = -1;
    for (int i = 0; i < 320 * 240; ++i)
      if (fb_[i] == 0xABCD) ++filled, last = i;
    EXPECT_EQ(filled, c.count);
    EXPECT_EQ(last, c.count - 1);
  }
}

TEST_F(HostTest, DisplayAddressPairsChooseTheFramebufferShown) {
  EXPECT_EQ(host::shown_framebuffer(), 0);
  for (int fb : {1, 0, 1}) {
    const uint32_t p = host::framebuffer_phys(fb);
    set_reg16(0x2910, static_cast<uint16_t>(p >> 16));
    set_reg16(0x290E, static_cast<uint16_t>(p));
    set_reg16(0x2912, static_cast<uint16_t>(p));
    set_reg16(0x2914, static_cast<uint16_t>(p >> 16));
    EXPECT_EQ(host::shown_framebuffer(), fb);
  }
  host::framebuffer(1)[0] = 0x00;
  host::framebuffer(1)[1] = 0xF8;  // pure red at (0, 0) in RGB565
  const std::vector<uint8_t> rgb = host::screen_rgb();
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 0);
  EXPECT_EQ(rgb[2], 0);
}

TEST_F(HostTest, SecondCoreControlWritesAreRecorded) {
  std::vector<std::pair<uint32_t, uint16_t>> seen;
  host::set_second_core_observer([&](uint32_t off, uint16_t v) { seen.emplace_back(off, v); });
  set_reg16(0x3B48, 0x83);
  set_reg16(0x0904, static_cast<uint16_t>(reg16(0x0904) & ~1));
  set_reg16(0x3B46, 0xFFFF);
  set_reg16(0x290C, 640);  // not a second-core register
  const auto writes = host::second_core_writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].offset, 0x3B48u);
  EXPECT_EQ(writes[0].value, 0x83);
  EXPECT_EQ(writes[2].offset, 0x3B46u);
  EXPECT_EQ(seen.size(), 3u);
  host::set_second_core_observer(nullptr);
  EXPECT_EQ(reg16(0x3B48), 0x83);  // plain registers read back what was written
}

TEST_F(HostTest, UnknownRegisterIsLoggedOnceAndKeepsItsValue) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(reg16(0x0100), 0xFFFF);
  set_reg16(0x0100, 0x1234);
  EXPECT_EQ(reg16(0x0100), 0x1234);
  // An access running past the end of the window touches nothing beyond it.
  uint8_t* regs = registers();
  poke32(regs + 0xFFFE, 0);
  EXPECT_EQ(peek32(regs + 0xFFFE), 0xFFFFFFFFu);
  EXPECT_EQ(reg16(0xFFFE), 0xFFFF);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("runs past the end"), std::string::npos);
  EXPECT_NE(log.find("0x0100"), std::string::npos);
  EXPECT_EQ(log.find("0x0100"), log.rfind("0x0100"));
}

}  // namespace
