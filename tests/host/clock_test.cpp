#include <atomic>
#include <thread>

#include "tests/host/host_fixture.h"

namespace {

using namespace gp2x;  // host:: and the register accessors

TEST_F(HostTest, SleepsMoveVirtualTime) {
  EXPECT_EQ(host::now_ns(), 0u);
  gp2x::usleep(1500);
  EXPECT_EQ(host::now_ns(), 1500000u);
  timespec ts{1, 5};
  EXPECT_EQ(gp2x::nanosleep(&ts, nullptr), 0);
  EXPECT_EQ(host::now_ns(), 1001500005u);
  timespec bad{0, 1000000000};
  EXPECT_EQ(gp2x::nanosleep(&bad, nullptr), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(host::now_ns(), 1001500005u);
}

TEST_F(HostTest, WallClockFollowsVirtualTime) {
  settings_.epoch_seconds = 1000000000;
  reconfigure();
  gp2x::usleep(2500000);
  timeval tv{};
  ASSERT_EQ(gp2x::gettimeofday(&tv), 0);
  EXPECT_EQ(tv.tv_sec, 1000000002);
  EXPECT_EQ(tv.tv_usec, 500000);
  time_t t = 0;
  EXPECT_EQ(gp2x::time(&t), 1000000002);
  EXPECT_EQ(t, 1000000002);
}

TEST_F(HostTest, OtherThreadsSleepUntilTheMainThreadGetsThere) {
  std::atomic<uint64_t> woke_at{0};
  std::thread sleeper([&] {
    gp2x::usleep(10000);
    woke_at = host::now_ns();
  });
  while (woke_at.load() == 0) gp2x::usleep(1000);  // the main thread drives time
  sleeper.join();
  EXPECT_GE(woke_at.load(), 10000000u);
}

TEST_F(HostTest, ThreadSpinningOnTheTimerDoesNotHoldUpTime) {
  settings_.stall_ms = 60000;  // far longer than the test may take
  reconfigure();
  uint8_t* regs = registers();
  std::atomic<bool> done{false};
  std::thread spinner([regs, &done] {
    gp2x::usleep(1000);  // once it has slept, the main thread waits for it to sleep again...
    const uint32_t mark = peek32(regs + 0xA00);
    while (peek32(regs + 0xA00) - mark < 7372800 / 200) {  // ...or to spin on a register
    }
    done = true;
  });
  while (!done) gp2x::usleep(1000);
  spinner.join();
  EXPECT_GE(host::now_ns(), 6000000u);
}

TEST_F(HostTest, RegistersAreSafeToShareBetweenThreads) {
  uint8_t* regs = registers();
  std::thread audio([&] {
    for (int i = 0; i < 1000; ++i) {
      poke16(regs + 0x0904, static_cast<uint16_t>(peek16(regs + 0x0904) | 1));
      poke16(regs + 0x3B48, 0x83);
      (void)peek32(regs + 0xA00);
    }
  });
  for (int i = 0; i < 1000; ++i) {
    (void)peek16(regs + 0x1184);
    gp2x::usleep(10);
  }
  audio.join();
  EXPECT_EQ(host::second_core_writes().size(), 2000u);
}

}  // namespace
