#include "engine/core/zmod_vtimer.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/core/zmod_platform.h"

namespace {

uint64_t g_micros = 0;
uint64_t FakeNow() { return g_micros; }
void AddMsStatic(uint64_t ms) { g_micros += ms * 1000; }

// Every test here runs on an injected clock; nothing sleeps.
class Clock : public ::testing::Test {
 protected:
  void SetUp() override {
    g_micros = 0;
    ZPlatform_SetClock(FakeNow, nullptr);
  }
  void TearDown() override { ZPlatform_SetClock(nullptr, nullptr); }
  static void SetMs(uint64_t ms) { g_micros = ms * 1000; }
  static void AddMs(uint64_t ms) { g_micros += ms * 1000; }
};

TEST_F(Clock, CountIsMillisecondsOfTheTimeOfDay) {
  g_micros = 1234567999;
  EXPECT_EQ(ClassZRTimer::Count(), 1234567u);
}

TEST_F(Clock, RealTimerDeltaAcrossTheWrap) {
  SetMs((1ull << 32) - 3);
  ClassZRTimer t;
  t.Update();
  EXPECT_EQ(ClassZRTimer::Count(), 0xFFFFFFFDu);
  AddMs(10);
  t.Update();
  EXPECT_EQ(ClassZRTimer::Count(), 7u);
  EXPECT_EQ(t.RetrieveDelta(), 10u);
  EXPECT_EQ(ClassZRTimer::Delta(7u, 0xFFFFFFFDu), 10u);
}

std::vector<uint32_t> Deltas(ClassZVTimer& v, uint32_t stepms, int n) {
  std::vector<uint32_t> out;
  for (int i = 0; i < n; i++) {
    AddMsStatic(stepms);
    v.Update();
    out.push_back(v.RetrieveDelta());
  }
  return out;
}

TEST_F(Clock, SpeedsCarryTheRemainder) {
  struct {
    uint32_t speed, step;
    std::vector<uint32_t> want;
  } cases[] = {
      {1000, 10, {10, 10, 10}},
      {1500, 1, {1, 2, 1, 2}},
      {400, 1, {0, 0, 1, 0, 1}},
      {2500, 3, {7, 8, 7, 8}},
      {0, 10, {0, 0}},
  };
  for (const auto& c : cases) {
    SetMs(5000);
    ClassZVTimer v;
    v.Reset();
    v.SetSpeed(c.speed);
    EXPECT_EQ(Deltas(v, c.step, static_cast<int>(c.want.size())), c.want) << c.speed;
  }
}

TEST_F(Clock, SuspendedTimeNeverCounts) {
  SetMs(100);
  ClassZVTimer v;
  v.Reset();
  AddMs(16);
  v.Update();
  EXPECT_EQ(v.RetrieveDelta(), 16u);
  v.Suspend();
  for (int i = 0; i < 3; i++) {
    AddMs(500);
    v.Update();
    EXPECT_EQ(v.RetrieveDelta(), 0u);
  }
  v.Increase(40);
  EXPECT_EQ(v.RetrieveDelta(), 0u);
  v.Resume();
  AddMs(5);
  v.Update();
  EXPECT_EQ(v.RetrieveDelta(), 5u);
  EXPECT_EQ(v.RetrieveTime(), 21u);
  v.Resume();  // not suspended: nothing moves
  AddMs(7);
  v.Update();
  EXPECT_EQ(v.RetrieveDelta(), 7u);
}

TEST_F(Clock, VirtualClockAcrossTheWrap) {
  SetMs((1ull << 32) - 4);
  ClassZVTimer v;
  v.Reset();
  AddMs(10);
  v.Update();
  EXPECT_EQ(v.RetrieveDelta(), 10u);
}

TEST_F(Clock, LongStallAtHighSpeedDoesNotWrapTheProduct) {
  SetMs(0);
  ClassZVTimer v;
  v.Reset();
  v.SetSpeed(5000);
  AddMs(1000000);  // 5000 * 1e6 does not fit 32 bits
  v.Update();
  EXPECT_EQ(v.RetrieveDelta(), 5000000u);
}

TEST_F(Clock, ExplicitTimesAndReset) {
  ClassZVTimer v;
  v.Reset(1000);
  v.Update(1030);
  EXPECT_EQ(v.RetrieveDelta(), 30u);
  v.Increase(12);  // does not move the real-time mark
  EXPECT_EQ(v.RetrieveDelta(), 12u);
  v.Update(1040);
  EXPECT_EQ(v.RetrieveDelta(), 10u);
  EXPECT_EQ(v.RetrieveTime(), 52u);
  v.Reset(2000);
  EXPECT_EQ(v.RetrieveTime(), 0u);
  EXPECT_EQ(v.RetrieveDelta(), 0u);
  v.Suspend();
  v.Resume(2500);
  v.Update(2510);
  EXPECT_EQ(v.RetrieveDelta(), 10u);
}

}  // namespace
