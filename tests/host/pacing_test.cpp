// Spins on registers: on the real clock they yield the processor, up to the next change of
// what they wait for; on the virtual clock nothing changes, so headless runs stay exact.
#include "host/host_pacing.h"
#include "tests/host/host_fixture.h"

namespace {

using gp2x::host::PollPacer;
constexpr uint64_t kNever = UINT64_MAX;
constexpr uint32_t kTimer = 0x0A00, kVsync = 0x1182, kButtons = 0x1184;

// A loop that reads a register every `gap` ns of its own work (plus what it yielded).
struct Loop {
  PollPacer pacer;
  uint64_t now = 1000000;
  // `layer`: ns the layer's own work (the window's events) took inside the read.
  uint64_t read(uint32_t offset, uint32_t value, uint64_t gap, uint64_t next_change = kNever,
                uint64_t next_edge = kNever, uint64_t layer = 0) {
    now += gap;
    const uint64_t began = now;
    now += layer;
    const uint64_t y = pacer.yield_ns(offset, value, now, next_change, next_edge, began);
    now += y;
    pacer.done(now);
    return y;
  }
  // Reads until the spin has lasted `ns`; true when none of them yielded.
  bool spin(uint32_t offset, uint32_t value, uint64_t gap, uint64_t ns) {
    bool none = true;
    for (const uint64_t end = now + ns; now < end;) none &= read(offset, value, gap) == 0;
    return none;
  }
};

TEST(PollPacer, OnlyALongTightSpinYields) {
  const uint64_t span = PollPacer::kSpinSpanNs, gap = PollPacer::kSpinGapNs;
  Loop work;  // a working loop that checks the time as it goes never yields
  EXPECT_TRUE(work.spin(kTimer, 0, gap + 1, 100 * span));
  Loop tight;  // a spin yields once it has lasted its span, and from then on
  const uint64_t start = tight.now + 100;
  uint64_t y = 0;
  while ((y = tight.read(kTimer, 0, 100)) == 0) ASSERT_LT(tight.now - start, span + 200);
  EXPECT_EQ(y, PollPacer::kSliceNs);
  EXPECT_GE(tight.now - y - start, span);
  EXPECT_EQ(tight.read(kTimer, 0, 100), PollPacer::kSliceNs);
  EXPECT_EQ(tight.read(kTimer, 0, 100, kNever, kNever, 100 * gap), PollPacer::kSliceNs)
      << "the layer's own work inside a read is no work of the loop's";
  EXPECT_EQ(tight.read(kTimer, 0, gap + 1), 0u) << "work between reads starts a new spin";
}

TEST(PollPacer, YieldsUpToTheNextChangeOfWhatTheLoopReads) {
  const uint64_t slice = PollPacer::kSliceNs;
  struct Case {
    const char* what;
    uint32_t offset, before, value;
    uint64_t next_change, next_edge;  // from the read's time
    uint64_t yield;
  };
  const Case cases[] = {
      {"blank's register unchanged: up to its change", kVsync, 0xFFFF, 0xFFFF, 40000, 40000, 40000},
      {"blank's register unchanged, change far off: a slice", kVsync, 0xFFFF, 0xFFFF, 10 * slice, 10 * slice, slice},
      {"blank's register just changed: the loop is leaving", kVsync, 0xFFFF, 0xFFEF, 40000, 40000, 0},
      {"counter: a slice, never past the blank's edge", kTimer, 0, 0, kNever, 300, 300},
      {"counter: a slice", kTimer, 0, 0, kNever, 10 * slice, slice},
      {"buttons unchanged: a slice", kButtons, 0xEFFF, 0xEFFF, kNever, 10 * slice, slice},
      {"buttons changed: none", kButtons, 0xEFFF, 0xFFFF, kNever, 10 * slice, 0},
  };
  for (const Case& c : cases) {
    Loop loop;
    ASSERT_TRUE(loop.spin(c.offset, c.before, 100, PollPacer::kSpinSpanNs)) << c.what;
    const uint64_t at = loop.now + 100;
    const uint64_t next_change = c.next_change == kNever ? kNever : at + c.next_change;
    EXPECT_EQ(loop.read(c.offset, c.value, 100, next_change, at + c.next_edge), c.yield) << c.what;
  }
}

TEST_F(HostTest, SpinsCostExactlyTheirReadsOnTheVirtualClock) {
  settings_.poll_ns = 2000;
  reconfigure();
  uint8_t* regs = registers();
  struct Spin {
    uint32_t offset;
    int reads;
  };
  const Spin spins[] = {{kTimer, 100000}, {kVsync, 100000}, {kButtons, 3000}};
  uint64_t expected = 0;
  for (const Spin& s : spins) {
    for (int i = 0; i < s.reads; ++i) gp2x::peek16(regs + s.offset);
    expected += static_cast<uint64_t>(s.reads) * 2000;
    EXPECT_EQ(gp2x::host::now_ns(), expected) << std::hex << s.offset;
  }
}

TEST_F(HostTest, WaitingForTheBlankOnTheRealClockTakesFewReads) {
  settings_.virtual_clock = false;
  reconfigure();
  uint8_t* regs = registers();
  while (!(gp2x::peek16(regs + kVsync) & 0x10)) {
  }
  // Up to a refresh (16.7 ms) of waiting: a spin makes hundreds of thousands of reads.
  int reads = 0;
  while (gp2x::peek16(regs + kVsync) & 0x10) ++reads;
  EXPECT_LT(reads, 20000);
}

}  // namespace
