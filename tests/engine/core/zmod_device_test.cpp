#include "engine/core/zmod_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/core/zmod_platform.h"

namespace {

int g_reading = -1;  // -1: the device cannot be read
int FakeBattery(uint16_t* value) {
  if (g_reading < 0) return 0;
  *value = static_cast<uint16_t>(g_reading);
  return 1;
}

uint64_t g_micros = 0;
uint64_t FakeNow() { return g_micros; }

class Device : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    hadtz_ = tz != nullptr;
    if (hadtz_) oldtz_ = tz;
    ZPlatform_SetBattery(FakeBattery);
    ZPlatform_SetClock(FakeNow, nullptr);
  }
  void TearDown() override {
    ZPlatform_SetBattery(nullptr);
    ZPlatform_SetClock(nullptr, nullptr);
    if (hadtz_) setenv("TZ", oldtz_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  static void At(uint32_t seconds, const char* tz) {
    g_micros = static_cast<uint64_t>(seconds) * 1000000u;
    setenv("TZ", tz, 1);
  }
  bool hadtz_ = false;
  std::string oldtz_;
  ClassZDevice device_;
};

TEST_F(Device, BatteryScale) {
  const struct {
    int reading;
    uint8_t level, state;
  } cases[] = {{-1, 0, 4},    {0, 0, 4},     {599, 0, 4},   {600, 0, 4},     {750, 127, 4},
               {899, 254, 4}, {900, 255, 5}, {65535, 255, 5}};
  for (const auto& c : cases) {
    g_reading = c.reading;
    uint8_t level = 99, state = 99;
    device_.GetBatteryInfo(level, state);
    EXPECT_EQ(level, c.level) << c.reading;
    EXPECT_EQ(state, c.state) << c.reading;
    EXPECT_EQ(device_.GetBatteryLevel(), c.level);
    EXPECT_EQ(device_.GetBatteryStatus(), c.state);
  }
}

TEST_F(Device, LocalTimeOffsetIsTheOneInEffectNow) {
  const uint32_t kJanuary = 1610712000;  // 2021-01-15 12:00 UTC
  const uint32_t kJuly = 1625140800;     // 2021-07-01 12:00 UTC
  const struct {
    const char* tz;
    uint32_t when;
    int32_t offset;
  } cases[] = {{"UTC0", kJanuary, 0},
               {"UTC0", kJuly, 0},
               {"CET-1CEST,M3.5.0,M10.5.0/3", kJanuary, 3600},
               {"CET-1CEST,M3.5.0,M10.5.0/3", kJuly, 7200},
               {"EST5EDT,M3.2.0,M11.1.0", kJanuary, -18000},
               {"EST5EDT,M3.2.0,M11.1.0", kJuly, -14400},
               {"EST5", kJuly, -18000}};
  for (const auto& c : cases) {
    At(c.when, c.tz);
    EXPECT_EQ(device_.LocalTimeOffset(), c.offset) << c.tz << " " << c.when;
  }
}

TEST_F(Device, DateAndTimeLocalAndUtc) {
  At(1610755199, "EST5EDT,M3.2.0,M11.1.0");  // 2021-01-15 23:59:59 UTC
  uint32_t year;
  uint8_t month, day, hour, minute, second;
  device_.CurrentDate(year, month, day, false);
  EXPECT_EQ(year, 2021u);
  EXPECT_EQ(month, 1);  // January is month 1
  EXPECT_EQ(day, 15);
  device_.CurrentTime(hour, minute, second, false);
  EXPECT_EQ(hour, 23);
  EXPECT_EQ(minute, 59);
  EXPECT_EQ(second, 59);
  device_.CurrentTime(hour, minute, second, true);
  EXPECT_EQ(hour, 18);
  EXPECT_EQ(device_.TimestampNow(false), 1610755199u);
  EXPECT_EQ(device_.TimestampNow(true), 1610755199u - 18000);
}

TEST_F(Device, FixedTexts) {
  char name[32];
  EXPECT_STREQ(device_.GetModelName(name), "Embedded Linux device");
  uint16_t wide[32];
  device_.GetModelName(wide);
  EXPECT_EQ(wide[0], 'E');
  EXPECT_EQ(wide[21], 0);
  char owner[4] = "xyz";
  EXPECT_STREQ(device_.GetOwnerName(owner), "");
  char imei[4] = "xyz";
  EXPECT_STREQ(device_.GetIMEI(imei), "");
  EXPECT_EQ(device_.GetModelID(), 0);
}

}  // namespace
