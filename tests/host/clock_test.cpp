#include <atomic>
#include <chrono>
#include <mutex>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "host/host_clock.h"
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

// Spins for `ms` of real time without coming into the seam.
void busy_for(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  volatile uint64_t n = 0;
  while (std::chrono::steady_clock::now() < until) n = n + 1;
}

// A thread that time woke is waited for while it is at work or only waits for a processor,
// however much longer than the stall time that takes (the run must not depend on the
// machine's load); one that blocks on a lock outside the seam is gone on without.
TEST_F(HostTest, TimeWaitsForAWokenThreadAtWorkButNotForOneBlockedElsewhere) {
  settings_.stall_ms = 100;
  enum class Then { kWorks, kStarves, kBlocks };
  struct Case {
    const char* what;
    Then then;
  };
  const Case cases[] = {
      {"it computes for four times the stall time", Then::kWorks},
      {"it shares a processor with a spinner at the lowest priority", Then::kStarves},
      {"it blocks on a lock the main thread holds", Then::kBlocks},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reconfigure();
    std::mutex lock;
    lock.lock();
    std::atomic<bool> quit{false}, worked{false};
    // The spinner and the starved worker on one processor of those the test may use.
    cpu_set_t one;
    CPU_ZERO(&one);
    cpu_set_t mine;
    if (sched_getaffinity(0, sizeof mine, &mine) == 0)
      for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &mine)) {
          CPU_SET(cpu, &one);
          break;
        }
    std::thread spinner;
    if (c.then == Then::kStarves) {
      spinner = std::thread([&] {
        sched_setaffinity(0, sizeof one, &one);
        while (!quit) {
        }
      });
    }
    std::thread worker([&] {
      gp2x::usleep(1000);  // time wakes it at 1 ms
      if (c.then == Then::kStarves) {
        sched_setaffinity(0, sizeof one, &one);
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
      }
      if (c.then == Then::kBlocks) std::lock_guard<std::mutex> wait(lock);
      else busy_for(400);
      worked = true;
      gp2x::usleep(1000);
    });
    while (host::waiting_threads() == 0) std::this_thread::yield();
    gp2x::usleep(2000);  // past the worker's wake-up
    EXPECT_EQ(worked.load(), c.then != Then::kBlocks);
    EXPECT_EQ(host::now_ns(), 2000000u);
    lock.unlock();
    worker.join();  // asleep outside the seam: a worker that waits again moves time itself
    quit = true;
    if (spinner.joinable()) spinner.join();
  }
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

// The timer's count and the sound device's bytes come from counts_in at every read; it
// carries each thread's last count forward, which must give what the whole sum gives
// whatever came before: steps across seconds, a rate changed between reads, time going
// back, long jumps, a run past 40 minutes, rates from 0 to the largest.
TEST(CountsIn, EqualsTheWholeSumAtEveryRead) {
  using host::counts_in;
  using host::kNsPerSecond;
  const auto whole = [](uint64_t ns, uint64_t rate) {
    return ns / kNsPerSecond * rate + ns % kNsPerSecond * rate / kNsPerSecond;
  };
  struct Read {
    uint64_t from, step;
    int reads;
    uint64_t rate;
  };
  const Read cases[] = {
      {999'990'000, 2000, 20000, 7372800},      // the timer polled across a second's end
      {5, 1, 3000, 7372800},                    // every nanosecond
      {1'000'000'000, 22676, 500, 176400},      // the sound device's bytes
      {123'456'789, 2000, 10, 7372800},         // back in time after the rows above
      {0, 1ull << 33, 40, 7372800},             // jumps past what one step carries
      {2'500ull * kNsPerSecond, 2000, 5000, 7372800},  // 41 minutes on
      {7, 3, 100, 0},
      {7, 3, 100, 1},
      {3'000'000'000, 999, 2000, 0xFFFFFFFFull},
  };
  for (int round = 0; round < 2; ++round)  // the second time each row starts from the row before's state
    for (const Read& r : cases) {
      uint64_t ns = r.from;
      for (int i = 0; i < r.reads; ++i, ns += r.step) {
        ASSERT_EQ(counts_in(ns, r.rate), whole(ns, r.rate)) << "ns " << ns << " rate " << r.rate;
        if (i % 7 == 3) {  // another rate between
          ASSERT_EQ(counts_in(ns + 11, 44100), whole(ns + 11, 44100));
        }
      }
    }
}

}  // namespace
