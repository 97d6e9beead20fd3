#include <gtest/gtest.h>

#include <ctime>
#include <limits>

#include "engine/core/zmod_std.h"

namespace {

Z_DATETIME D(uint32_t y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  Z_DATETIME dt;
  dt.year = y;
  dt.month = static_cast<uint8_t>(mo);
  dt.day = static_cast<uint8_t>(d);
  dt.hour = static_cast<uint8_t>(h);
  dt.minute = static_cast<uint8_t>(mi);
  dt.second = static_cast<uint8_t>(s);
  return dt;
}

void ExpectSame(const Z_DATETIME& a, const Z_DATETIME& b, uint32_t t) {
  EXPECT_EQ(a.year, b.year) << t;
  EXPECT_EQ(a.month, b.month) << t;
  EXPECT_EQ(a.day, b.day) << t;
  EXPECT_EQ(a.hour, b.hour) << t;
  EXPECT_EQ(a.minute, b.minute) << t;
  EXPECT_EQ(a.second, b.second) << t;
}

TEST(Date, KnownDatesBothWays) {
  const struct {
    Z_DATETIME dt;
    uint32_t t;
  } cases[] = {
      {D(1970, 1, 1), 0},
      {D(2000, 3, 1), 951868800},
      {D(2008, 2, 29, 12), 1204286400},
      {D(2008, 12, 31, 23, 59, 59), 1230767999},  // 31 December: not in the month table
      {D(2000, 12, 31), 978220800},               // ... in a leap year
      {D(2100, 2, 28), 4107456000u},
      {D(2100, 3, 1), 4107542400u},               // 2100 is not a leap year
      {D(2106, 2, 7, 6, 28, 15), 4294967295u},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassZStd::DateTimeToTimestamp(&c.dt), c.t);
    Z_DATETIME back;
    ClassZStd::TimestampToDateTime(&back, c.t);
    ExpectSame(back, c.dt, c.t);
  }
}

TEST(Date, OddFields) {
  Z_DATETIME before = D(1969, 12, 31, 23, 59, 59);
  EXPECT_EQ(ClassZStd::DateTimeToTimestamp(&before), 0u);
  Z_DATETIME day0 = D(2000, 3, 0);  // day 0 counts as 1
  EXPECT_EQ(ClassZStd::DateTimeToTimestamp(&day0), 951868800u);
  Z_DATETIME month0 = D(1970, 0, 2);  // month 0 adds nothing
  EXPECT_EQ(ClassZStd::DateTimeToTimestamp(&month0), 86400u);
  Z_DATETIME month13 = D(1970, 13, 1);  // at most the first eleven months
  EXPECT_EQ(ClassZStd::DateTimeToTimestamp(&month13), 334u * 86400);
  // A garbage year is computed at once (wrapping), not counted year by year.
  Z_DATETIME garbage = D(0xFFFFFFFFu, 6, 15);
  ClassZStd::DateTimeToTimestamp(&garbage);
  EXPECT_EQ(ClassZStd::DateTimeToTimestamp(nullptr), 0u);
}

TEST(Date, RoundTripSweepAgreesWithTheCLibrary) {
  for (uint64_t t = 0; t <= 0xFFFFFFFFull; t += 86399ull * 3 + 7919) {
    Z_DATETIME dt;
    ClassZStd::TimestampToDateTime(&dt, static_cast<uint32_t>(t));
    ASSERT_EQ(ClassZStd::DateTimeToTimestamp(&dt), t);
    // A 32-bit time_t (the console's) ends in January 2038: the later dates are held by the
    // round trip and the known dates above.
    if (t > uint64_t(std::numeric_limits<time_t>::max())) continue;
    time_t tt = static_cast<time_t>(t);
    struct tm g;
    gmtime_r(&tt, &g);
    ASSERT_EQ(dt.year, static_cast<uint32_t>(g.tm_year + 1900)) << t;
    ASSERT_EQ(dt.month, g.tm_mon + 1) << t;
    ASSERT_EQ(dt.day, g.tm_mday) << t;
    ASSERT_EQ(dt.hour, g.tm_hour) << t;
  }
}

}  // namespace
